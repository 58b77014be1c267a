#pragma once
// Who the programs are to the outside: the version each of them answers --version with, and the
// desktop entry that the window belongs to.
#include <string>
#include <string_view>

namespace vantaro {

// "PROGRAM VERSION", the whole answer to --version: one form for every program of the package.
std::string versionLine(std::string_view program);

// The desktop entry's name without ".desktop", which is also the icon's name and the AppStream id.
// Desktops match a window to its launcher (and its icon) by it.
std::string_view desktopEntryId();

} // namespace vantaro
