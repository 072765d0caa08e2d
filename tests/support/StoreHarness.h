#pragma once

#include "TemporaryProfile.h"
#include "features/focus/PomodoroTimer.h"
#include "support/FakeAudioBackend.h"
#include "platform/audio/RecordingStore.h"
#include "workspace/RecordingNotifications.h"
#include "workspace/WorkspaceStore.h"

// The workspace store on a temporary profile: reminders kept in memory, a scripted
// microphone, and one pinned clock for the focus timer and the recorder.
struct StoreHarness : TemporaryProfile {
    QDateTime now = QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);
    RecordingNotifications* notifications = new RecordingNotifications;
    FakeAudioBackend* audio = new FakeAudioBackend;
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
        store = std::make_unique<WorkspaceStore>(preferences(), services);
        store->timer()->setClock([this] { return now; });
        store->timer()->setBeep([] {});
    }
};
