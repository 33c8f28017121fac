// Writes a 320x240 frame (bytes blue, green, red, fourth, rows top-down) as an 8-bit RGB PNG through
// libpng. Throws SString naming the file when it cannot be written.
#pragma once

#include <cstdint>
#include <string>

void WritePng(const std::string& path, const uint8_t* pBgrx, int32_t nWidth, int32_t nHeight);
