// The BMP loader on any bytes: into an empty image (the picture's size) and into a sized one (the
// shared top-left part). A damaged picture must be refused with a message, never read past its end.
#include "FuzzItem.h"

#include "framework/SString.h"
#include "imaging/SImage.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    SetFuzzItem(pData, nSize);
    try {
        SImage picture(kFuzzItem, LOAD_RESOURCE, nullptr);
        // A loaded picture is sized and its pixels can be walked whole.
        if (picture.width <= 0 || picture.height <= 0 || picture.pixels == nullptr) {
            std::abort();
        }
        picture.Fade(0x00010101);
    } catch (const SString&) {
    }
    SImage sized(7, 5);
    try {
        sized.LoadBmp(kFuzzItem, LOAD_RESOURCE, nullptr);
    } catch (const SString&) {
    }
    if (sized.width != 7 || sized.height != 5) {
        std::abort();
    }
    return 0;
}
