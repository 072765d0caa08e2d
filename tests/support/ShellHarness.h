#pragma once

#include "TemporaryProfile.h"
#include "app/SidebarApp.h"
#include "platform/audio/RecordingStore.h"
#include "workspace/ContentView.h"
#include "workspace/RecordingNotifications.h"

// The application shell as main() builds it, on a temporary profile with reminders kept in
// memory; recordings go to the profile through `audio` (the platform's when null), the
// desktop is `windowSystem` (the X11 one when null). Started by the test.
struct ShellHarness : TemporaryProfile {
    RecordingNotifications* notifications = new RecordingNotifications;
    AudioBackend* audio;
    std::unique_ptr<SidebarApp> app;

    ShellHarness(
        const QString& language, AudioBackend* audio, std::unique_ptr<SidebarWindowSystem> windowSystem = {})
        : TemporaryProfile(language)
        , audio(audio)
    {
        WorkspaceServices services;
        services.notifications = notifications;
        services.audio = new RecordingStore(path("Recordings"), audio);
        app = std::make_unique<SidebarApp>(preferences(), services, std::move(windowSystem));
    }
    ~ShellHarness() { app.reset(); }

    WorkspaceStore* store() const { return app->store(); }
    SidebarWindowController* controller() const { return app->windowController(); }
    ContentView* window() const { return app->window(); }
};
