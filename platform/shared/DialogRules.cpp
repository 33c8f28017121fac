#include "platform/shared/DialogRules.h"

#include <cstring>
#include <strings.h>

uint32_t ParseUnsignedText(const std::string& text, bool* pbTranslated) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    uint64_t qwValue = 0;
    size_t nDigits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++nDigits) {
        qwValue = qwValue * 10 + static_cast<uint64_t>(text[i] - '0');
        if (qwValue > 0xFFFFFFFFu) {
            nDigits = 0;
            break;
        }
    }
    while (nDigits != 0 && i < text.size() && text[i] == ' ') {
        ++i;
    }
    const bool bTranslated = nDigits != 0 && i == text.size();
    if (pbTranslated != nullptr) {
        *pbTranslated = bTranslated;
    }
    return bTranslated ? static_cast<uint32_t>(qwValue) : 0;
}

uint32_t CopyItemText(const std::string& text, char* pszOut, int32_t nMax) {
    if (nMax <= 0) {
        return 0;
    }
    size_t nCount = text.size();
    if (nCount > static_cast<size_t>(nMax - 1)) {
        nCount = static_cast<size_t>(nMax - 1);
        // Back off to the start of the character that would be cut.
        while (nCount > 0 && (static_cast<uint8_t>(text[nCount]) & 0xC0) == 0x80) {
            --nCount;
        }
    }
    std::memcpy(pszOut, text.data(), nCount);
    pszOut[nCount] = '\0';
    return static_cast<uint32_t>(nCount);
}

std::vector<int32_t> RadioGroupOf(const DialogTemplate& dialog, int32_t nIndex) {
    int32_t nFirst = nIndex;
    while (nFirst > 0 && (dialog.pItems[nFirst].dwStyle & DLG_STYLE_GROUP) == 0) {
        --nFirst;
    }
    std::vector<int32_t> group;
    for (int32_t i = nFirst; i < dialog.nItems; ++i) {
        if (i > nFirst && (dialog.pItems[i].dwStyle & DLG_STYLE_GROUP) != 0) {
            break;
        }
        if (KindOf(dialog.pItems[i]) == ITEM_RADIO_BUTTON) {
            group.push_back(i);
        }
    }
    return group;
}

int32_t ClampToRange(int64_t nPos, int32_t nLower, int32_t nUpper) {
    const int64_t nMin = nLower < nUpper ? nLower : nUpper;
    const int64_t nMax = nLower < nUpper ? nUpper : nLower;
    return static_cast<int32_t>(nPos < nMin ? nMin : (nPos > nMax ? nMax : nPos));
}

int32_t StepUpDown(const std::string& buddyText, int32_t nCurrent, int32_t nLower, int32_t nUpper,
                   int32_t nDelta) {
    bool bTranslated = false;
    const uint32_t dwTyped = ParseUnsignedText(buddyText, &bTranslated);
    const int64_t nStart =
        ClampToRange(bTranslated ? static_cast<int64_t>(dwTyped) : nCurrent, nLower, nUpper);
    return ClampToRange(nStart + (nLower <= nUpper ? nDelta : -nDelta), nLower, nUpper);
}

DialogItemKind KindOf(const DialogItemTemplate& item) {
    if (strcasecmp(item.pszClass, "BUTTON") == 0) {
        switch (item.dwStyle & DLG_BUTTON_TYPE_MASK) {
        case DLG_BUTTON_PUSH:
        case DLG_BUTTON_DEFAULT:
            return ITEM_PUSH_BUTTON;
        case DLG_BUTTON_AUTOCHECK:
            return ITEM_CHECK_BOX;
        case DLG_BUTTON_GROUPBOX:
            return ITEM_GROUP_BOX;
        case DLG_BUTTON_AUTORADIO:
            return ITEM_RADIO_BUTTON;
        default:
            return ITEM_UNKNOWN;
        }
    }
    if (strcasecmp(item.pszClass, "STATIC") == 0) {
        return (item.dwStyle & DLG_STATIC_TYPE_MASK) == DLG_STATIC_BLACKFRAME ? ITEM_FRAME : ITEM_LABEL;
    }
    if (strcasecmp(item.pszClass, "EDIT") == 0) {
        return ITEM_EDIT;
    }
    if (strcasecmp(item.pszClass, "msctls_trackbar32") == 0) {
        return ITEM_TRACKBAR;
    }
    return ITEM_UNKNOWN;
}
