// The recordings of the current page in the notes area: their texts in both languages,
// playing, retrying, the transcription help and the speech model installer it opens.

#include "support/FakeAudioBackend.h"
#include "platform/speech/LoopbackHttpServer.h"
#include "workspace/RecordingNotifications.h"
#include "support/ScriptedTranscriber.h"

#include "features/notes/NotesView.h"
#include "features/settings/SpeechModelDialog.h"
#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"
#include "platform/speech/ModelManager.h"
#include "platform/storage/FolderChooser.h"
#include "workspace/WorkspaceStore.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QToolButton>
#include <QtEndian>
#include <QtTest>

#include <memory>

namespace {
class ScriptedChooser : public FolderChooser {
public:
    std::optional<QString> file;
    QStringList titles;
    std::optional<QString> chooseFolder(const QString&) override { return std::nullopt; }
    std::optional<QString> chooseFile(const QString& title, const QString&) override
    {
        titles << title;
        return file;
    }
};

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

const QString helpZh = QStringLiteral(
    "音频已保留。语音识别只在本机进行。中文和其他语言需要 Whisper 语音模型：下载一次，或从磁盘选择已有的模型文件；"
    "没有模型时，只能用内置引擎识别英语。安装模型后再点击重试。");
const QString helpEn = QStringLiteral(
    "Your audio has been kept. Speech recognition runs only on this device. Chinese and other languages need a "
    "Whisper speech model, downloaded once or chosen from a file on disk; without one, only English can be "
    "recognized, with the built-in engine. Install a model, then click Retry.");
} // namespace

