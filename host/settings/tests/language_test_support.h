// A throw-away data folder for language tests: XDG_DATA_HOME and the program folder
// point into a fresh temporary folder, so the data folder is <tmp>/xdg/Quorvel/...
#pragma once

#include <filesystem>
#include <string>

class TempDataFolder {
public:
    TempDataFolder();
    ~TempDataFolder();
    TempDataFolder(const TempDataFolder&) = delete;
    TempDataFolder& operator=(const TempDataFolder&) = delete;

    std::filesystem::path Root() const { return root_; }
    std::filesystem::path Locals() const;
    std::string LocalIni() const;
    // Writes a file into the locals folder (created as needed); returns its path.
    std::filesystem::path WriteLocal(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path root_;
};

// A UTF-8 language file with the given root attributes and body.
std::string LanguageXml(const std::string& id, const std::string& name, const std::string& body);
// One tag/section/key element with a value.
std::string KeyXml(const std::string& tag, const std::string& section, const std::string& key,
                   const std::string& value);
