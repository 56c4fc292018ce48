#include "lensport/value_list.h"

#include "platform/profile.h"

#include <cstdio>
#include <utility>

namespace lensport {

ValueListWriter::ValueListWriter(std::string file, std::string section)
    : file_(std::move(file)), section_(std::move(section)) {}

void ValueListWriter::AddItem(const std::string& listName, const std::string& defaultText) {
    char text[kItemTextBuffer] = {};
    GetPrivateProfileStringA(section_.c_str(), listName.c_str(), defaultText.c_str(), text,
                             sizeof text, file_.c_str());
    WritePrivateProfileStringA(section_.c_str(), listName.c_str(), text, file_.c_str());
    names_.push_back(listName);
}

void ValueListWriter::WriteCommaText() const {
    std::string joined;
    for (const std::string& name : names_) {
        if (!joined.empty()) joined += ',';
        joined += name;
    }
    WritePrivateProfileStringA(section_.c_str(), "CommaText", joined.c_str(), file_.c_str());
}

void ValueListWriter::WriteValue(const std::string& text) const {
    WritePrivateProfileStringA(section_.c_str(), "Value", text.c_str(), file_.c_str());
}

void WriteListFailure(const std::string& file, const std::string& section,
                      const std::string& parameter, std::uint32_t code) {
    char error[16];
    std::snprintf(error, sizeof error, "0x%08X", code);
    WritePrivateProfileStringA(section.c_str(), "Error", error, file.c_str());
    WritePrivateProfileStringA(section.c_str(), "Value", "N/A", file.c_str());
    WritePrivateProfileStringA("SettingsValues", parameter.c_str(), "N/A", file.c_str());
}

std::string CameraListName(const std::string& model) {
    std::string name = model;
    for (char& c : name) {
        if (c == ' ' || c == ',') c = '_';
    }
    return name;
}

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char16_t UnitAt(const std::uint8_t* text, std::size_t i) {
    return static_cast<char16_t>(text[2 * i] | (text[2 * i + 1] << 8));
}

} // namespace

std::string Utf16ToAnsi(const std::uint8_t* text, std::size_t maxUnits, std::size_t maxBytes) {
    std::string out;
    for (std::size_t i = 0; i < maxUnits; ++i) {
        char32_t c = UnitAt(text, i);
        if (c == 0) break;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < maxUnits) {
            const char16_t low = UnitAt(text, i + 1);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                c = '?';
            }
        } else if (c >= 0xD800 && c < 0xE000) {
            c = '?'; // an unpaired surrogate has no ANSI form
        }
        std::string piece;
        AppendUtf8(piece, c);
        if (out.size() + piece.size() > maxBytes) break;
        out += piece;
    }
    return out;
}

} // namespace lensport
