// Pictures made in code for the tests and the benchmarks, where the built-in resources are not wanted:
// deterministic (integer arithmetic only, the same bytes on every platform).
#pragma once

#include "imaging/SImage.h"

// Fills the image with a grey relief: random heights on a 16-pixel lattice, joined smoothly, with a
// little grain; slopes like those of a photographed or painted height map.
void MakeHeightMap(SImage& height, uint32_t dwSeed);
// A grey digit-like picture, 18 rows high: an outline whose shape depends on the digit.
void MakeDigit(SImage& digit, int32_t nDigit);
