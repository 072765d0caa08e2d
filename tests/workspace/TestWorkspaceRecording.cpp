// Finished recordings reaching the notes, and the page-choosing rule behind it. Runs with
// TZ=UTC so that the times written into notes are known.

#include "RecordingNotifications.h"

#include "core/WorkspaceJson.h"
#include "platform/audio/FakeAudioBackend.h"
#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"
#include "platform/storage/FolderChooser.h"
#include "workspace/WorkspaceStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <memory>

namespace {
class FixedChooser : public FolderChooser {
public:
    explicit FixedChooser(QString folder)
        : m_folder(std::move(folder))
    {
    }
    std::optional<QString> chooseFolder(const QString&) override { return m_folder; }
    std::optional<QString> chooseFile(const QString&, const QString&) override { return std::nullopt; }

private:
    QString m_folder;
};
} // namespace

class TestWorkspaceRecording : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Preferences> m_prefs;
    FakeAudioBackend* m_backend = nullptr;
    QDateTime m_now = QDateTime(QDate(2026, 3, 1), QTime(9, 30, 15), QTimeZone::utc());

    std::unique_ptr<WorkspaceStore> makeStore()
    {
        m_backend = new FakeAudioBackend;
        WorkspaceStore::Services services;
        services.notifications = new RecordingNotifications;
        services.audio = new RecordingStore(m_dir->filePath("Recordings"), m_backend, [this] { return m_now; });
        return std::make_unique<WorkspaceStore>(m_prefs.get(), services);
    }

    AudioRecording recording(const QString& name) const
    {
        return { m_dir->filePath("Recordings/" + name), m_now };
    }

    QList<NotePage> storedPages() const { return WorkspaceJson::decodePages(*m_prefs->data("notePages")).value(); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_prefs = std::make_unique<Preferences>(m_dir->filePath("prefs.sqlite"));
        Preferences::setStandard(m_prefs.get());
        m_prefs->setString("interfaceLanguage", "zh-Hans");
    }

    void cleanup()
    {
        Preferences::setStandard(nullptr);
        m_prefs.reset();
        m_dir.reset();
    }

    void captureNoteTarget()
    {
        auto store = makeStore();
        const QUuid current = store->currentPage()->id;
        QCOMPARE(store->captureNoteTarget(NoteDestination::currentNote), NoteInsertionTarget::existing(current));
        QCOMPARE(store->captureNoteTarget(NoteDestination::newNote), NoteInsertionTarget::newNote());
    }

    void resolveNoteTarget()
    {
        auto store = makeStore();
        store->addPage();
        const QList<NotePage> before = store->pages();
        const QUuid first = before.first().id;

        // A page that still exists is used as it is.
        QCOMPARE(store->resolveNoteTarget(NoteInsertionTarget::existing(first), "unused"), first);
        QCOMPARE(store->pages(), before);

        // A page deleted meanwhile, or no page at all: a new page, appended and selected.
        const NoteInsertionTarget stale = NoteInsertionTarget::existing(QUuid::createUuid());
        const QUuid created = store->resolveNoteTarget(stale, "替代页");
        QCOMPARE(store->pages().size(), 3);
        const NotePage page = store->pages().last();
        QCOMPARE(page.id, created);
        QCOMPARE(page.title, QString("替代页"));
        QCOMPARE(page.color, NoteColors::allCases().at(2));
        QVERIFY(page.content.isEmpty() && page.attachments.isEmpty() && page.files.isEmpty());
        QCOMPARE(store->selectedPageID(), created);

        const QUuid another = store->resolveNoteTarget(NoteInsertionTarget::newNote(), "新页");
        QCOMPARE(store->pages().last().color, NoteColors::allCases().at(3));
        QCOMPARE(store->selectedPageID(), another);
    }

    void attachToCurrentNote_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("section");
        QTest::newRow("Chinese") << "zh-Hans" << "\n\n## 录音 09:30\n\n![[录音-1-ABCD1234.m4a]]\n";
        QTest::newRow("English") << "en" << "\n\n## Recording 9:30 AM\n\n![[录音-1-ABCD1234.m4a]]\n";
    }
    void attachToCurrentNote()
    {
        QFETCH(QString, language);
        QFETCH(QString, section);
        m_prefs->setString("interfaceLanguage", language);
        auto store = makeStore();
        store->addPage();
        store->setNote("已有内容");
        const QUuid current = store->currentPage()->id;
        const int pageCount = int(store->pages().size());

        store->attach(recording("录音-1-ABCD1234.m4a"));
        QCOMPARE(store->pages().size(), pageCount);
        QCOMPARE(store->selectedPageID(), current);
        const NotePage page = *store->currentPage();
        QCOMPARE(page.content, "已有内容" + section);
        QCOMPARE(page.attachments.size(), 1);
        const NoteAudio audio = page.attachments.first();
        QCOMPARE(audio.filename, QString("录音-1-ABCD1234.m4a"));
        QCOMPARE(audio.createdAt, m_now);
        QCOMPARE(audio.status, TranscriptionStatus::queued);
        QVERIFY(!audio.error);
        // Written at once.
        QCOMPARE(storedPages().last(), page);
    }

    void attachToNewNote_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("title");
        QTest::newRow("Chinese") << "zh-Hans" << "录音 2026年3月1日 09:30";
        QTest::newRow("English") << "en" << "Recording Mar 1, 2026, 9:30 AM";
    }
    void attachToNewNote()
    {
        QFETCH(QString, language);
        QFETCH(QString, title);
        m_prefs->setString("interfaceLanguage", language);
        auto store = makeStore();
        store->setRecordingNoteDestination(NoteDestination::newNote);
        const QList<NotePage> before = store->pages();

        store->attach(recording("a.m4a"));
        store->attach(recording("b.m4a"));
        QCOMPARE(store->pages().size(), before.size() + 2);
        QCOMPARE(store->pages().first(), before.first());
        for (qsizetype i = 1; i <= 2; ++i) {
            const NotePage page = store->pages().at(i);
            QCOMPARE(page.title, title);
            QCOMPARE(page.color, NoteColors::allCases().at(i));
            QCOMPARE(page.attachments.size(), 1);
            QVERIFY(page.content.startsWith("\n\n## "));
        }
        QCOMPARE(store->selectedPageID(), store->pages().last().id);
        QVERIFY(store->currentPage()->content.endsWith("![[b.m4a]]\n"));
    }

    void recordingsInQuickSuccessionStayInOrder()
    {
        auto store = makeStore();
        store->attach(recording("first.m4a"));
        store->attach(recording("second.m4a"));
        const NotePage page = *store->currentPage();
        QCOMPARE(page.attachments.size(), 2);
        QCOMPARE(page.attachments.at(0).filename, QString("first.m4a"));
        QCOMPARE(page.attachments.at(1).filename, QString("second.m4a"));
        QCOMPARE(page.content, QString("\n\n## 录音 09:30\n\n![[first.m4a]]\n\n\n## 录音 09:30\n\n![[second.m4a]]\n"));
        for (const NoteAudio& audio : page.attachments)
            QCOMPARE(audio.status, TranscriptionStatus::queued);
    }

    void finishedRecordingReachesTheNote()
    {
        auto store = makeStore();
        RecordingStore* audio = store->audio();
        audio->start();
        QTRY_VERIFY(audio->isRecording());
        m_backend->recorders.last()->time = 2;
        const QString name = QFileInfo(m_backend->recorders.last()->path()).fileName();
        audio->stop(true);
        const NotePage page = *store->currentPage();
        QCOMPARE(page.attachments.size(), 1);
        QCOMPARE(page.attachments.first().filename, name);
        QVERIFY(page.content.endsWith("![[" + name + "]]\n"));
        // The store is gone before the recorder is: nothing is attached and nothing breaks.
        auto* orphan = store->audio();
        orphan->setParent(nullptr);
        store.reset();
        orphan->start();
        QTRY_VERIFY(orphan->isRecording());
        orphan->stop(true);
        delete orphan;
    }

    void exportRecordingReports_data()
    {
        QTest::addColumn<bool>("withVault");
        QTest::addColumn<QString>("message");
        QTest::newRow("no vault") << false << "请先在设置中选择 Obsidian 仓库。";
        QTest::newRow("vault") << true << "录音导出失败，本机音频仍保留：此版本尚不能把录音保存到 Obsidian。";
    }
    void exportRecordingReports()
    {
        QFETCH(bool, withVault);
        QFETCH(QString, message);
        if (withVault) {
            const QString vault = m_dir->filePath("Vault");
            QDir().mkpath(vault);
            auto chooser = std::make_shared<FixedChooser>(vault);
            m_backend = new FakeAudioBackend;
            WorkspaceStore::Services services;
            services.notifications = new RecordingNotifications;
            services.audio = new RecordingStore(m_dir->filePath("Recordings"), m_backend);
            services.folderChooser = chooser;
            WorkspaceStore store(m_prefs.get(), services);
            store.selectVault();
            QVERIFY(store.vaultURL());
            store.exportRecording(recording("a.m4a"));
            QCOMPARE(store.message(), message);
            QVERIFY(!QFileInfo::exists(vault + "/Sidebar"));
            return;
        }
        auto store = makeStore();
        store->exportRecording(recording("a.m4a"));
        QCOMPARE(store->message(), message);
    }
};

QTEST_GUILESS_MAIN(TestWorkspaceRecording)
#include "TestWorkspaceRecording.moc"
