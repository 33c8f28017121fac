#include "RenderFrames.h"

#include "PngFile.h"
#include "Sha256.h"
#include "config/Settings.h"
#include "framework/Memory.h"
#include "framework/SString.h"
#include "platform/headless/Display.h"
#include "platform/headless/Headless.h"
#include "platform/headless/MidiOut.h"
#include "platform/headless/SettingsStore.h"
#include "platform/headless/Window.h"
#include "scene/SScene.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;

void WriteRaw(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* pFile = std::fopen(path.c_str(), "wb");
    const bool bWritten =
        pFile != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), pFile) == bytes.size();
    if (pFile != nullptr && std::fclose(pFile) != 0) {
        throw SString(Tr("Could not write %s.\n"), path.c_str());
    }
    if (!bWritten) {
        throw SString(Tr("Could not write %s.\n"), path.c_str());
    }
}

// Receives the presented pictures on the render thread. At frame K it asks the window to close and holds
// the render thread until the stop flag is up, so that the frames after K are exactly the fade-out.
class FrameSink {
public:
    FrameSink(const FrameOptions& options, SScene& scene) : m_options(options), m_scene(scene) {}

    void Take(const PresentedFrame& frame) {
        ++m_nPresented;
        try {
            if (m_options.nFrames == m_nPresented) {
                TakeFrameK(frame.bytes);
            }
            const bool bFade = m_nPresented > m_options.nFrames;
            if (!m_options.framesDir.empty() &&
                (!bFade || m_nPresented - m_options.nFrames <= m_options.nFade)) {
                char szName[32];
                std::snprintf(szName, sizeof(szName), "/frame-%04d.png", m_nPresented);
                WritePng(m_options.framesDir + szName, frame.bytes.data(), kWidth, kHeight);
            }
        } catch (const SString& error) {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_error.empty()) {
                m_error = error.Text();
            }
        }
        if (m_options.nFrames == m_nPresented) {
            PlatformPostMessage(m_scene.m_hWindow, WMSG_CLOSE, 0, 0);
            while (m_scene.m_bStop.load() == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }

    std::string Hash() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_hash;
    }
    std::string Error() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_error;
    }

private:
    void TakeFrameK(const std::vector<uint8_t>& bytes) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_hash = Sha256Hex(bytes.data(), bytes.size());
        }
        if (!m_options.pngPath.empty()) {
            WritePng(m_options.pngPath, bytes.data(), kWidth, kHeight);
        }
        if (!m_options.rawPath.empty()) {
            WriteRaw(m_options.rawPath, bytes);
        }
    }

    const FrameOptions& m_options;
    SScene& m_scene;
    int32_t m_nPresented = 0; // render thread only
    std::mutex m_lock;
    std::string m_hash;
    std::string m_error;
};

} // namespace

int RenderFrames(const FrameOptions& options) {
    HeadlessResetWindows();
    HeadlessResetDisplay();
    // The scene seeds its generator from the tick count.
    HeadlessSetTickCount(options.dwSeed);

    Settings settings = DefaultSettings();
    settings.Nums = options.dwNums;
    settings.Color = options.dwColor;
    settings.BumpFactor = options.dwBump;
    settings.ShowFPS = options.bShowFps ? 1 : 0;
    if (!options.heightMap.empty()) {
        if (options.heightMap.size() >= SETTINGS_PATH_WRITTEN) {
            throw SString(Tr("Could not open %s.\n"), options.heightMap.c_str());
        }
        settings.HeightMapMode = 0;
        std::snprintf(settings.HeightMapFile, sizeof(settings.HeightMapFile), "%s",
                      options.heightMap.c_str());
    }
    MemoryStore store;
    WriteSettings(store, settings);

    HeadlessMidiOut midi;
    SScene* pScene = NewObject<SScene>(store, nullptr, &midi);
    FrameSink sink(options, *pScene);
    HeadlessSetPresentSink([&sink](const PresentedFrame& frame) { sink.Take(frame); });
    try {
        pScene->CreateMainWindow(nullptr, 2, kWidth, kHeight);
        // No frame-rate timer ticks here: the counter keeps showing the rate given.
        pScene->m_nFps.store(options.nFps);
        pScene->Run();
    } catch (const SString&) {
        DeleteObject(pScene);
        HeadlessSetPresentSink(nullptr);
        throw;
    }
    DeleteObject(pScene);
    HeadlessSetPresentSink(nullptr);
    // An error on the render thread went to the (captured) debug output.
    const std::string debug = HeadlessDebugText();
    if (!debug.empty()) {
        throw SString("%s", debug.c_str());
    }
    if (!sink.Error().empty()) {
        throw SString("%s", sink.Error().c_str());
    }
    if (sink.Hash().empty()) {
        throw SString(Tr("Frame %d was not shown.\n"), options.nFrames);
    }
    std::printf("sha256 %s\n", sink.Hash().c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}
