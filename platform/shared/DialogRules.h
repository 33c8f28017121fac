// How the Windows dialog manager treats text, numbers, radio groups and up-down steps, for the hosts that
// rebuild it (the Qt host and the headless fake share these rules). Pure functions, any thread.
#pragma once

#include "platform/DialogHost.h"

#include <cstdint>
#include <string>
#include <vector>

// Reads text as an unsigned decimal number: blanks around it allowed, nothing else. 0 and false when
// the text is not such a number or does not fit in 32 bits.
uint32_t ParseUnsignedText(const std::string& text, bool* pbTranslated);

// Copies at most nMax - 1 bytes of text and a zero into pszOut, never cutting a UTF-8 character in two;
// returns the count copied. Nothing is written when nMax is 0 or less.
uint32_t CopyItemText(const std::string& text, char* pszOut, int32_t nMax);

// The indices of the automatic radio buttons in the same group as item nIndex: a group runs from an
// item with the group style up to the next one.
std::vector<int32_t> RadioGroupOf(const DialogTemplate& dialog, int32_t nIndex);

// The position an up-down control moves to when stepped by nDelta from its buddy's text: the text's
// number (or nCurrent when it is none) brought into the range, then stepped and kept in the range.
int32_t StepUpDown(const std::string& buddyText, int32_t nCurrent, int32_t nLower, int32_t nUpper,
                   int32_t nDelta);

// A position kept within [nLower, nUpper] (either order).
int32_t ClampToRange(int64_t nPos, int32_t nLower, int32_t nUpper);

// The control class of an item: what a host builds for it.
enum DialogItemKind {
    ITEM_PUSH_BUTTON,
    ITEM_CHECK_BOX,
    ITEM_RADIO_BUTTON,
    ITEM_GROUP_BOX,
    ITEM_LABEL,
    ITEM_FRAME, // a static frame: the swatch the dialog paints
    ITEM_EDIT,
    ITEM_TRACKBAR,
    ITEM_UNKNOWN,
};
DialogItemKind KindOf(const DialogItemTemplate& item);
