// Recording with no audio input at all: the audio server this test is pointed at does
// not exist.

#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"
#include "workspace/RecordingNotifications.h"
#include "workspace/WorkspaceStore.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestRecordingNoDevice : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void microphoneUnavailable_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("message");
        QTest::newRow("Chinese") << "zh-Hans"
                                 << "无法使用麦克风。请在系统设置 → 隐私与安全性 → 麦克风中允许Tandrel访问，然后重试。";
        QTest::newRow("English") << "en"
                                 << "Microphone access is unavailable. Allow Tandrel in System Settings → Privacy & "
                                    "Security → Microphone, then retry.";
    }
    void microphoneUnavailable()
    {
        QFETCH(QString, language);
        QFETCH(QString, message);
        Preferences prefs(m_dir.filePath(language + ".sqlite"));
        Preferences::setStandard(&prefs);
        prefs.setString("interfaceLanguage", language);
        {
            WorkspaceStore::Services services;
            services.notifications = new RecordingNotifications;
            WorkspaceStore store(&prefs, services);
            RecordingStore* audio = store.audio();
            const QString folder = audio->directory().value();
            QSignalSpy requesting(audio, &RecordingStore::isRequestingPermissionChanged);
            int published = 0;
            audio->onRecorded = [&](const AudioRecording&) { ++published; };

            audio->start();
            QTRY_COMPARE(audio->errorText(), message);
            QVERIFY(!audio->isRequestingPermission());
            QCOMPARE(requesting.count(), 2);
            QVERIFY(!audio->isRecording());
            audio->stop(true);
            QCOMPARE(published, 0);
            QVERIFY(QDir(folder).entryList(QDir::Files).isEmpty());
            QVERIFY(audio->recordings().isEmpty());
            QCOMPARE(store.currentPage()->attachments.size(), 0);
        }
        Preferences::setStandard(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestRecordingNoDevice)
#include "TestRecordingNoDevice.moc"
