#include "scenario.h"

#include "prsdk/prsdk.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>

namespace prsim {
namespace {

constexpr std::size_t kMaxScenarioBytes = 1 << 20;
constexpr std::uint32_t kMaxFrameIntervalMs = 10000;

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Unquote(std::string_view s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

// Decimal or 0x-prefixed hexadecimal, at most limit.
bool ParseNumber(std::string_view s, std::uint32_t limit, std::uint32_t* out) {
    s = Trim(s);
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return false;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (ec != std::errc() || end != s.data() + s.size() || value > limit) return false;
    *out = static_cast<std::uint32_t>(value);
    return true;
}

bool ParseList(std::string_view s, std::uint32_t limit, std::vector<std::uint16_t>* out) {
    out->clear();
    if (Trim(s).empty()) return true;
    while (true) {
        const std::size_t comma = s.find(',');
        std::uint32_t value = 0;
        if (!ParseNumber(s.substr(0, comma), limit, &value)) return false;
        out->push_back(static_cast<std::uint16_t>(value));
        if (out->size() > kMaxEnumValues) return false;
        if (comma == std::string_view::npos) return true;
        s.remove_prefix(comma + 1);
    }
}

bool ParseBool(std::string_view s, bool* out) {
    const std::string v = Lower(s);
    if (v == "yes" || v == "true" || v == "1")
        *out = true;
    else if (v == "no" || v == "false" || v == "0")
        *out = false;
    else
        return false;
    return true;
}

bool IsPropertyKey(std::string_view key, std::uint16_t* code) {
    if (key.size() == 6 && key[0] == '0' && (key[1] == 'x' || key[1] == 'X')) key.remove_prefix(2);
    if (key.size() != 4) return false;
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(key.data(), key.data() + 4, value, 16);
    if (ec != std::errc() || end != key.data() + 4) return false;
    *code = static_cast<std::uint16_t>(value);
    return true;
}

std::string ResolvePath(std::string_view value, const std::string& base) {
    std::string path(value);
    if (path.empty() || path.front() == '/' || base.empty()) return path;
    return base + "/" + path;
}

// "[u8|u16] [ro|rw] current [{v, ...} | [min, max, step]]" or "absent".
std::string ParseProperty(std::uint16_t code, std::string_view text, PropertyTable* table) {
    if (Lower(Trim(text)) == "absent") {
        table->erase(code);
        return {};
    }
    Property p;
    const auto existing = table->find(code);
    if (existing != table->end())
        p = existing->second;
    else {
        p.code = code;
        p.dataType = PR_PTP_TYPE_UINT16;
        p.getSet = PR_PTP_READ_WRITE;
        p.form = PR_PTP_FORM_NONE;
    }
    const std::size_t open = text.find_first_of("{[");
    std::istringstream head{std::string(text.substr(0, open))};
    std::string word;
    bool haveValue = false;
    std::uint32_t current = 0;
    while (head >> word) {
        const std::string w = Lower(word);
        if (haveValue) return "unexpected '" + word + "' after the value";
        if (w == "u8")
            p.dataType = PR_PTP_TYPE_UINT8;
        else if (w == "u16")
            p.dataType = PR_PTP_TYPE_UINT16;
        else if (w == "ro")
            p.getSet = PR_PTP_READ_ONLY;
        else if (w == "rw")
            p.getSet = PR_PTP_READ_WRITE;
        else if (ParseNumber(word, 0xFFFF, &current))
            haveValue = true;
        else
            return "bad property value '" + word + "'";
    }
    if (!haveValue) return "property value missing";
    const std::uint32_t limit = ValueLimit(p.dataType);
    if (current > limit) return "value does not fit the data type";
    p.current = p.factoryDefault = static_cast<std::uint16_t>(current);
    if (open != std::string_view::npos) {
        const char close = text[open] == '{' ? '}' : ']';
        const std::size_t end = text.find(close, open);
        if (end == std::string_view::npos || !Trim(text.substr(end + 1)).empty())
            return std::string("missing '") + close + "'";
        std::vector<std::uint16_t> values;
        if (!ParseList(text.substr(open + 1, end - open - 1), limit, &values))
            return "bad value list (numbers that fit the data type, at most 4096)";
        if (close == '}') {
            p.form = PR_PTP_FORM_ENUM;
            p.values = std::move(values);
        } else {
            if (values.size() != 3 || values[0] > values[1]) return "range needs [min, max, step]";
            p.form = PR_PTP_FORM_RANGE;
            p.minimum = values[0];
            p.maximum = values[1];
            p.step = values[2];
        }
    }
    const bool fits = std::all_of(p.values.begin(), p.values.end(),
                                  [limit](std::uint16_t v) { return v <= limit; }) &&
                      p.minimum <= limit && p.maximum <= limit && p.step <= limit;
    if (!fits) return "values do not fit the data type";
    (*table)[code] = p;
    return {};
}

std::string ParsePicture(std::string_view text, CameraSpec* camera) {
    const std::size_t x = Lower(text).find('x');
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    if (x == std::string_view::npos || !ParseNumber(text.substr(0, x), kMaxImageSide, &w) ||
        !ParseNumber(text.substr(x + 1), kMaxImageSide, &h) || w < kMinPictureSide ||
        h < kMinPictureSide)
        return "picture must be WIDTHxHEIGHT, 16 to 8192 each";
    camera->pictureWidth = static_cast<int>(w);
    camera->pictureHeight = static_cast<int>(h);
    return {};
}

std::string ParseCameraKey(const std::string& key, std::string_view value, const std::string& base,
                           CameraSpec* camera) {
    std::uint16_t code = 0;
    if (IsPropertyKey(key, &code)) return ParseProperty(code, value, &camera->properties);
    if (key == "model") {
        if (!Utf8ToUtf16(value, &camera->model)) return "model name is not UTF-8";
        if (camera->model.size() > kMaxModelChars) return "model name longer than 40 characters";
        return {};
    }
    if (key == "picture") return ParsePicture(value, camera);
    if (key == "picture_bytes") {
        if (!ParseNumber(value, kMaxPictureBytes, &camera->pictureBytes))
            return "picture_bytes must be 0 to 268435456";
        return {};
    }
    if (key == "scene")
        camera->scenePath = ResolvePath(value, base);
    else if (key == "source")
        camera->picturePath = ResolvePath(value, base);
    else if (key == "plugged") {
        if (!ParseBool(value, &camera->plugged)) return "plugged must be yes or no";
    } else
        return "unknown camera key '" + key + "'";
    return {};
}

std::string ParseSdkKey(const std::string& key, std::string_view value, Scenario* scenario) {
    if (key != "frame_interval_ms") return "unknown sdk key '" + key + "'";
    std::uint32_t ms = 0;
    if (!ParseNumber(value, kMaxFrameIntervalMs, &ms) || ms == 0)
        return "frame_interval_ms must be 1 to 10000";
    scenario->frameIntervalMs = ms;
    return {};
}

} // namespace

bool Utf8ToUtf16(std::string_view text, std::u16string* out) {
    out->clear();
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const int extra = b < 0x80         ? 0
                          : (b >> 5) == 6  ? 1
                          : (b >> 4) == 14 ? 2
                          : (b >> 3) == 30 ? 3
                                           : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size()) return false;
        std::uint32_t cp = extra == 0 ? b : b & (0x3Fu >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        static constexpr std::uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else
            out->push_back(static_cast<char16_t>(cp));
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

Scenario BuiltInScenario() {
    Scenario s;
    s.cameras.emplace_back();
    return s;
}

ParseResult ParseScenario(std::string_view text, const std::string& baseDirectory) {
    ParseResult result;
    enum class Section { None, Sdk, Camera } section = Section::None;
    int lineNumber = 0;
    const auto fail = [&](const std::string& why) {
        result.error = "line " + std::to_string(lineNumber) + ": " + why;
        return result;
    };
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t eol = text.find('\n');
        const std::string_view line = Trim(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']') return fail("section header without ']'");
            const std::string name = Lower(Trim(line.substr(1, line.size() - 2)));
            if (name == "sdk")
                section = Section::Sdk;
            else if (name == "camera") {
                if (result.scenario.cameras.size() == kMaxCameras) return fail("too many cameras");
                section = Section::Camera;
                result.scenario.cameras.emplace_back();
            } else
                return fail("unknown section '" + name + "'");
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return fail("expected key = value");
        const std::string key = Lower(Trim(line.substr(0, eq)));
        const std::string_view value = Unquote(Trim(line.substr(eq + 1)));
        std::string error;
        if (section == Section::Camera)
            error = ParseCameraKey(key, value, baseDirectory, &result.scenario.cameras.back());
        else if (section == Section::Sdk)
            error = ParseSdkKey(key, value, &result.scenario);
        else
            error = "key outside a section";
        if (!error.empty()) return fail(error);
    }
    result.ok = true;
    return result;
}

ParseResult LoadScenarioFile(const std::string& path) {
    ParseResult result;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = "cannot open scenario file '" + path + "'";
        return result;
    }
    std::string text(kMaxScenarioBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxScenarioBytes) {
        result.error = "scenario file '" + path + "' is larger than 1 MB";
        return result;
    }
    const std::size_t slash = path.find_last_of('/');
    return ParseScenario(text, slash == std::string::npos ? std::string() : path.substr(0, slash));
}

} // namespace prsim
