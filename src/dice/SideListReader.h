#pragma once

#include "core/TextIndex.h"
#include "core/TextRows.h"
#include "platform/TextFile.h"

#include <QByteArrayView>

#include <functional>

namespace core {
class ListModel;
}

namespace dice {

// The side-list file format, read from bytes fed in chunks of any size: the bytes decode in the
// system's encoding; CR, LF and CR LF each end a line; empty lines, lines the list already holds and
// lines met earlier in the file are skipped. The accepted lines are kept in one batch that grows as
// the file is read, so memory follows what is kept, not the size of the file.
class SideListReader {
public:
    explicit SideListReader(const core::ListModel& list);

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
};

// Appends to list the accepted lines of a side-list file whose bytes read() gives chunk by chunk, an
// empty chunk at its end. When a read fails, the lines completed before it are appended all the same and
// the error goes on to the caller: a file that fails part-way keeps what was read of it.
void appendSideList(core::ListModel& list, const std::function<QByteArrayView()>& read);

// Appends the lines of the text to the list by the side-list file's rules, in one batch.
void appendSideListText(core::ListModel& list, QStringView text);

} // namespace dice
