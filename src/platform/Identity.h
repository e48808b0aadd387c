#pragma once

// Who the program is to the desktop, and so where its settings live. The window's caption, the
// application object and the settings store take these from here; the desktop entry's file name in
// data/ carries the same id.

namespace platform {

inline constexpr char16_t kOrganizationName[] = u"Calverin";
inline constexpr char16_t kApplicationName[] = u"Quorvin Tessaly";
// The desktop entry's name without ".desktop", which is also the icon's name in the icon theme.
inline constexpr char16_t kDesktopFileId[] = u"org.example.QuorvinTessaly";

// The settings are QSettings in native format, user scope, under these two names: on Linux
// "<organisation>/<application>.conf" in the user's configuration folder ($XDG_CONFIG_HOME, else
// ~/.config), on Windows the registry key HKEY_CURRENT_USER\Software\<organisation>\<application>.

} // namespace platform
