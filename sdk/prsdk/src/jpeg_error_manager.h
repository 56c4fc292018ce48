// libjpeg reports fatal errors through error_exit, which by default ends the process.
// This one jumps back to the setjmp of its owner instead and keeps messages quiet.
#pragma once

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace prsim {

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

inline void JpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

inline void JpegQuietMessage(j_common_ptr) {}

// The value for the err member of a compress or decompress struct; the caller still
// calls setjmp(manager.jump) before the first libjpeg call that may fail.
inline jpeg_error_mgr* UseJpegErrorManager(JpegErrorManager& manager) {
    jpeg_error_mgr* pub = jpeg_std_error(&manager.pub);
    pub->error_exit = JpegErrorExit;
    pub->output_message = JpegQuietMessage;
    return pub;
}

} // namespace prsim
