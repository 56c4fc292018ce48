// lensport get / set: a camera parameter's value list, published by the driver into a
// list file of our own and read back, and a choice from it checked by listing again.
#include "commands.h"
#include "exit_codes.h"
#include "platform/profile.h"
#include "session.h"
#include "value_list.h"

#include <QTemporaryDir>

#include <charconv>
#include <climits>
#include <cstdio>

namespace lensporttool {
namespace {

constexpr const char* kListSection = "Values";
// GetParameter returns the caller's default for names it doesn't read.
constexpr std::int32_t kNoValue = INT32_MIN;

// Parameters whose SetParameter value is a switch, not a list position.
struct SwitchParameter {
    const char* name;
    const char* onName; // list name that switches on; every other switches off
};
constexpr SwitchParameter kSwitches[] = {{"AFLock", "On"}};

const SwitchParameter* FindSwitch(const std::string& name) {
    for (const SwitchParameter& s : kSwitches) {
        if (name == s.name) return &s;
    }
    return nullptr;
}

// The list file is private to this run: the user's settings files get no list entries
// and no "N/A" marks from the tool. Display texts kept in lmdhost.ini [NAME_items]
// are copied in first, so the driver keeps them as it does for the host's lists.
class ValueLister {
public:
    ValueLister(const DriverBinding& driver, const DataFiles& files)
        : driver_(driver), files_(files) {
        if (!dir_.isValid()) {
            throw ToolError(kExitNotWritable, "can't create a temporary folder for the value list");
        }
        listFile_ = dir_.filePath("values.ini").toStdString();
    }

    ValueList List(const std::string& name) const {
        SeedDisplayTexts(name);
        const std::int32_t result =
            driver_.EnumParameterValues(name.c_str(), listFile_.c_str(), kListSection);
        if (result == -1) {
            throw ToolError(kExitNoCamera, "the driver has no open camera to list " + name);
        }
        return ReadValueList(listFile_, kListSection, result);
    }

private:
    void SeedDisplayTexts(const std::string& name) const {
        const std::string section = name + "_items";
        std::vector<std::pair<std::string, std::string>> texts;
        for (const std::string& key : platform::ProfileSectionKeys(files_.lmdhostIni, section))
            texts.emplace_back(key, platform::ProfileString(files_.lmdhostIni, section, key, key));
        if (!platform::WriteProfileSection(listFile_, kListSection, texts, true)) {
            throw ToolError(kExitNotWritable, "can't write the value list file " + listFile_);
        }
    }

