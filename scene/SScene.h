// SScene: the program's one application. It builds the scene from the settings when its window exists
// (display, frame, swarm, height map, spot light, music, digits), composes and presents a frame per call
// of OnFrame, fades out and stops the music when the render thread ends, frees everything on release,
// and runs the settings dialog in configure mode.
//
//     SScene* pScene = NewObject<SScene>(store, &dialogHost);   // the platform's services, not owned
//     pScene->Start(hInstance, "/s");
//     DeleteObject(pScene);   // stops the render thread before anything is freed
//
// Threads as SFrmWork says: OnCreate, OnRelease and OnConfig on the main thread, the rest on the render
// thread. OnCreate throws whatever part of the build failed (SString); everything stored until then is
// freed by OnRelease or the destructor. OnThreadStart throws when the music timer cannot be made.
#pragma once

#include "config/SettingsOptions.h"
#include "display/SDisplay.h"
#include "framework/SFrmWork.h"
#include "imaging/SImage.h"
#include "music/SMusic.h"
#include "platform/DialogHost.h"
#include "platform/MidiOut.h"
#include "platform/SettingsStore.h"
#include "scene/SBallSwarm.h"

#include <cstdint>

class SScene : public SFrmWork {
public:
    // store: where the settings are read (and the dialog writes them); pDialogHost: runs the settings
    // dialog (null: configure mode has no dialog to show); pMidiOut: the music's output (null: the
    // platform's default).
    SScene(SettingsStore& store, DialogHost* pDialogHost, PlatformMidiOut* pMidiOut = nullptr);
    ~SScene() override;

    // Settings from the command line that replace the stored ones each time the scene is built; the
    // store and the settings dialog never see them.
    void OverrideSettings(const SettingsOverride& override) { m_override = override; }

    const char* ClassName() override { return "Lumivorra"; }
    const char* WindowName() override { return "Lumivorra"; }
    int32_t IconId() override { return 32517; }
    void OnCreate() override;
    void OnRelease() override;
    void OnThreadStart() override;
    void OnThreadEnd() override;
    void OnConfig() override;
    void OnFrame() override;

    SDisplay* m_pDisplay;
    SImage* m_pFrame;      // the frame composed, and after it was shown the one the fade starts from
    SImage* m_pSpareFrame; // the next frame, for a swarm a stop can cut short (see OnFrame); else null
    SBallSwarm* m_pSwarm;
    int32_t m_nBumpFactor;
    SImage* m_pHeightMap;
    SImage* m_pLight;
    SMusic* m_pMusic;
    SImage* m_pDigit[10];
    int32_t m_bShowFPS;

private:
    void ComposeAndPresent(SImage& frame);
    void ReleaseDisplay();

    SettingsStore& m_store;
    SettingsOverride m_override;
    DialogHost* m_pDialogHost;
    PlatformMidiOut* m_pMidiOut;
};
