// SImage: the one pixel container (frame, height map, light, glow sprites, digits).
//
// 32-bit pixels, bytes blue, green, red, 0 (0x00RRGGBB read little-endian), rows top-down with no gap,
// the first pixel on an 8-byte boundary so that vector loops can walk the whole picture as one run.
// An image is either empty (all fields zero) or sized; it is created with a size or from a 24-bit BMP
// and is never copied. Created on the main thread, drawn by the render thread, released after the
// render thread has ended: one thread at a time, no locking.
//
//     SImage frame(320, 240);                                  // pixels zero-filled
//     SImage digit("4_BMP", LOAD_RESOURCE, hModule);          // the picture's size
//     frame.Blit(10, 10, digit, BLIT_ADD);
//     SImage light(640, 640);
//     light.BuildDirectionTable(1);                            // set-up only
//     light.DrawGlow(320, 0x00FFFFFF);
//     frame.BumpLight(heightMap, 160, 120, light, 5);          // every frame
//
// The per-pixel work runs in the fastest instruction-set form the processor has (imaging/PixelOps.h); every
// form gives the same bytes.
//
// Every failure throws SString with the system's message: the BMP checks, "Could not open %s.\n" and
// the other input messages (framework/SInput.h), the allocator's out-of-memory message.
#pragma once

#include "framework/SInput.h"
#include "platform/PlatformTypes.h"

#include <cstdint>

enum BlitMode : int32_t {
    BLIT_COPY = 0, // destination = source, black included
    BLIT_ADD = 1,  // destination = min(255, destination + source), per byte
};

class SImage {
public:
    // Sized: a zero-filled width x height image. Throws SString on a negative size or no memory.
    SImage(int32_t nWidth, int32_t nHeight);
    // Loading: an image of exactly the picture's size (see LoadBmp).
    SImage(const char* pszName, int32_t dwLoadType, ModuleHandle hModule);
    SImage(const SImage&) = delete;
    SImage& operator=(const SImage&) = delete;
    virtual ~SImage();

    // Sizes the image (an empty one, as the program uses it): a block of width x height x 4 + 7 bytes,
    // zero-filled. A negative size, or one whose block does not fit in 32 bits (the out-of-memory message),
    // throws and leaves the image as it was.
    void Allocate(int32_t nWidth, int32_t nHeight);
    // Loads an uncompressed 24-bit BMP (40-byte information header, rows from offset 54) from a file or
    // a built-in item. An empty image takes the picture's size; an image with pixels keeps its size and
    // receives the top-left part the two share, its other pixels unchanged. Every header is checked, and
    // the data's length against the rows it claims, before any pixel is written.
    void LoadBmp(const char* pszName, int32_t dwLoadType, ModuleHandle hModule);
    // Frees the direction table and the pixels and zeroes every field; safe on an empty image.
    void Release();

    // Writes dwValue (0x00RRGGBB) into every pixel.
    void Clear(uint32_t dwValue);
    // Lowers every byte of every pixel by the matching byte of dwValue, stopping at 0.
    void Fade(uint32_t dwValue);
    // Puts source with its top-left pixel at (x, y), clipped to this image; any mode but BLIT_COPY and
    // BLIT_ADD draws nothing.
    void Blit(int32_t x, int32_t y, const SImage& source, int32_t nMode);

    // Paints a glow of the colour (0x00RRGGBB) into the top-left 2r x 2r square: brightness (1 - d/r)^2 at
    // distance d from pixel (r - 1, r - 1), black beyond r, fourth bytes 0. A square that does not fit, or
    // a radius that is not positive, leaves the image unchanged. Set-up only (main thread).
    void DrawGlow(int32_t radius, uint32_t color);
    // Kind 1 attaches a table of one direction per pixel (horizontal, vertical; signed bytes) pointing from
    // the centre in the city-block norm, scaled to 128; any other kind does nothing. A table built before is
    // replaced. Throws SString when the table cannot be allocated, before anything changes.
    void BuildDirectionTable(int32_t kind);
    // Lights this frame from the slopes of heightMap (same size as the frame) with the light image centred
    // on (lightX, lightY): each byte gains the slopes weighted by the light's byte and its direction there,
    // scaled by bumpFactor (default 5; larger is stronger). The one-pixel border is never changed. Does
    // nothing when the sizes differ, the light has no direction table or its square misses the frame.
    // Render thread; never throws.
    void BumpLight(const SImage& heightMap, int32_t lightX, int32_t lightY, const SImage& light,
                   int32_t bumpFactor);

    int32_t width;          // pixels per row; 0 when empty
    int32_t height;         // rows; 0 when empty
    void* pixelBlock;       // owned block of width x height x 4 + 7 bytes; null when empty
    int8_t* directionTable; // optional owned table, two signed bytes per pixel; null until built
    uint32_t* pixels;       // first pixel: pixelBlock rounded up to a multiple of 8; null when empty
};
