#pragma once

// Where the roll history lives and the settings that shape it, for the window and the command line.

#include <QString>

#include <cstdint>

namespace platform {
class SettingsStore;
}

namespace history {

// "1" (the default) keeps every roll of the window; "0" keeps none.
inline constexpr char16_t kKeepHistoryKey[] = u"KeepRollHistory";
// The size the history's file stays within, in megabytes (10^6 bytes).
inline constexpr char16_t kSizeLimitKey[] = u"RollHistorySizeLimit";
inline constexpr std::int64_t kMegabyte = 1000 * 1000;
inline constexpr std::int64_t kDefaultSizeLimitMegabytes = 500;
inline constexpr std::int64_t kMinimumSizeLimitMegabytes = 1;
inline constexpr std::int64_t kMaximumSizeLimitMegabytes = 1000 * 1000;

// history.sqlite in the user's data folder ($XDG_DATA_HOME/Calverin/Quorvin Tessaly).
QString defaultDatabasePath();

// The stored choices; an unreadable store or a stored value out of range reads as the default.
bool keepHistory(platform::SettingsStore& settings);
std::int64_t sizeLimitMegabytes(platform::SettingsStore& settings);

} // namespace history
