// The data folder and the settings files the tool shares with the host.
#pragma once

#include <string>

namespace lensporttool {

struct DataFiles {
    std::string folder;     // GetDataFolder(), created when missing
    std::string capdeckIni; // handed to the driver as the host ini
    std::string lmdhostIni;
    std::string optionsIni;
};

// Finds the data folder, creates it when missing, copies what the installation's
// default data folder offers and the user's folder lacks (nothing is replaced), and
// makes sure Capdeck.ini exists. Throws ToolError (kExitNotWritable) when the folder
// or Capdeck.ini can't be made.
DataFiles PrepareDataFolder();

// The installation's default data folder for a data folder: the same product
// subfolder below <program folder>/../share; "" when the data folder doesn't lie
// in the common application-data folder.
std::string DefaultDataFolderFor(const std::string& dataFolder, const std::string& commonAppData,
                                 const std::string& programFolder);

} // namespace lensporttool
