// Scenario files are outside input: any bytes must parse or fail cleanly.
#include "scenario.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const prsim::ParseResult r =
        prsim::ParseScenario(std::string_view(reinterpret_cast<const char*>(data), size), "/base");
    if (r.ok && r.scenario.cameras.size() > prsim::kMaxCameras) __builtin_trap();
    return 0;
}
