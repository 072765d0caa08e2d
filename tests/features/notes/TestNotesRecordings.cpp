// The recordings of the current page in the notes area: their texts,
// playing, retrying and the transcription help.

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

#include <QCryptographicHash>
#include <QLabel>
#include <QPushButton>
#include <QTimeZone>
#include <QToolButton>
#include <QtTest>

class TestNotesRecordings : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    std::unique_ptr<WorkspaceStore> m_store;
    FakeAudioBackend* m_backend = nullptr;
    ScriptedTranscriber* m_speech = nullptr;
    QDateTime m_at = QDateTime(QDate(2026, 3, 1), QTime(14, 5), QTimeZone::utc());

    QString folder() const { return m_profile->path("Recordings"); }

private slots:
    void init()
    {
        m_profile = std::make_unique<TemporaryProfile>();
        m_backend = new FakeAudioBackend;
        m_speech = new ScriptedTranscriber;
        WorkspaceStore::Services services;
        services.notifications = new RecordingNotifications;
        services.audio = new RecordingStore(folder(), m_backend);
        services.speech = m_speech;
        services.folderChooser = std::make_shared<ScriptedChooser>();
        m_store = std::make_unique<WorkspaceStore>(m_profile->preferences(), services);
    }

    void cleanup()
    {
        m_store.reset();
        m_profile.reset();
    }

private:
    // The current page with one recording in each state.
    void setRecordings()
    {
        QList<NotePage> pages = m_store->pages();
        pages[0].attachments = {
            { "queued.m4a", m_at, TranscriptionStatus::queued, std::nullopt },
            { "running.m4a", m_at, TranscriptionStatus::transcribing, std::nullopt },
            { "done.m4a", m_at, TranscriptionStatus::completed, std::nullopt },
            { "failed.m4a", m_at, TranscriptionStatus::failed, std::nullopt },
            { "interrupted.m4a", m_at.addSecs(3600), TranscriptionStatus::failed,
                QString("上次识别未完成，点击重试。") },
        };
        m_store->setPages(pages);
    }

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
    // One row per recording of the current page, with retry and help only where it failed;
    // typing keeps the rows, another page has its own. Retry queues the recording again and
    // the row follows the store (what the queue does with it is the store's); play goes
    // through the recording store, and a recording not on this device cannot be played.
    void rowsFollowThePageRetryAndPlay()
    {
        for (const char* name : { "failed.m4a", "done.m4a" })
            QVERIFY(!m_profile->writeFile(QString("Recordings/") + name, "x").isEmpty());
        m_store->audio()->reload();
        NotesView view(m_store.get());
        QVERIFY(!view.findChild<QWidget*>("recordingList")->isVisibleTo(&view));
        setRecordings();
        QVERIFY(view.findChild<QWidget*>("recordingList")->isVisibleTo(&view));
        const QStringList names { "queued.m4a", "running.m4a", "done.m4a", "failed.m4a", "interrupted.m4a" };
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
        m_store->setNote("几个字");
        QCOMPARE(row(view, "queued.m4a"), before);
        m_store->addPage();
        QVERIFY(rows(view).isEmpty());
        m_store->selectPage(m_store->pages().first().id);
        QCOMPARE(rows(view).size(), 5);

        QTest::mouseClick(in(view, "failed.m4a", "retryTranscriptionButton"), Qt::LeftButton);
        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(m_speech->requests.first().path, QDir(folder()).filePath("failed.m4a"));
        QVERIFY(!in(view, "failed.m4a", "retryTranscriptionButton"));

        QTest::mouseClick(in<QToolButton*>(view, "done.m4a", "recordingPlayButton"), Qt::LeftButton);
        QCOMPARE(m_backend->players.last()->path, QDir(folder()).filePath("done.m4a"));
        QVERIFY(!in<QToolButton*>(view, "queued.m4a", "recordingPlayButton")->isEnabled());
    }

    // "好" closes the help and nothing else opens; the other button opens the model installer.
    void transcriptionHelpOpensTheModelInstaller()
    {
        ModelManager models({ m_profile->path("models"), { { "test", "ggml-test.bin", 1, {}, "00", false } }, nullptr,
            { { "test", QUrl("http://127.0.0.1:9/") } } });
        NotesView view(m_store.get(), nullptr, &models);
        view.show();
        setRecordings();
        const auto press = [&](const char* name) {
            QTest::mouseClick(view.transcriptionHelp()->findChild<QPushButton*>(name), Qt::LeftButton);
            QTRY_VERIFY(!view.transcriptionHelp());
        };
        QTest::mouseClick(in(view, "failed.m4a", "transcriptionHelpButton"), Qt::LeftButton);
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
