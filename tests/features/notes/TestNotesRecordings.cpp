// The recordings of the current page in the notes area.

#include "support/FakeAudioBackend.h"
#include "support/ScriptedTranscriber.h"
#include "workspace/RecordingNotifications.h"

#include "features/notes/NotesView.h"
#include "features/settings/SpeechModelDialog.h"
#include "platform/audio/RecordingStore.h"
#include "platform/speech/ModelManager.h"
#include "support/ScriptedChooser.h"
#include "support/TemporaryProfile.h"
#include "workspace/WorkspaceStore.h"

#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

class TestNotesRecordings : public QObject {
    Q_OBJECT

    static QList<QFrame*> rows(const NotesView& view) { return view.findChildren<QFrame*>("recordingRow"); }
    static QFrame* row(const NotesView& view, const QString& filename)
    {
        for (QFrame* candidate : rows(view)) {
            if (candidate->property("filename").toString() == filename)
                return candidate;
        }
        return nullptr;
    }
    template <class T = QPushButton*>
    static T in(const NotesView& view, const QString& filename, const char* name)
    {
        return row(view, filename)->findChild<T>(name);
    }

private slots:
    // Rows follow the page; retry and help only where it failed (what the queue does is the store's).
    void rowsRetryPlayAndHelp()
    {
        TemporaryProfile profile;
        const QString folder = profile.path("Recordings");
        auto* backend = new FakeAudioBackend;
        auto* speech = new ScriptedTranscriber;
        WorkspaceStore::Services services;
        services.notifications = new RecordingNotifications;
        services.audio = new RecordingStore(folder, backend);
        services.speech = speech;
        services.folderChooser = std::make_shared<ScriptedChooser>();
        WorkspaceStore store(profile.preferences(), services);
        for (const char* name : { "failed.m4a", "done.m4a" })
            QVERIFY(!profile.writeFile(QString("Recordings/") + name, "x").isEmpty());
        store.audio()->reload();
        ModelManager models({ profile.path("models"), { { "test", "ggml-test.bin", 1, {}, "00", false } },
            nullptr, { { "test", QUrl("http://127.0.0.1:9/") } } });
        NotesView view(&store, nullptr, &models);
        view.show();
        QVERIFY(!view.findChild<QWidget*>("recordingList")->isVisible());

        const QDateTime at(QDate(2026, 3, 1), QTime(14, 5), QTimeZone::utc());
        QList<NotePage> pages = store.pages();
        const QStringList names { "queued.m4a", "running.m4a", "done.m4a", "failed.m4a", "interrupted.m4a" };
        pages[0].attachments = { { names[0], at, TranscriptionStatus::queued, std::nullopt },
            { names[1], at, TranscriptionStatus::transcribing, std::nullopt },
            { names[2], at, TranscriptionStatus::completed, std::nullopt },
            { names[3], at, TranscriptionStatus::failed, std::nullopt },
            { names[4], at.addSecs(3600), TranscriptionStatus::failed,
                QString("上次识别未完成，点击重试。") } };
        store.setPages(pages);
        QVERIFY(view.findChild<QWidget*>("recordingList")->isVisible());
        QCOMPARE(rows(view).size(), names.size());
        for (qsizetype i = 0; i < names.size(); ++i) {
            QCOMPARE(in(view, names.at(i), "retryTranscriptionButton") != nullptr, i >= 3);
            QCOMPARE(in(view, names.at(i), "transcriptionHelpButton") != nullptr, i >= 3);
        }
        QCOMPARE(in<QLabel*>(view, "done.m4a", "recordingTitle")->text(), QString("录音 · 14:05"));
        // The error as stored, in place of the status text.
        QCOMPARE(in<QLabel*>(view, "interrupted.m4a", "recordingStatus")->text(),
            QString("上次识别未完成，点击重试。"));

        QFrame* before = row(view, "queued.m4a");
        store.setNote("几个字");
        QCOMPARE(row(view, "queued.m4a"), before);
        store.addPage();
        QVERIFY(rows(view).isEmpty());
        store.selectPage(store.pages().first().id);
        QCOMPARE(rows(view).size(), 5);

        QTest::mouseClick(in(view, "failed.m4a", "retryTranscriptionButton"), Qt::LeftButton);
        QTRY_COMPARE(speech->requests.size(), 1);
        QCOMPARE(speech->requests.first().path, QDir(folder).filePath("failed.m4a"));
        QVERIFY(!in(view, "failed.m4a", "retryTranscriptionButton"));

        QTest::mouseClick(in<QToolButton*>(view, "done.m4a", "recordingPlayButton"), Qt::LeftButton);
        QCOMPARE(backend->players.last()->path, QDir(folder).filePath("done.m4a"));
        QVERIFY(!in<QToolButton*>(view, "queued.m4a", "recordingPlayButton")->isEnabled());

        const auto press = [&](const char* name) {
            QTest::mouseClick(view.transcriptionHelp()->findChild<QPushButton*>(name), Qt::LeftButton);
            QTRY_VERIFY(!view.transcriptionHelp());
        };
        QTest::mouseClick(in(view, "interrupted.m4a", "transcriptionHelpButton"), Qt::LeftButton);
        QTRY_VERIFY(view.transcriptionHelp() && view.transcriptionHelp()->isVisible());
        press("okButton");
        QVERIFY(!view.speechModels());
        view.showTranscriptionHelp();
        press("manageSpeechModelsButton");
        QTRY_VERIFY(view.speechModels() && view.speechModels()->isVisible());
    }
};

QTEST_MAIN(TestNotesRecordings)
#include "TestNotesRecordings.moc"
