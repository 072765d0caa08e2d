#pragma once

#include "TemporaryProfile.h"
#include "features/focus/PomodoroTimer.h"
#include "support/FakeAudioBackend.h"
#include "support/ScriptedChooser.h"
#include "platform/audio/RecordingStore.h"
#include "platform/storage/StorageLocations.h"
#include "workspace/RecordingNotifications.h"
#include "workspace/WorkspaceStore.h"

// The workspace store on a temporary profile: reminders kept in memory, a scripted
// microphone, scripted folder choices, the application's folders inside the profile, and one
// pinned clock for the focus timer, the recorder and the names of exported files.
struct StoreHarness : TemporaryProfile {
    QDateTime now = QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);
    RecordingNotifications* notifications = new RecordingNotifications;
    FakeAudioBackend* audio = new FakeAudioBackend;
    std::shared_ptr<ScriptedChooser> chooser = std::make_shared<ScriptedChooser>();
    std::unique_ptr<WorkspaceStore> store;

    explicit StoreHarness(const QString& language = QStringLiteral("en"))
        : TemporaryProfile(language)
    {
        open();
    }
    ~StoreHarness() { store.reset(); }

    // The program ends and starts again on the same data.
    void restart()
    {
        store.reset();
        reopen();
        notifications = new RecordingNotifications;
        audio = new FakeAudioBackend;
        open();
    }

    PomodoroTimer* timer() const { return store->timer(); }
    RecordingStore* recorder() const { return store->audio(); }

private:
    void open()
    {
        WorkspaceServices services;
        services.notifications = notifications;
        services.audio = new RecordingStore(path("Recordings"), audio, [this] { return now; });
        services.storage = new StorageLocations(preferences(), path("AppData"), chooser);
        services.folderChooser = chooser;
        services.clock = [this] { return now; };
        store = std::make_unique<WorkspaceStore>(preferences(), services);
        store->timer()->setClock([this] { return now; });
        store->timer()->setBeep([] {});
    }
};
