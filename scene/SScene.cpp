#include "scene/SScene.h"

#include "config/SConfigDialog.h"
#include "config/Settings.h"
#include "framework/Memory.h"
#include "framework/Random.h"
#include "framework/SString.h"

#include <cstdio>
#include <utility>

namespace {

constexpr int32_t kFrameWidth = 320;
constexpr int32_t kFrameHeight = 240;
constexpr int kFadeSteps = 32;

} // namespace

SScene::SScene(SettingsStore& store, DialogHost* pDialogHost, PlatformMidiOut* pMidiOut)
    : m_pDisplay(nullptr), m_pFrame(nullptr), m_pSpareFrame(nullptr), m_pSwarm(nullptr), m_nBumpFactor(0),
      m_pHeightMap(nullptr), m_pLight(nullptr), m_pMusic(nullptr), m_pDigit{}, m_bShowFPS(0),
      m_store(store), m_override{}, m_pDialogHost(pDialogHost), m_pMidiOut(pMidiOut) {}

SScene::~SScene() {
    // The render thread must have ended before anything it draws with is freed, also when the window
    // went away without a close request.
    Shutdown();
    OnRelease();
}

void SScene::OnCreate() {
    SeedRandom();
    Settings settings;
    ReadSettings(m_store, &settings, READER_SCENE);
    ApplySettingsOverride(m_override, &settings);
    m_nBumpFactor = static_cast<int32_t>(settings.BumpFactor);
    m_bShowFPS = static_cast<int32_t>(settings.ShowFPS);

    // Each object is stored as soon as it exists, so that a later failure leaves it reachable for release.
    m_pDisplay = NewObject<SDisplay>();
    m_pDisplay->Init(m_hWindow, bWinMode == 1 ? SCR_FULLSCREEN : SCR_WINDOW);

    m_pFrame = NewObject<SImage>(kFrameWidth, kFrameHeight);

    m_pSwarm = NewObject<SBallSwarm>();
    m_pSwarm->Create(static_cast<int32_t>(settings.Nums), settings.Color);
    // The count is the user's: a close request ends even a frame of millions of balls early.
    m_pSwarm->SetAbortFlag(&m_bStop);
    if (m_pSwarm->count > SBallSwarm::kAbortRun) {
        m_pSpareFrame = NewObject<SImage>(kFrameWidth, kFrameHeight);
    }

    // Any mode but 0 and 1 keeps the new image's zeros: a flat map.
    m_pHeightMap = NewObject<SImage>(kFrameWidth, kFrameHeight);
    if (settings.HeightMapMode == 0) {
        m_pHeightMap->LoadBmp(settings.HeightMapFile, LOAD_FILE, m_hInstance);
    } else if (settings.HeightMapMode == 1) {
        m_pHeightMap->LoadBmp("ID_BUMPMAP", LOAD_RESOURCE, m_hInstance);
    }

    m_pLight = NewObject<SImage>(2 * kFrameWidth, 2 * kFrameWidth);
    m_pLight->BuildDirectionTable(1);
    m_pLight->DrawGlow(kFrameWidth, 0xFFFFFF);

    m_pMusic = NewObject<SMusic>(m_pMidiOut);
    if (settings.BGMMode == 0) {
        m_pMusic->Load(settings.MusicFile, LOAD_FILE, m_hInstance);
    } else if (settings.BGMMode == 1) {
        m_pMusic->Load("ID_MIDI", LOAD_RESOURCE, m_hInstance);
    }

    if (m_bShowFPS != 0) {
        for (int32_t d = 0; d < 10; ++d) {
            char szName[8];
            std::snprintf(szName, sizeof(szName), "%c_BMP", '0' + d);
            m_pDigit[d] = NewObject<SImage>(szName, LOAD_RESOURCE, m_hInstance);
        }
    }
}

void SScene::OnFrame() {
    // A swarm that a stop can cut short is drawn into a frame of its own, so that the last frame shown
    // survives a cut one for the fade.
    SImage* pFrame = m_pSpareFrame != nullptr ? m_pSpareFrame : m_pFrame;
    pFrame->Clear(0);
    if (!m_pSwarm->Update() || !m_pSwarm->Draw(*pFrame)) {
        return; // cut short by a stop: neither lit nor shown
    }
    ComposeAndPresent(*pFrame);
    if (pFrame != m_pFrame) {
        std::swap(m_pSpareFrame, m_pFrame);
    }
}

void SScene::ComposeAndPresent(SImage& frame) {
    const int32_t nLightX = static_cast<int32_t>(m_pSwarm->centerX) + frame.width / 2;
    const int32_t nLightY = static_cast<int32_t>(m_pSwarm->centerY) + frame.height / 2;
    frame.BumpLight(*m_pHeightMap, nLightX, nLightY, *m_pLight, m_nBumpFactor);
    if (m_bShowFPS != 0) {
        char szFps[16];
        std::snprintf(szFps, sizeof(szFps), "%d", m_nFps.load(std::memory_order_relaxed));
        int32_t x = 10;
        for (const char* p = szFps; *p != '\0'; ++p) {
            const SImage* pDigit = (*p >= '0' && *p <= '9') ? m_pDigit[*p - '0'] : nullptr;
            if (pDigit != nullptr) {
                frame.Blit(x, 10, *pDigit, BLIT_ADD);
                x += pDigit->width;
            }
        }
    }
    m_pDisplay->Present(&frame);
}

void SScene::OnThreadStart() {
    m_pMusic->Play();
}

void SScene::OnThreadEnd() {
    if (bWinMode != 3) {
        // 32 steps of 8 take every byte to 0: the last frame shown is black whatever the picture was.
        for (int i = 0; i < kFadeSteps; ++i) {
            m_pFrame->Fade(0x080808);
            m_pDisplay->Present(m_pFrame);
        }
    }
    m_pMusic->Stop();
}

void SScene::OnRelease() {
    for (SImage*& pDigit : m_pDigit) {
        DeleteObject(pDigit);
    }
    DeleteObject(m_pMusic);
    DeleteObject(m_pLight);
    DeleteObject(m_pHeightMap);
    DeleteObject(m_pSwarm);
    DeleteObject(m_pSpareFrame);
    DeleteObject(m_pFrame);
    ReleaseDisplay();
}

void SScene::ReleaseDisplay() {
    if (m_pDisplay != nullptr) {
        m_pDisplay->Release();
        DeleteObject(m_pDisplay);
    }
}

void SScene::OnConfig() {
    if (m_pDialogHost == nullptr) {
        throw SString(Tr("Cannot show the settings dialog.\n"));
    }
    SConfigDialog* pDialog = NewObject<SConfigDialog>(*m_pDialogHost, m_store);
    try {
        pDialog->Create(m_hInstance, "DLG_CONFIG", nullptr);
        pDialog->DoModal();
    } catch (const SString& error) {
        DeleteObject(pDialog);
        throw SString(error);
    }
    DeleteObject(pDialog);
}
