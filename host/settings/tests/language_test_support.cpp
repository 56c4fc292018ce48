#include "language_test_support.h"

#include "settings/language.h"
#include "shell/data_folder.h"

#include "platform/module.h"
#include "platform/shell.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>

namespace fs = std::filesystem;

TempDataFolder::TempDataFolder() {
    char pattern[] = "/tmp/capdeck-lang-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    fs::create_directories(root_ / "bin");
    fs::create_directories(root_ / "xdg");
    setenv("XDG_DATA_HOME", (root_ / "xdg").c_str(), 1);
    platform::SetProgramFolderForTests((root_ / "bin").string() + "/");
    platform::InjectWindowsVersion(std::nullopt);
    fs::create_directories(GetDataFolder());
    FreeLanguageFile();
}

TempDataFolder::~TempDataFolder() {
    FreeLanguageFile();
    std::error_code ec;
    fs::remove_all(root_, ec);
}

fs::path TempDataFolder::Locals() const {
    return LocalsFolder();
}

std::string TempDataFolder::LocalIni() const {
    return LocalIniPath();
}

fs::path TempDataFolder::WriteLocal(const std::string& name, const std::string& bytes) const {
    fs::create_directories(Locals());
    const fs::path path = Locals() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string LanguageXml(const std::string& id, const std::string& name, const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<language id=\"" + id + "\" string=\"" +
           name + "\">\n" + body + "</language>\n";
}

std::string KeyXml(const std::string& tag, const std::string& section, const std::string& key,
                   const std::string& value) {
    return "<" + tag + "><" + section + "><" + key + " value=\"" + value + "\"/></" + section +
           "></" + tag + ">\n";
}
