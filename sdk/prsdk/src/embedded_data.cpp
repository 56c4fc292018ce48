// The built-in scene (viewfinder) and picture source of the simulated cameras, embedded
// so the library works from any folder.
#include "embedded_data.h"

#define PRSIM_INCBIN(name, file)                                                                   \
    __asm__(".pushsection .rodata\n"                                                               \
            ".balign 16\n"                                                                         \
            ".globl " #name "\n"                                                                   \
            ".hidden " #name "\n" #name ":\n"                                                      \
            ".incbin \"" file "\"\n"                                                               \
            ".globl " #name "_end\n"                                                               \
            ".hidden " #name "_end\n" #name "_end:\n"                                              \
            ".popsection\n")

PRSIM_INCBIN(prsim_scene_jpeg, PRSIM_SCENE_FILE);
PRSIM_INCBIN(prsim_picture_jpeg, PRSIM_PICTURE_FILE);

extern "C" {
extern const unsigned char prsim_scene_jpeg[];
extern const unsigned char prsim_scene_jpeg_end[];
extern const unsigned char prsim_picture_jpeg[];
extern const unsigned char prsim_picture_jpeg_end[];
}

namespace prsim {

EmbeddedFile BuiltInScene() {
    return {prsim_scene_jpeg, static_cast<std::size_t>(prsim_scene_jpeg_end - prsim_scene_jpeg)};
}

EmbeddedFile BuiltInPicture() {
    return {prsim_picture_jpeg,
            static_cast<std::size_t>(prsim_picture_jpeg_end - prsim_picture_jpeg)};
}

} // namespace prsim
