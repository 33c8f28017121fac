#include "PngFile.h"

#include "framework/SString.h"

#if LV_RENDER_PNG
#include <png.h>

#include <cstring>
#include <vector>

void WritePng(const std::string& path, const uint8_t* pBgrx, int32_t nWidth, int32_t nHeight) {
    const size_t nPixels = static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight);
    std::vector<uint8_t> rgb(nPixels * 3);
    for (size_t i = 0; i < nPixels; ++i) {
        rgb[i * 3 + 0] = pBgrx[i * 4 + 2];
        rgb[i * 3 + 1] = pBgrx[i * 4 + 1];
        rgb[i * 3 + 2] = pBgrx[i * 4 + 0];
    }
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(nWidth);
    image.height = static_cast<png_uint_32>(nHeight);
    image.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) == 0) {
        throw SString(Tr("Could not write %s.\n"), path.c_str());
    }
}
#else
// The cross builds have no libpng of their own processor; their frames are compared by hash.
void WritePng(const std::string& path, const uint8_t*, int32_t, int32_t) {
    throw SString(Tr("Could not write %s. This build cannot write PNG files.\n"), path.c_str());
}
#endif
