// Scenarios: which simulated cameras are connected and how they are set up.
#pragma once

#include "properties.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace prsim {

constexpr std::size_t kMaxModelChars = 40; // UTF-16 units, without the terminating zero
constexpr std::size_t kMaxCameras = 64;
constexpr int kMinPictureSide = 16;
// Largest size a captured picture may be filled up to (picture_bytes).
constexpr std::uint32_t kMaxPictureBytes = 256u << 20;

struct CameraSpec {
    std::u16string model = u"PowerShot Simulated Camera";
    int pictureWidth = 2272;
    int pictureHeight = 1704;
    std::uint32_t pictureBytes = 0; // captured picture filled up to this size; 0: as encoded
    std::string scenePath;          // viewfinder scene; empty: the built-in portrait
    std::string picturePath;        // source of the captured pictures; empty: built-in
    bool plugged = true;
    PropertyTable properties = DefaultProperties();
};

struct Scenario {
    std::vector<CameraSpec> cameras;
    std::uint32_t frameIntervalMs = 66;
};

struct ParseResult {
    bool ok = false;
    Scenario scenario;
    std::string error; // "line N: ..." when !ok
};

// One built-in camera.
Scenario BuiltInScenario();
// Parses scenario text; relative file names are taken from baseDirectory.
ParseResult ParseScenario(std::string_view text, const std::string& baseDirectory);
// Reads and parses a scenario file.
ParseResult LoadScenarioFile(const std::string& path);

// Strict UTF-8 to UTF-16; false on malformed input.
bool Utf8ToUtf16(std::string_view text, std::u16string* out);

} // namespace prsim
