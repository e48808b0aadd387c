#pragma once

#include "platform/TextFile.h"
#include "platform/TextRows.h"

#include <QByteArrayView>

#include <cstdint>
#include <vector>

namespace platform {
class ListModel;
}

namespace dice {

// The side-list file format, read from bytes fed in chunks of any size: the bytes decode in the
// system's encoding; CR, LF and CR LF each end a line; empty lines, lines the list already holds and
// lines met earlier in the file are skipped. The accepted lines are kept in one batch that grows as
// the file is read, so memory follows what is kept, not the size of the file.
class SideListReader {
public:
    explicit SideListReader(const platform::ListModel& list);

    void feed(QByteArrayView bytes);
    // The accepted lines in file order, the last one with or without a terminator.
    platform::TextRows finish();

private:
    void take(QStringView text);
    void endLine();
    bool alreadySeen(QStringView line, std::uint32_t hash) const;
    void remember(std::uint32_t hash);
    void grow();

    const platform::ListModel& m_list;
    bool m_listEmpty;
    platform::SystemTextDecoder m_decoder;
    platform::TextRows m_rows;
    // This file's accepted lines: open addressing over their rows, each row's hash kept so that probing
    // rarely compares texts. Doubles when half full.
    std::vector<std::uint32_t> m_slots;
    std::vector<std::uint32_t> m_hashes;
};

} // namespace dice
