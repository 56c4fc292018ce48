/* Rasterkit: turns a JPEG or TIFF file image held in memory into a 24-bit bottom-up
 * bitmap of a requested size.
 *
 * GetConvertedImage returns the start of the converted picture's pixel block (its
 * bottom row, the lowest address) and writes W x H x 3 to *size_out. Every row takes
 * W x 3 bytes rounded up to a multiple of 4; pixels are blue, green, red. The block
 * belongs to the library and stays valid until the next call of either function.
 *
 * format: only the low byte counts: 0 = JPEG, 1 = TIFF. width and height: only the
 * low 16 bits count.
 *
 * Every failure takes the refusal path: the result is null, *size_out receives 0 and
 * no picture is kept (the previous one is gone too). Refused are: an unknown format,
 * a null data or size_out pointer, a negative count, a width or height of 0, a
 * damaged or truncated file image, a picture kind the decoder does not read, and any
 * picture (the decoded one or the requested one) of more than 64 Mi pixels
 * (67,108,864 pixels: 8192 x 8192, or a 4:3 picture of 9459 x 7094). That limit keeps
 * every allocation bounded: at most 192 MiB for the converted picture and 256 MiB for
 * a decoded 32-bit TIFF picture.
 *
 * Not safe for concurrent use: the library keeps one picture and no lock.
 */
#ifndef RASTERKIT_H
#define RASTERKIT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

uint8_t* GetConvertedImage(const uint8_t* data, int32_t count, int32_t* size_out, uint32_t format,
                           int32_t width, int32_t height);
void ClearResources(void);

#ifdef __cplusplus
}
#endif

#endif
