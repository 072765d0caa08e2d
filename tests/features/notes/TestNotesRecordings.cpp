// The recordings of the current page in the notes area: their texts,
// playing, retrying, the transcription help and the speech model installer it opens.

#include "support/FakeAudioBackend.h"
#include "support/LoopbackHttpServer.h"
#include "support/ScriptedTranscriber.h"
#include "workspace/RecordingNotifications.h"

#include "features/notes/NotesView.h"
#include "features/settings/SpeechModelDialog.h"
#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"
#include "platform/speech/ModelManager.h"
#include "support/ScriptedChooser.h"
#include "support/TemporaryProfile.h"
#include "workspace/WorkspaceStore.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimeZone>
#include <QToolButton>
#include <QtEndian>
#include <QtTest>

#include <memory>

namespace {
// Looks like a multilingual whisper model to the installer's header check.
QByteArray modelBytes(qint32 vocabulary = 51865)
{
    QByteArray bytes(48, '\0');
    qToLittleEndian<quint32>(0x67676d6c, bytes.data());
    qToLittleEndian<qint32>(vocabulary, bytes.data() + 4);
    qToLittleEndian<qint32>(1, bytes.data() + 44);
    QRandomGenerator random(3);
    while (bytes.size() < 1024 * 1024) {
        const quint32 value = random.generate();
        bytes.append(reinterpret_cast<const char*>(&value), 4);
    }
    return bytes;
}

} // namespace

class TestNotesRecordings : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    std::unique_ptr<WorkspaceStore> m_store;
    std::shared_ptr<ScriptedChooser> m_chooser;
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
        m_chooser = std::make_shared<ScriptedChooser>();
        WorkspaceStore::Services services;
        services.notifications = new RecordingNotifications;
        services.audio = new RecordingStore(folder(), m_backend);
        services.speech = m_speech;
        services.folderChooser = m_chooser;
        m_store = std::make_unique<WorkspaceStore>(m_profile->preferences(), services);
    }

private:
    void addFile(const QString& name)
    {
        QVERIFY(!m_profile->writeFile("Recordings/" + name, "x").isEmpty());
        m_store->audio()->reload();
    }

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
    static QString text(QFrame* row, const char* name) { return row->findChild<QLabel*>(name)->text(); }