class TestNotesRecordings : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Preferences> m_prefs;
    std::unique_ptr<WorkspaceStore> m_store;
    std::shared_ptr<ScriptedChooser> m_chooser;
    FakeAudioBackend* m_backend = nullptr;
    ScriptedTranscriber* m_speech = nullptr;
    QDateTime m_at = QDateTime(QDate(2026, 3, 1), QTime(14, 5), QTimeZone::utc());

    QString folder() const { return m_dir->filePath("Recordings"); }

    void makeStore()
    {
        m_backend = new FakeAudioBackend;
        m_speech = new ScriptedTranscriber;
        m_chooser = std::make_shared<ScriptedChooser>();
        WorkspaceStore::Services services;
        services.notifications = new RecordingNotifications;
        services.audio = new RecordingStore(folder(), m_backend);
        services.speech = m_speech;
        services.folderChooser = m_chooser;
        m_store = std::make_unique<WorkspaceStore>(m_prefs.get(), services);
    }

    void addFile(const QString& name)
    {
        QDir().mkpath(folder());
        QFile file(QDir(folder()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
        file.close();
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
            { "interrupted.m4a", m_at.addSecs(3600), TranscriptionStatus::failed, QString("上次识别未完成，点击重试。") },
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

    // Pictures for a person to look at, when TEST_OUTPUT_DIR names a folder.
    static void saveShot(QWidget* widget, const QString& name)
    {
        const QString folder = qEnvironmentVariable("TEST_OUTPUT_DIR");
        if (folder.isEmpty())
            return;
        QDir().mkpath(folder);
        widget->grab().save(QDir(folder).filePath(name + ".png"));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_prefs = std::make_unique<Preferences>(m_dir->filePath("prefs.sqlite"));
        Preferences::setStandard(m_prefs.get());
        m_prefs->setString("interfaceLanguage", "zh-Hans");
        makeStore();
    }

    void cleanup()
    {
        m_store.reset();
        Preferences::setStandard(nullptr);
        m_prefs.reset();
        m_dir.reset();
    }

    void rowTexts_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QString>("retry");
        QTest::addColumn<QString>("help");
        QTest::newRow("Chinese") << "zh-Hans" << "录音 · 14:05"
                                 << QStringList { "等待转写", "正在转写…", "转写已加入笔记", "转写失败，音频已保留",
                                                  "上次识别未完成，点击重试。" }
                                 << "重试" << "帮助";
        QTest::newRow("English") << "en" << "Recording · 2:05 PM"
                                 << QStringList { "Waiting to Transcribe", "Transcribing…",
                                                  "Transcription Added to Note", "Transcription Failed. Audio Kept.",
                                                  "上次识别未完成，点击重试。" }
                                 << "Retry" << "Help";
    }
    void rowTexts()
    {
        QFETCH(QString, language);
        QFETCH(QString, title);
        QFETCH(QStringList, statuses);
        QFETCH(QString, retry);
        QFETCH(QString, help);
        m_prefs->setString("interfaceLanguage", language);
        NotesView view(m_store.get());
        view.resize(360, 640);
        QVERIFY(rows(view).isEmpty());
        QVERIFY(!view.findChild<QWidget*>("recordingList")->isVisibleTo(&view));
        setRecordings();
        QVERIFY(view.findChild<QWidget*>("recordingList")->isVisibleTo(&view));

        const QStringList names { "queued.m4a", "running.m4a", "done.m4a", "failed.m4a", "interrupted.m4a" };
        QCOMPARE(rows(view).size(), names.size());
        for (qsizetype i = 0; i < names.size(); ++i) {
            QFrame* r = row(view, names.at(i));
            QVERIFY(r);
            if (i < 4)
                QCOMPARE(text(r, "recordingTitle"), title);
            // The error as stored, in place of the status text.
            QCOMPARE(text(r, "recordingStatus"), statuses.at(i));
            const bool failed = i >= 3;
            QCOMPARE(r->findChild<QPushButton*>("retryTranscriptionButton") != nullptr, failed);
            QCOMPARE(r->findChild<QPushButton*>("transcriptionHelpButton") != nullptr, failed);
            if (failed) {
                QCOMPARE(r->findChild<QPushButton*>("retryTranscriptionButton")->text(), retry);
                QCOMPARE(r->findChild<QPushButton*>("transcriptionHelpButton")->text(), help);
            }
            auto* play = r->findChild<QToolButton*>("recordingPlayButton");
            QVERIFY(!play->toolTip().isEmpty());
            QCOMPARE(play->accessibleName(), play->toolTip());
        }
        saveShot(&view, "notes-recordings-" + language);
    }

    void rowsRetranslateAndFollowThePage()
    {
        NotesView view(m_store.get());
        setRecordings();
        QCOMPARE(text(row(view, "queued.m4a"), "recordingStatus"), QString("等待转写"));
        QFrame* before = row(view, "queued.m4a");

        // Typing does not rebuild the rows.
        m_store->setNote("几个字");
        QCOMPARE(row(view, "queued.m4a"), before);

        m_prefs->setString("interfaceLanguage", "en");
        view.retranslate();
        QCOMPARE(text(row(view, "queued.m4a"), "recordingStatus"), QString("Waiting to Transcribe"));
        QCOMPARE(text(row(view, "queued.m4a"), "recordingTitle"), QString("Recording · 2:05 PM"));
        QCOMPARE(row(view, "failed.m4a")->findChild<QPushButton*>("retryTranscriptionButton")->text(),
                 QString("Retry"));
        QCOMPARE(row(view, "queued.m4a")->findChild<QToolButton*>("recordingPlayButton")->toolTip(),
                 QString("Play Recording"));

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
        QFrame* r = row(view, "failed.m4a");
        QCOMPARE(text(r, "recordingStatus"), QString("正在转写…"));
        QVERIFY(!r->findChild<QPushButton*>("retryTranscriptionButton"));
        QVERIFY(!r->findChild<QPushButton*>("transcriptionHelpButton"));

        // The queue took the page's earlier queued recording first; its file is not here.
        QCOMPARE(text(row(view, "queued.m4a"), "recordingStatus"), QString("本机音频文件不存在。"));
        QVERIFY(row(view, "queued.m4a")->findChild<QPushButton*>("retryTranscriptionButton"));

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
        QVERIFY(play->isEnabled());
        QCOMPARE(play->toolTip(), QString("播放录音"));
        QTest::mouseClick(play, Qt::LeftButton);
        QCOMPARE(m_store->audio()->playingID(), QString("done.m4a"));
        QCOMPARE(m_backend->players.last()->path, QDir(folder()).filePath("done.m4a"));
        play = row(view, "done.m4a")->findChild<QToolButton*>("recordingPlayButton");
        QVERIFY(play->property("playing").toBool());
        QCOMPARE(play->toolTip(), QString("停止回放"));
        QTest::mouseClick(play, Qt::LeftButton);
        QVERIFY(!m_store->audio()->playingID());
        QVERIFY(!play->property("playing").toBool());

        // A recording that is not on this device cannot be played.
        QVERIFY(!row(view, "queued.m4a")->findChild<QToolButton*>("recordingPlayButton")->isEnabled());
    }

    void transcriptionHelp_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("manage");
        QTest::addColumn<QString>("ok");
        QTest::newRow("Chinese") << "zh-Hans" << "语音识别帮助" << helpZh << "管理语音模型…" << "好";
        QTest::newRow("English") << "en" << "Transcription Help" << helpEn << "Manage Speech Models…" << "OK";
    }
    void transcriptionHelp()
    {
        QFETCH(QString, language);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QString, manage);
        QFETCH(QString, ok);
        m_prefs->setString("interfaceLanguage", language);
        NotesView view(m_store.get());
        view.show();
        setRecordings();
        QTest::mouseClick(row(view, "failed.m4a")->findChild<QPushButton*>("transcriptionHelpButton"), Qt::LeftButton);
        QMessageBox* help = view.transcriptionHelp();
        QVERIFY(help);
        QTRY_VERIFY(help->isVisible());
        QCOMPARE(help->windowTitle(), title);
        QCOMPARE(help->informativeText(), message);
        QCOMPARE(help->findChild<QPushButton*>("manageSpeechModelsButton")->text(), manage);
        QCOMPARE(help->findChild<QPushButton*>("okButton")->text(), ok);
        saveShot(help, "transcription-help-" + language);

        // "好" closes it and nothing else opens.
        QTest::mouseClick(help->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QTRY_VERIFY(!view.transcriptionHelp());
        QVERIFY(!view.speechModels());

        // The other button opens the model installer.
        view.showTranscriptionHelp();
        QTest::mouseClick(view.transcriptionHelp()->findChild<QPushButton*>("manageSpeechModelsButton"),
                          Qt::LeftButton);
        QTRY_VERIFY(!view.transcriptionHelp());
        QVERIFY(view.speechModels());
        QTRY_VERIFY(view.speechModels()->isVisible());
    }

    void speechModelDialogDownloadsAndInstalls()
    {
        m_prefs->setString("interfaceLanguage", "en");
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
        ModelManager models({ m_dir->filePath("models"), { model }, nullptr });

        NotesView view(m_store.get(), nullptr, &models);
        view.show();
        view.showSpeechModels();
        SpeechModelDialog* dialog = view.speechModels();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QString("Speech Recognition Models"));
        auto* status = dialog->findChild<QLabel*>("modelStatusLabel");
        auto* modelRow = dialog->findChild<QFrame*>("modelRow");
        auto* download = modelRow->findChild<QPushButton*>("downloadModelButton");
        auto* badge = modelRow->findChild<QLabel*>("modelInstalledBadge");
        auto* progress = dialog->findChild<QProgressBar*>("modelProgress");
        auto* cancel = dialog->findChild<QPushButton*>("cancelModelJobButton");
        auto* message = dialog->findChild<QLabel*>("modelMessageLabel");
        QCOMPARE(modelRow->findChild<QLabel*>("modelName")->text(), QString("Multilingual test model (about 149 MB)"));
        QCOMPARE(status->text(), QString("No speech recognition model installed"));
        QCOMPARE(download->text(), QString("Download"));
        QVERIFY(!badge->isVisibleTo(dialog));
        QVERIFY(!progress->isVisibleTo(dialog));
        QVERIFY(!message->isVisibleTo(dialog));

        // Started, then cancelled midway: the bar goes away, nothing is installed.
        QTest::mouseClick(download, Qt::LeftButton);
        QCOMPARE(status->text(), QString("Downloading the speech recognition model…"));
        QVERIFY(progress->isVisibleTo(dialog) && cancel->isVisibleTo(dialog));
        QVERIFY(!download->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(progress->value() > 100, 30000);
        saveShot(dialog, "speech-models-downloading");
        QTest::mouseClick(cancel, Qt::LeftButton);
        QCOMPARE(models.state(), ModelManager::State::idle);
        QVERIFY(!progress->isVisibleTo(dialog));
        QVERIFY(download->isEnabled());
        QVERIFY(models.installationRequested());

        // Again, to the end: verified and installed, and the dialog says so.
        QTest::mouseClick(download, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!models.installationRequested(), 30000);
        QTRY_COMPARE(models.state(), ModelManager::State::idle);
        QCOMPARE(status->text(), QString("Speech recognition model installed"));
        QVERIFY(badge->isVisibleTo(dialog));
        QCOMPARE(badge->text(), QString("Installed"));
        QVERIFY(!download->isVisibleTo(dialog));
        QCOMPARE(dialog->findChild<QLabel*>("installedModelLabel")->text(), QString("Current model: ggml-test.bin"));
        QVERIFY(!message->isVisibleTo(dialog));
        saveShot(dialog, "speech-models-installed");

        QTest::mouseClick(dialog->findChild<QPushButton*>("modelDialogDoneButton"), Qt::LeftButton);
        QTRY_VERIFY(!view.speechModels());
    }

    void speechModelDialogInstallsAFileFromDisk()
    {
        ModelManager models({ m_dir->filePath("models"), {}, nullptr });
        NotesView view(m_store.get(), nullptr, &models);
        view.show();
        view.showSpeechModels();
        SpeechModelDialog* dialog = view.speechModels();
        auto* choose = dialog->findChild<QPushButton*>("chooseModelFileButton");
        auto* message = dialog->findChild<QLabel*>("modelMessageLabel");
        QCOMPARE(choose->text(), QString("从磁盘选择模型文件…"));

        // Nothing chosen: nothing happens.
        QTest::mouseClick(choose, Qt::LeftButton);
        QCOMPARE(m_chooser->titles, QStringList { "选择语音识别模型文件" });
        QVERIFY(!message->isVisibleTo(dialog));

        // Not a model: the manager's sentence is shown as the error line.
        const QString notAModel = m_dir->filePath("notes.txt");
        QFile text(notAModel);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write(QByteArray(100, 'x'));
        text.close();
        m_chooser->file = notAModel;
        QTest::mouseClick(choose, Qt::LeftButton);
        QVERIFY(message->isVisibleTo(dialog));
        QCOMPARE(message->text(), QString("所选文件不是多语言 whisper 模型（ggml 格式）。"));

        // A model file: copied in and shown as installed; the error line goes.
        const QString path = m_dir->filePath("ggml-mine.bin");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(modelBytes());
        file.close();
        m_chooser->file = path;
        QTest::mouseClick(choose, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!models.installationRequested(), 30000);
        QTRY_COMPARE(models.state(), ModelManager::State::idle);
        QVERIFY(!message->isVisibleTo(dialog));
        QCOMPARE(dialog->findChild<QLabel*>("modelStatusLabel")->text(), QString("语音识别模型已安装"));
        QCOMPARE(dialog->findChild<QLabel*>("installedModelLabel")->text(), QString("当前模型：ggml-mine.bin"));

        // Retranslated with the view.
        m_prefs->setString("interfaceLanguage", "en");
        view.retranslate();
        QCOMPARE(dialog->findChild<QLabel*>("modelStatusLabel")->text(), QString("Speech recognition model installed"));
        QCOMPARE(choose->text(), QString("Choose a Model File on Disk…"));
    }
};

QTEST_MAIN(TestNotesRecordings)
#include "TestNotesRecordings.moc"
