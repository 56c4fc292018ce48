// The data folder: where every settings file of the host and the language folder
// live, chosen by the Windows kind and the product subfolder named in path.ini
// beside the program.
#pragma once

#include <string>

// Product subfolder used when path.ini is missing or has no [Path] path1.
inline constexpr const char* kDefaultProductSubfolder = "Quorvel\\Lumetta Capture";

// Windows version class: 0 unknown (and every non-Windows system), 1 95, 2 98, 3 Me,
// 4 NT 3.x, 5 NT 4, 6 2000, 7 XP, 8 Server 2003.
int GetWindowsKind();

// The per-installation data folder, without a trailing separator. Computed afresh on
// every call; the shell creates the common application-data folder when missing.
std::string GetDataFolder();

// The folder the options dialog offers for pictures: the user's picture folder on
// the NT 5 family and unknown systems, the data folder on older Windows.
std::string GetDefaultPictureFolder();
