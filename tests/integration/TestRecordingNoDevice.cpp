// Recording with no audio input at all: the audio server this test is pointed at does
// not exist.

#include "platform/audio/RecordingStore.h"
#include "support/TemporaryProfile.h"
#include "workspace/RecordingNotifications.h"
#include "workspace/WorkspaceStore.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

class TestRecordingNoDevice : public QObject {
    Q_OBJECT

private slots:
    void microphoneUnavailable()
    {
        TemporaryProfile profile("zh-Hans");
        WorkspaceStore::Services services;
        services.notifications = new RecordingNotifications;
        WorkspaceStore store(profile.preferences(), services);
        RecordingStore* audio = store.audio();
        QSignalSpy started(audio, &RecordingStore::startFinished);

        audio->toggle();
        QVERIFY(started.wait(10000));
        QCOMPARE(started.first().first().toBool(), false);
        QCOMPARE(audio->errorText(),
            QString("无法使用麦克风。请在系统设置 → 隐私与安全性 → 麦克风中允许Tandrel访问，然后重试。"));
        QVERIFY(!audio->isRequestingPermission() && !audio->isRecording());
        QVERIFY(QDir(audio->directory().value()).entryList(QDir::Files).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRecordingNoDevice)
#include "TestRecordingNoDevice.moc"
