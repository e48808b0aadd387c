#pragma once

#include "Utf8Labels.h"

#include "core/TextIndex.h"
#include "core/TextRows.h"
#include "platform/TextFile.h"

#include <QByteArrayView>

#include <functional>

namespace core {
class ListModel;
}

namespace dice {

// The most bytes read from one side-list file or input. Reading stops there with RuntimeError
// (OutOfMemory), so that an endless input cannot fill memory; a list that long already holds tens of
// millions of sides.
inline constexpr qint64 kMostSideListBytes = qint64{1} << 30;

// That error in plain words, as the command line reports it: RuntimeError (OutOfMemory).
[[noreturn]] void throwSideListTooLong();

// The side-list file format, read from bytes fed in chunks of any size: the bytes decode in the
// system's encoding; CR, LF and CR LF each end a line; empty lines, lines the list already holds and
// lines met earlier in the file are skipped. The accepted lines are kept in one batch that grows as
// the file is read, so memory follows what is kept, not the size of the file.
class SideListReader {
public:
    explicit SideListReader(const core::ListModel& list);

    // Raises RuntimeError (OutOfMemory) past kMostSideListBytes.
    void feed(QByteArrayView bytes);
    // Text that needs no decoding (pasted or dropped), by the same line rules.
    void feedText(QStringView text) { take(text); }
    // The accepted lines in file order, the last one with or without a terminator.
    core::TextRows finish();
    // The accepted lines whose terminator has been read: what is left of a file whose reading failed.
    core::TextRows completeLines();

private:
    void take(QStringView text);
    void endLine();

    const core::ListModel& m_list;
    bool m_listEmpty;
    platform::SystemTextDecoder m_decoder;
    core::TextRows m_rows;
    core::TextIndex m_seen; // this file's accepted lines
    qint64 m_bytesRead = 0;
};

// The same format read into UTF-8 labels, for the command line: about half the memory of the window's
// rows for Latin labels, and no list to compare with. Files read one after another share one reader, so
// a label met in one is skipped in the later ones.
class Utf8SideListReader {
public:
    Utf8SideListReader();

    // Raises throwSideListTooLong()'s error past kMostSideListBytes of the current file.
    void feed(QByteArrayView bytes);
    // Ends the current file: its last line ends with it.
    void endFile();
    // The accepted lines of all the files, in order.
    Utf8Labels finish();

private:
    void take(QByteArrayView text);
    void endLine();

    platform::Utf8TextDecoder m_decoder;
    Utf8Labels m_labels;
    Utf8LabelIndex m_seen;
    qint64 m_bytesRead = 0;
};

// Appends to list the accepted lines of a side-list file whose bytes read() gives chunk by chunk, an
// empty chunk at its end. When a read fails, the lines completed before it are appended all the same and
// the error goes on to the caller: a file that fails part-way keeps what was read of it.
void appendSideList(core::ListModel& list, const std::function<QByteArrayView()>& read);

// Appends the lines of the text to the list by the side-list file's rules, in one batch.
void appendSideListText(core::ListModel& list, QStringView text);

} // namespace dice