private slots:
    void cleanup()
    {
        m_store.reset();
        m_profile.reset();
    }

    void rowsPerState()
    {
        NotesView view(m_store.get());
        QVERIFY(!view.findChild<QWidget*>("recordingList")->isVisibleTo(&view));
        setRecordings();
        QVERIFY(view.findChild<QWidget*>("recordingList")->isVisibleTo(&view));
        const QStringList names { "queued.m4a", "running.m4a", "done.m4a", "failed.m4a", "interrupted.m4a" };
        QCOMPARE(rows(view).size(), names.size());
        for (qsizetype i = 0; i < names.size(); ++i) {
            QFrame* r = row(view, names.at(i));
            const bool failed = i >= 3;
            QCOMPARE(r->findChild<QPushButton*>("retryTranscriptionButton") != nullptr, failed);
            QCOMPARE(r->findChild<QPushButton*>("transcriptionHelpButton") != nullptr, failed);
        }
        QCOMPARE(text(row(view, "done.m4a"), "recordingTitle"), QString("录音 · 14:05"));
        // The error as stored, in place of the status text.
        QCOMPARE(
            text(row(view, "interrupted.m4a"), "recordingStatus"), QString("上次识别未完成，点击重试。"));
    }

    void rowsFollowThePage()
    {
        NotesView view(m_store.get());
        setRecordings();
        QFrame* before = row(view, "queued.m4a");

        // Typing does not rebuild the rows.
        m_store->setNote("几个字");
        QCOMPARE(row(view, "queued.m4a"), before);

        // Another page has no recordings.
        m_store->addPage();
        QVERIFY(rows(view).isEmpty());
        m_store->selectPage(m_store->pages().first().id);
        QCOMPARE(rows(view).size(), 5);
    }

    void retryQueuesTheRecordingAgain()
    {
        addFile("failed.m4a");
        NotesView view(m_store.get());
        setRecordings();
        QPushButton* retry = row(view, "failed.m4a")->findChild<QPushButton*>("retryTranscriptionButton");
        QTest::mouseClick(retry, Qt::LeftButton);
        // The queue takes it; the row follows the store.
        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(m_speech->requests.first().path, QDir(folder()).filePath("failed.m4a"));
        QVERIFY(!row(view, "failed.m4a")->findChild<QPushButton*>("retryTranscriptionButton"));
        m_speech->complete(QString("识别结果"));
        QTRY_COMPARE(text(row(view, "failed.m4a"), "recordingStatus"), QString("转写已加入笔记"));
        QVERIFY(m_store->note().contains("识别结果"));
        QTRY_VERIFY(!m_store->processingSpeech());
    }

    void playsThroughTheRecordingStore()
    {
        addFile("done.m4a");
        NotesView view(m_store.get());
        setRecordings();
        auto* play = row(view, "done.m4a")->findChild<QToolButton*>("recordingPlayButton");
        QTest::mouseClick(play, Qt::LeftButton);
        QCOMPARE(m_store->audio()->playingID(), QString("done.m4a"));
        QCOMPARE(m_backend->players.last()->path, QDir(folder()).filePath("done.m4a"));
        play = row(view, "done.m4a")->findChild<QToolButton*>("recordingPlayButton");
        QVERIFY(play->property("playing").toBool());
        QTest::mouseClick(play, Qt::LeftButton);
        QVERIFY(!m_store->audio()->playingID());
        QVERIFY(!play->property("playing").toBool());

        // A recording that is not on this device cannot be played.
        QVERIFY(!row(view, "queued.m4a")->findChild<QToolButton*>("recordingPlayButton")->isEnabled());
    }

    void transcriptionHelp()
    {
        NotesView view(m_store.get());
        view.show();
        setRecordings();
        QTest::mouseClick(
            row(view, "failed.m4a")->findChild<QPushButton*>("transcriptionHelpButton"), Qt::LeftButton);
        QMessageBox* help = view.transcriptionHelp();
        QVERIFY(help);
        QTRY_VERIFY(help->isVisible());

        // "好" closes it and nothing else opens.
        QTest::mouseClick(help->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QTRY_VERIFY(!view.transcriptionHelp());
        QVERIFY(!view.speechModels());

        // The other button opens the model installer.
        view.showTranscriptionHelp();
        QTest::mouseClick(
            view.transcriptionHelp()->findChild<QPushButton*>("manageSpeechModelsButton"), Qt::LeftButton);
        QTRY_VERIFY(!view.transcriptionHelp());
        QVERIFY(view.speechModels());
        QTRY_VERIFY(view.speechModels()->isVisible());
    }

    void speechModelDialogDownloadsAndInstalls()
    {
        m_profile->setLanguage("en");
        const QByteArray content = modelBytes();
        LoopbackHttpServer server(content);
        QVERIFY(server.listen());
        server.pieceSize = 16 * 1024;
        WhisperModel model;
        model.id = "test";
        model.fileName = "ggml-test.bin";
        model.url = server.url();
        model.approximateBytes = 149 * 1000 * 1000;
        model.checksum = QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
        ModelManager models({ m_profile->path("models"), { model }, nullptr });

        NotesView view(m_store.get(), nullptr, &models);
        view.show();
        view.showSpeechModels();
        SpeechModelDialog* dialog = view.speechModels();
        QVERIFY(dialog);
        auto* modelRow = dialog->findChild<QFrame*>("modelRow");
        auto* download = modelRow->findChild<QPushButton*>("downloadModelButton");
        auto* badge = modelRow->findChild<QLabel*>("modelInstalledBadge");
        auto* progress = dialog->findChild<QProgressBar*>("modelProgress");
        auto* cancel = dialog->findChild<QPushButton*>("cancelModelJobButton");
        auto* message = dialog->findChild<QLabel*>("modelMessageLabel");
        QCOMPARE(modelRow->findChild<QLabel*>("modelName")->text(),
            QString("Multilingual test model (about 149 MB)"));
        QVERIFY(!badge->isVisibleTo(dialog) && !progress->isVisibleTo(dialog));

        // Started, then cancelled midway: the bar goes away, nothing is installed.
        QTest::mouseClick(download, Qt::LeftButton);
        QVERIFY(progress->isVisibleTo(dialog) && cancel->isVisibleTo(dialog));
        QVERIFY(!download->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(progress->value() > 100, 30000);
        QTest::mouseClick(cancel, Qt::LeftButton);
        QCOMPARE(models.state(), ModelManager::State::idle);
        QVERIFY(!progress->isVisibleTo(dialog) && download->isEnabled());

        // Again, to the end: verified and installed, and the dialog says so.
        QTest::mouseClick(download, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!models.installationRequested(), 30000);
        QTRY_COMPARE(models.state(), ModelManager::State::idle);
        QVERIFY(
            badge->isVisibleTo(dialog) && !download->isVisibleTo(dialog) && !message->isVisibleTo(dialog));
        QCOMPARE(dialog->findChild<QLabel*>("installedModelLabel")->text(),
            QString("Current model: ggml-test.bin"));

        QTest::mouseClick(dialog->findChild<QPushButton*>("modelDialogDoneButton"), Qt::LeftButton);
        QTRY_VERIFY(!view.speechModels());
    }

    void speechModelDialogInstallsAFileFromDisk()
    {
        ModelManager models({ m_profile->path("models"), {}, nullptr });
        NotesView view(m_store.get(), nullptr, &models);
        view.show();
        view.showSpeechModels();
        SpeechModelDialog* dialog = view.speechModels();
        auto* choose = dialog->findChild<QPushButton*>("chooseModelFileButton");
        auto* message = dialog->findChild<QLabel*>("modelMessageLabel");

        // Nothing chosen: nothing happens.
        QTest::mouseClick(choose, Qt::LeftButton);
        QCOMPARE(m_chooser->titles.size(), 1);
        QVERIFY(!message->isVisibleTo(dialog));

        // Not a model: the manager's sentence is shown as the error line.
        m_chooser->files = { m_profile->writeFile("notes.txt", QByteArray(100, 'x')) };
        QTest::mouseClick(choose, Qt::LeftButton);
        QVERIFY(message->isVisibleTo(dialog));
        QCOMPARE(message->text(), QString("所选文件不是多语言 whisper 模型（ggml 格式）。"));

        // A model file: copied in and shown as installed; the error line goes.
        m_chooser->files = { m_profile->writeFile("ggml-mine.bin", modelBytes()) };
        QTest::mouseClick(choose, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!models.installationRequested(), 30000);
        QTRY_COMPARE(models.state(), ModelManager::State::idle);
        QVERIFY(!message->isVisibleTo(dialog));
        QCOMPARE(
            dialog->findChild<QLabel*>("installedModelLabel")->text(), QString("当前模型：ggml-mine.bin"));
    }
};

QTEST_MAIN(TestNotesRecordings)
#include "TestNotesRecordings.moc"
