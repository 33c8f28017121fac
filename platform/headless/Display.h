// The headless presentation device: surfaces in memory, every call recorded, and every presented picture
// handed to a sink with its bytes as they would reach the screen (the 16-bit back buffer at a flip, the
// 32-bit surface at a stretch). A test steers it like a real display misbehaving: a chosen call fails, the
// primary surface is lost, the 16-bit layout and the back buffer's pitch are set.
//
//     HeadlessResetDisplay();
//     HeadlessFailDisplayCall("CreateSurface", 2, 0x8007000E);   // the second CreateSurface fails
//     HeadlessSetPresentSink([](const PresentedFrame& f) { ... });   // called on the render thread
//
// Safe to call from any thread.
#pragma once

#include "platform/DisplayDevice.h"

#include <functional>
#include <string>
#include <vector>

struct PresentedFrame {
    bool bFlip;         // true: a flip of the 16-bit chain; false: a stretch into a window
    int32_t nDestWidth; // the stretch's destination size (the display's for a flip)
    int32_t nDestHeight;
    uint32_t dwBitCount;        // 16 or 32
    int32_t lPitch;             // bytes per row in bytes
    std::vector<uint8_t> bytes; // 240 rows of lPitch bytes
};

// Every knob back to its default (green mask 0x7E0, no padding, nothing failing or lost), the log and the
// counts cleared, no sink.
void HeadlessResetDisplay();
// The nOccurrence-th call (from 1, counted since the reset) of the named operation returns hr.
// Names: "DirectDrawCreate", "SetCooperativeLevel", "SetDisplayMode", "CreateSurface", "GetAttachedSurface",
// "GetPixelFormat", "Lock", "Flip", "GetDC" (a surface's).
void HeadlessFailDisplayCall(const std::string& call, int nOccurrence, DisplayResult hr);
// The green mask that the flip chain's pixel format reports.
void HeadlessSetGreenMask(uint32_t dwGreenMask);
// Bytes added after each row of every surface made from now on.
void HeadlessSetRowPadding(int32_t nBytes);
// The primary surface (every one alive) reports lost until restored.
void HeadlessLoseSurfaces();
// Called on the presenting thread for each presented picture; null to stop.
void HeadlessSetPresentSink(std::function<void(const PresentedFrame&)> sink);
// The calls made since the reset, one line each, e.g. "SetCooperativeLevel 0x13", "Lock", "Flip",
// "StretchBlt 0 0 640 480 <- 0 0 320 240", "Release primary".
std::vector<std::string> HeadlessDisplayLog();
void HeadlessClearDisplayLog();
// Devices and surfaces made and not yet released (a flip chain counts as one surface).
int HeadlessLiveDisplayObjects();
