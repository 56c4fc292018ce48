#pragma once

#include <cstddef>
#include <cstdint>

namespace prsim {

struct EmbeddedFile {
    const std::uint8_t* data;
    std::size_t size;
};

EmbeddedFile BuiltInScene();   // a 320 x 240 portrait
EmbeddedFile BuiltInPicture(); // the same portrait at 1600 x 1200

} // namespace prsim