    const DriverBinding& driver_;
    const DataFiles& files_;
    QTemporaryDir dir_;
    std::string listFile_;
};

std::string DisplayOf(const ValueList& list, const std::string& listName) {
    for (const ValueEntry& e : list.entries) {
        if (e.listName == listName) return e.displayText;
    }
    return listName;
}

std::string Described(const ValueList& list, const std::string& listName) {
    const std::string text = DisplayOf(list, listName);
    return text == listName ? listName : listName + " (" + text + ")";
}

void CheckListed(const std::string& name, const ValueList& list) {
    if (list.error) {
        throw ToolError(kExitFailure, "the camera could not describe " + name + " (error " +
                                          *list.error + "; see errors.log in the data folder)");
    }
}

// A name the driver writes no list for may still be one it reads (Angle).
[[noreturn]] void NoList(const DriverBinding& driver, const std::string& name, bool setting) {
    const bool readable = driver.GetParameter(name.c_str(), kNoValue) != kNoValue;
    if (readable && setting) throw ToolError(kExitRefused, name + " can only be read");
    throw ToolError(kExitUnknownParameter, "the camera driver knows no parameter '" + name + "'");
}

void PrintList(const std::string& name, const ValueList& list) {
    const int current = list.CurrentPosition();
    std::printf("%s: %zu values\n", name.c_str(), list.entries.size());
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        const ValueEntry& e = list.entries[i];
        std::printf("%c %3zu  %-12s %s\n", static_cast<int>(i) == current ? '*' : ' ', i,
                    e.listName.c_str(), e.displayText.c_str());
    }
    if (list.current && current < 0) std::printf("current: %s\n", list.current->c_str());
}

std::optional<std::int32_t> ParseNumber(const std::string& text) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

int SetNumber(const DriverBinding& driver, const ValueLister& lister, const std::string& name,
              const std::string& value) {
    const auto number = ParseNumber(value);
    if (!number) throw ToolError(kExitUsage, name + " takes a number, not '" + value + "'");
    driver.SetParameter(name.c_str(), *number);
    const ValueList after = lister.List(name);
    if (!after.current || *after.current != std::to_string(*number)) {
        throw ToolError(kExitRefused, "the camera refused " + name + " = " + value + "; it is " +
                                          after.current.value_or("unknown"));
    }
    std::printf("%s = %s\n", name.c_str(), after.current->c_str());
    return kExitOk;
}

int SetSwitch(const DriverBinding& driver, const SwitchParameter& sw, const ValueList& list,
              const std::string& value) {
    std::string why;
    const auto choice = ChooseValue(list, value, &why);
    if (!choice || choice->kind != Choice::Kind::Position) {
        throw ToolError(kExitRefused, std::string(sw.name) + ": " +
                                          (why.empty() ? "choose one of the listed values" : why));
    }
    const std::string& listName = list.entries[choice->position].listName;
    driver.SetParameter(sw.name, listName == sw.onName ? 1 : 0);
    // The camera reports no state back for a switch; there is nothing to re-read.
    std::printf("%s = %s (sent; the camera does not report it back)\n", sw.name, listName.c_str());
    return kExitOk;
}

bool Took(const Choice& choice, const ValueList& before, const ValueList& after) {
    if (!after.current) return false;
    if (choice.kind == Choice::Kind::Position)
        return *after.current == before.entries[choice.position].listName;
    const auto wanted = ParseCodes(choice.codeText);
    return wanted && ParseCodes(*after.current) == wanted;
}

} // namespace

int RunGet(const Options& options, const DriverBinding& driver, const DataFiles& files) {
    Session session(driver, files);
    session.OpenCamera();
    ValueLister lister(driver, files);
    const ValueList list = lister.List(options.name);
    if (list.Empty()) {
        const std::int32_t value = driver.GetParameter(options.name.c_str(), kNoValue);
        if (value == kNoValue) NoList(driver, options.name, false);
        std::printf("%s = %d\n", options.name.c_str(), value);
        return kExitOk;
    }
    CheckListed(options.name, list);
    if (list.entries.empty()) {
        std::printf("%s = %s\n", options.name.c_str(), list.current.value_or("").c_str());
    } else {
        PrintList(options.name, list);
    }
    return kExitOk;
}

int RunSet(const Options& options, const DriverBinding& driver, const DataFiles& files) {
    Session session(driver, files);
    session.OpenCamera();
    ValueLister lister(driver, files);
    const std::string& name = options.name;
    const ValueList before = lister.List(name);
    if (before.Empty()) NoList(driver, name, true);
    CheckListed(name, before);
    if (before.entries.empty()) return SetNumber(driver, lister, name, options.value);
    if (const SwitchParameter* sw = FindSwitch(name))
        return SetSwitch(driver, *sw, before, options.value);
    if (!before.current) {
        throw ToolError(kExitRefused,
                        name + " has no current value that could be set" +
                            (name == "Camera" ? " (the driver opens the camera at position "
                                                "lmdhost.ini [ActiveCamera] LoadCamera)"
                                              : ""));
    }
    std::string why;
    const auto choice = ChooseValue(before, options.value, &why);
    if (!choice) throw ToolError(kExitRefused, name + ": " + why);
    if (choice->kind == Choice::Kind::Position) {
        driver.SetParameter(name.c_str(), choice->position);
    } else {
        driver.SetParameterDirect(name.c_str(), choice->codeText.c_str());
    }
    const ValueList after = lister.List(name);
    if (!Took(*choice, before, after)) {
        throw ToolError(
            kExitRefused,
            "the camera refused " + name + " = " + options.value + "; it is still " +
                (after.current ? Described(after, *after.current) : std::string("unknown")));
    }
    std::printf("%s = %s\n", name.c_str(), Described(after, *after.current).c_str());
    return kExitOk;
}

} // namespace lensporttool
