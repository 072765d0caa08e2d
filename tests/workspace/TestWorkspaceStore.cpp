#include "RecordingNotifications.h"

#include "core/WorkspaceJson.h"
#include "platform/preferences/Preferences.h"
#include "platform/storage/FolderBookmark.h"
#include "platform/storage/FolderChooser.h"
#include "workspace/WorkspaceStore.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
class ScriptedChooser : public FolderChooser {
public:
    std::optional<QString> folder;
    std::optional<QString> chooseFolder(const QString&) override { return folder; }
    std::optional<QString> chooseFile(const QString&, const QString&) override { return std::nullopt; }
};
} // namespace

class TestWorkspaceStore : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_prefs;
    RecordingNotifications* m_notifications = nullptr;
    int m_databaseNumber = 0;

    // A fresh preferences database, installed as the standard one (the interface
    // language is read from there).
    Preferences& freshPreferences(const QString& language = QStringLiteral("zh-Hans"))
    {
        Preferences::setStandard(nullptr);
        m_prefs = std::make_unique<Preferences>(m_dir.filePath(QString("prefs-%1.sqlite").arg(++m_databaseNumber)));
        Preferences::setStandard(m_prefs.get());
        m_prefs->setString("interfaceLanguage", language);
        return *m_prefs;
    }

    std::unique_ptr<WorkspaceStore> makeStore(std::shared_ptr<FolderChooser> chooser = {})
    {
        m_notifications = new RecordingNotifications;
        WorkspaceStore::Services services;
        services.notifications = m_notifications;
        services.folderChooser = std::move(chooser);
        return std::make_unique<WorkspaceStore>(m_prefs.get(), services);
    }

    QList<NotePage> storedPages() const { return WorkspaceJson::decodePages(*m_prefs->data("notePages")).value(); }
    QList<TaskItem> storedTasks() const { return WorkspaceJson::decodeTasks(*m_prefs->data("tasks")).value(); }

    static QList<NotePage> pagesTitled(const QStringList& titles)
    {
        QList<NotePage> pages;
        for (const QString& title : titles) {
            NotePage page;
            page.title = title;
            pages.append(page);
        }
        return pages;
    }

private slots:
    void cleanup()
    {
        Preferences::setStandard(nullptr);
        m_prefs.reset();
    }

    void firstLaunch_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("title");
        QTest::newRow("chinese") << "zh-Hans" << "随手记";
        QTest::newRow("english") << "en" << "Quick Note";
    }
    void firstLaunch()
    {
        QFETCH(QString, language);
        QFETCH(QString, title);
        Preferences& prefs = freshPreferences(language);
        auto store = makeStore();

        QCOMPARE(store->pages().size(), 1);
        const NotePage page = store->pages().first();
        QCOMPARE(page.title, title);
        QCOMPARE(page.color, NoteColor::blue);
        QVERIFY(page.content.isEmpty());
        QCOMPARE(store->selectedPageID(), page.id);
        QCOMPARE(prefs.string("selectedPageID"), Uuid::text(page.id));
        QCOMPARE(storedPages(), store->pages());
        QCOMPARE(prefs.data("tasks"), QByteArray("[]"));
        QCOMPARE(store->recordingNoteDestination(), NoteDestination::currentNote);
        QCOMPARE(store->fileDropNoteDestination(), NoteDestination::newNote);
        QVERIFY(!prefs.contains("recordingNoteDestination"));
        QVERIFY(!prefs.contains("fileDropNoteDestination"));
        QVERIFY(!store->message());
        QVERIFY(!store->vaultURL());
    }

    void oldNoteAndEmptyPages_data()
    {
        QTest::addColumn<bool>("emptyPageArray");
        QTest::newRow("only note") << false;
        QTest::newRow("empty notePages array") << true;
    }
    void oldNoteAndEmptyPages()
    {
        QFETCH(bool, emptyPageArray);
        Preferences& prefs = freshPreferences();
        prefs.setString("note", "# Old\n- item");
        if (emptyPageArray)
            prefs.setData("notePages", "[]");
        auto store = makeStore();
        QCOMPARE(store->pages().size(), 1);
        QCOMPARE(store->pages().first().content, QString("# Old\n- item"));
        QCOMPARE(store->note(), QString("# Old\n- item"));
        QCOMPARE(prefs.string("note"), QString("# Old\n- item"));
        QVERIFY(!store->message());
    }

    void destinations_data()
    {
        QTest::addColumn<QVariant>("recording");
        QTest::addColumn<QVariant>("fileDrop");
        QTest::addColumn<NoteDestination>("expectedRecording");
        QTest::addColumn<NoteDestination>("expectedFileDrop");
        QTest::newRow("missing") << QVariant() << QVariant() << NoteDestination::currentNote << NoteDestination::newNote;
        QTest::newRow("exact") << QVariant("newNote") << QVariant("currentNote") << NoteDestination::newNote
                               << NoteDestination::currentNote;
        QTest::newRow("letter case") << QVariant("NewNote") << QVariant("CurrentNote") << NoteDestination::currentNote
                                     << NoteDestination::newNote;
        QTest::newRow("garbage") << QVariant("elsewhere") << QVariant("") << NoteDestination::currentNote
                                 << NoteDestination::newNote;
        QTest::newRow("wrong kind") << QVariant(true) << QVariant(true) << NoteDestination::currentNote
                                    << NoteDestination::newNote;
    }
    void destinations()
    {
        QFETCH(QVariant, recording);
        QFETCH(QVariant, fileDrop);
        QFETCH(NoteDestination, expectedRecording);
        QFETCH(NoteDestination, expectedFileDrop);
        Preferences& prefs = freshPreferences();
        const auto put = [&](const QString& key, const QVariant& value) {
            if (value.typeId() == QMetaType::Bool)
                prefs.setBool(key, value.toBool());
            else if (value.isValid())
                prefs.setString(key, value.toString());
        };
        put("recordingNoteDestination", recording);
        put("fileDropNoteDestination", fileDrop);
        auto store = makeStore();
        QCOMPARE(store->recordingNoteDestination(), expectedRecording);
        QCOMPARE(store->fileDropNoteDestination(), expectedFileDrop);

        QSignalSpy spy(store.get(), &WorkspaceStore::fileDropNoteDestinationChanged);
        store->setFileDropNoteDestination(NoteDestination::currentNote);
        store->setRecordingNoteDestination(NoteDestination::newNote);
        QCOMPARE(prefs.string("fileDropNoteDestination"), QString("currentNote"));
        QCOMPARE(prefs.string("recordingNoteDestination"), QString("newNote"));
        QCOMPARE(spy.count(), expectedFileDrop == NoteDestination::currentNote ? 0 : 1);
    }

    void interruptedTranscriptionsFail()
    {
        Preferences& prefs = freshPreferences("en");
        NotePage page = pagesTitled({ "Voice" }).first();
        const QDateTime created = QDateTime::fromSecsSinceEpoch(1'780'000'000, QTimeZone::utc());
        page.attachments = {
            { "a.m4a", created, TranscriptionStatus::transcribing, std::nullopt },
            { "b.m4a", created, TranscriptionStatus::queued, std::nullopt },
            { "c.m4a", created, TranscriptionStatus::completed, std::nullopt },
            { "d.m4a", created, TranscriptionStatus::failed, QString("Earlier failure") },
        };
        prefs.setData("notePages", WorkspaceJson::encodePages({ page }));
        auto store = makeStore();

        const QString retry = "The previous transcription did not finish. Click Retry.";
        for (const QList<NotePage>& pages : { store->pages(), storedPages() }) {
            const auto& audio = pages.first().attachments;
            QCOMPARE(audio.at(0).status, TranscriptionStatus::failed);
            QCOMPARE(audio.at(0).error, retry);
            QCOMPARE(audio.at(1).status, TranscriptionStatus::failed);
            QCOMPARE(audio.at(1).error, retry);
            QCOMPARE(audio.at(2).status, TranscriptionStatus::completed);
            QCOMPARE(audio.at(2).error, std::nullopt);
            QCOMPARE(audio.at(3).error, QString("Earlier failure"));
        }
        QVERIFY(prefs.data("notePages")->contains("\"failed\""));
        QVERIFY(!prefs.data("notePages")->contains("\"transcribing\""));
    }

    void selectionRepair_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expectedIndex");
        QTest::newRow("valid second page") << "second" << 1;
        QTest::newRow("deleted page") << Uuid::text(QUuid::createUuid()) << 0;
        QTest::newRow("not a uuid") << "not-a-uuid" << 0;
        QTest::newRow("missing") << QString() << 0;
    }
    void selectionRepair()
    {
        QFETCH(QString, stored);
        QFETCH(int, expectedIndex);
        Preferences& prefs = freshPreferences();
        const auto pages = pagesTitled({ "One", "Two" });
        prefs.setData("notePages", WorkspaceJson::encodePages(pages));
        if (stored == "second")
            prefs.setString("selectedPageID", Uuid::text(pages.at(1).id).toLower());
        else if (!stored.isEmpty())
            prefs.setString("selectedPageID", stored);
        auto store = makeStore();
        QCOMPARE(store->selectedPageID(), pages.at(expectedIndex).id);
        QCOMPARE(store->currentPage()->id, pages.at(expectedIndex).id);
        QCOMPARE(prefs.string("selectedPageID"), Uuid::text(pages.at(expectedIndex).id));
    }

    void constructionHandsTasksOverOnceWithoutAsking()
    {
        Preferences& prefs = freshPreferences();
        TaskItem task;
        task.title = "Call";
        task.reminderAt = QDateTime::currentDateTimeUtc().addSecs(3600);
        prefs.setData("tasks", WorkspaceJson::encodeTasks({ task }));
        auto store = makeStore();
        QCOMPARE(m_notifications->calls.size(), 1);
        QCOMPARE(m_notifications->calls.first().requestPermission, false);
        QCOMPARE(m_notifications->calls.first().tasks.size(), 1);
        QCOMPARE(m_notifications->calls.first().tasks.first().id, task.id);

        store->toggleTask(task.id);
        QCOMPARE(m_notifications->calls.size(), 2);
        QCOMPARE(m_notifications->calls.last().requestPermission, true);
    }

    void unreadableListsAreKeptAside_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("tasks") << "tasks";
        QTest::newRow("notePages") << "notePages";
    }
    void unreadableListsAreKeptAside()
    {
        QFETCH(QString, key);
        Preferences& prefs = freshPreferences("en");
        const QByteArray garbage = R"([{"id":"nope","title":42}])";
        prefs.setData(key, garbage);
        auto store = makeStore();

        QVERIFY(store->message());
        QVERIFY(store->message()->startsWith("Unreadable data was kept as a backup"));
        // The backup key named in the message holds exactly the unreadable bytes.
        const QString backupKey = store->message()->section(u'“', 1).section(u'”', 0, 0);
        QVERIFY(backupKey.startsWith(key + ".unreadable-"));
        QCOMPARE(prefs.data(backupKey), garbage);
        QCOMPARE(store->pages().size(), 1);
        QVERIFY(store->tasks().isEmpty());
        QVERIFY(prefs.data(key) != garbage);
    }

    void taskOperations()
    {
        freshPreferences();
        auto store = makeStore();
        QSignalSpy changed(store.get(), &WorkspaceStore::tasksChanged);

        QVERIFY(!store->addTask("   "));
        QVERIFY(!store->addTask("\n\t\u3000"));
        QCOMPARE(changed.count(), 0);
        QVERIFY(store->addTask(QString::fromUtf8("  buy milk \n")));
        QVERIFY(store->addTask(QString::fromUtf8("\u3000写周报\u2028")));
        QCOMPARE(store->tasks().size(), 2);
        QCOMPARE(store->tasks().at(0).title, QString("buy milk"));
        QCOMPARE(store->tasks().at(1).title, QString::fromUtf8("写周报"));
        QCOMPARE(storedTasks(), store->tasks());

        const QUuid id = store->tasks().at(0).id;
        store->toggleTask(id);
        QVERIFY(store->tasks().at(0).isCompleted);
        QVERIFY(storedTasks().at(0).isCompleted);
        QCOMPARE(store->remainingTaskCount(), 1);
        store->toggleTask(id);
        QVERIFY(!storedTasks().at(0).isCompleted);

        store->setTaskTitle(id, "");
        QCOMPARE(storedTasks().at(0).title, QString());
        store->setTaskTitle(id, "  spaced  ");
        QCOMPARE(storedTasks().at(0).title, QString("  spaced  "));

        const QDateTime at = QDateTime(QDate(2026, 12, 24), QTime(9, 0), QTimeZone::utc());
        store->setTaskReminder(id, at);
        QCOMPARE(storedTasks().at(0).reminderAt, at);
        store->setTaskReminder(id, std::nullopt);
        QCOMPARE(storedTasks().at(0).reminderAt, std::nullopt);

        const int before = int(m_notifications->calls.size());
        const auto snapshot = store->tasks();
        store->toggleTask(QUuid::createUuid());
        store->removeTask(QUuid::createUuid());
        store->setTaskTitle(QUuid::createUuid(), "x");
        QCOMPARE(store->tasks(), snapshot);
        QCOMPARE(m_notifications->calls.size(), before);

        store->removeTask(id);
        QCOMPARE(store->tasks().size(), 1);
        QCOMPARE(storedTasks().size(), 1);
        QCOMPARE(m_notifications->calls.last().tasks.size(), 1);
        QVERIFY(m_notifications->calls.last().requestPermission);
    }

    void addPageNumbersAndCyclesColors()
    {
        Preferences& prefs = freshPreferences();
        auto store = makeStore();
        store->addPage();
        QCOMPARE(store->pages().at(1).title, QString("笔记 2"));
        QCOMPARE(store->pages().at(1).color, NoteColor::green);
        store->addPage();
        QCOMPARE(store->pages().at(2).title, QString("笔记 3"));
        QCOMPARE(store->pages().at(2).color, NoteColor::orange);
        QCOMPARE(store->selectedPageID(), store->pages().at(2).id);
        QCOMPARE(prefs.string("selectedPageID"), Uuid::text(store->pages().at(2).id));
        for (int i = 0; i < 4; ++i)
            store->addPage();
        QCOMPARE(store->pages().size(), 7);
        QCOMPARE(store->pages().at(6).color, NoteColor::blue);
        QCOMPARE(store->pages().at(5).color, NoteColor::gray);
        QCOMPARE(storedPages(), store->pages());

        prefs.setString("interfaceLanguage", "en");
        store->addPage();
        QCOMPARE(store->pages().last().title, QString("Note 8"));
    }

    void removePageSelection_data()
    {
        QTest::addColumn<int>("pageCount");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<int>("expectedSelectedOriginalIndex");
        QTest::newRow("selected middle selects follower") << 4 << 1 << 1 << 2;
        QTest::newRow("selected last selects new last") << 4 << 3 << 3 << 2;
        QTest::newRow("unselected keeps selection") << 4 << 2 << 0 << 2;
        QTest::newRow("selected first") << 3 << 0 << 0 << 1;
    }
    void removePageSelection()
    {
        QFETCH(int, pageCount);
        QFETCH(int, selected);
        QFETCH(int, deleted);
        QFETCH(int, expectedSelectedOriginalIndex);
        Preferences& prefs = freshPreferences();
        QStringList titles;
        for (int i = 0; i < pageCount; ++i)
            titles << QString("P%1").arg(i);
        const auto pages = pagesTitled(titles);
        prefs.setData("notePages", WorkspaceJson::encodePages(pages));
        prefs.setString("selectedPageID", Uuid::text(pages.at(selected).id));
        auto store = makeStore();

        store->removePage(pages.at(deleted).id);
        QCOMPARE(store->pages().size(), pageCount - 1);
        QCOMPARE(store->selectedPageID(), pages.at(expectedSelectedOriginalIndex).id);
        QCOMPARE(prefs.string("selectedPageID"), Uuid::text(pages.at(expectedSelectedOriginalIndex).id));
        QCOMPARE(storedPages(), store->pages());

        const auto before = store->pages();
        store->removePage(QUuid::createUuid());
        QCOMPARE(store->pages(), before);
    }

    void removingTheOnlyPageLeavesAFreshOne()
    {
        freshPreferences("en");
        auto store = makeStore();
        const QUuid old = store->pages().first().id;
        store->setNote("some text");
        store->setCurrentPageTitle("Renamed");
        store->setCurrentPageColor(NoteColor::purple);
        store->removePage(old);
        QCOMPARE(store->pages().size(), 1);
        const NotePage page = store->pages().first();
        QVERIFY(page.id != old);
        QCOMPARE(page.title, QString("Quick Note"));
        QCOMPARE(page.color, NoteColor::blue);
        QVERIFY(page.content.isEmpty());
        QCOMPARE(store->selectedPageID(), page.id);
    }

    void pageEditsAndDerivedValues()
    {
        freshPreferences("en");
        auto store = makeStore();
        store->addPage();
        store->setCurrentPageTitle("");
        QCOMPARE(WorkspaceStore::displayTitle(*store->currentPage()), QString("Untitled"));
        QCOMPARE(WorkspaceStore::deletionConfirmationText(*store->currentPage()),
                 QString("“Untitled” and its note content will be deleted. This cannot be undone. Local "
                         "attachments and exported files will be kept."));
        store->setCurrentPageTitle("   ");
        QCOMPARE(WorkspaceStore::displayTitle(*store->currentPage()), QString("   "));
        store->setNote("second page");
        QCOMPARE(storedPages().at(1).content, QString("second page"));
        QVERIFY(storedPages().at(0).content.isEmpty());
        store->selectPage(store->pages().first().id);
        QCOMPARE(store->note(), QString());
        QCOMPARE(store->vaultName(), QString("Not Connected"));
    }

    void vaultSelectionAndRestore()
    {
        Preferences& prefs = freshPreferences("en");
        auto chooser = std::make_shared<ScriptedChooser>();
        QTemporaryDir vaultParent;
        const QString vault = vaultParent.filePath("My Vault");
        QVERIFY(QDir().mkpath(vault));
        {
            auto store = makeStore(chooser);
            store->selectVault();
            QVERIFY(!store->vaultURL());
            QVERIFY(!prefs.contains("vaultBookmark"));
            chooser->folder = vault;
            store->selectVault();
            QCOMPARE(store->vaultURL(), vault);
            QCOMPARE(store->vaultName(), QString("My Vault"));
            QVERIFY(prefs.contains("vaultBookmark"));
        }
        {
            auto store = makeStore();
            QCOMPARE(store->vaultURL(), vault);
            QVERIFY(!store->message());
        }
        // Replaced by another folder of the same name: stale, renewed.
        const QByteArray before = *prefs.data("vaultBookmark");
        QVERIFY(QDir(vault).removeRecursively());
        QVERIFY(QDir().mkpath(vaultParent.filePath("filler")));
        QVERIFY(QDir().mkpath(vault));
        {
            auto store = makeStore();
            QCOMPARE(store->vaultURL(), vault);
            QVERIFY(!store->message());
            QVERIFY(*prefs.data("vaultBookmark") != before || FolderBookmark::resolve(before).ok());
        }
        QVERIFY(QDir(vault).removeRecursively());
        {
            auto store = makeStore();
            QVERIFY(!store->vaultURL());
            QCOMPARE(store->message(), QString("Select your Obsidian vault again in Settings."));
        }
    }

    // Edits write only what changed, yet the stored bytes are always exactly the full
    // encoding of both lists, also for a store started again on the same file.
    void storedBytesEqualFullEncoding()
    {
        const QString path = freshPreferences().databasePath();
        const auto check = [&](WorkspaceStore& store) {
            QCOMPARE(*m_prefs->data("notePages"), WorkspaceJson::encodePages(store.pages()));
            QCOMPARE(*m_prefs->data("tasks"), WorkspaceJson::encodeTasks(store.tasks()));
        };
        {
            auto store = makeStore();
            for (int i = 0; i < 5; ++i)
                store->addPage();
            store->addTask("one");
            check(*store);
            store->setNote(QString::fromUtf8("第一行\n\"quoted\""));
            check(*store);
            store->selectPage(store->pages().first().id);
            store->setNote("first");
            store->removePage(store->pages().at(2).id);
            check(*store);
            store->setCurrentPageColor(NoteColor::gray);
            store->toggleTask(store->tasks().first().id);
            check(*store);
        }
        Preferences::setStandard(nullptr);
        m_prefs = std::make_unique<Preferences>(path);
        Preferences::setStandard(m_prefs.get());
        // Starting again writes neither list: they are stored exactly as they would be.
        QSignalSpy written(m_prefs.get(), &Preferences::changed);
        auto store = makeStore();
        QCOMPARE(store->pages().size(), 5);
        QVERIFY(!written.contains(QVariantList { "notePages" }));
        QVERIFY(!written.contains(QVariantList { "tasks" }));
        store->setNote("after restart");
        check(*store);
        store->removePage(store->pages().last().id);
        check(*store);
    }

    void messageNotifiesOnlyOnChange()
    {
        freshPreferences();
        auto store = makeStore();
        QSignalSpy spy(store.get(), &WorkspaceStore::messageChanged);
        store->setMessage(QString("Saved"));
        store->setMessage(QString("Saved"));
        store->setMessage(std::nullopt);
        QCOMPARE(spy.count(), 2);
    }
};

QTEST_MAIN(TestWorkspaceStore)
#include "TestWorkspaceStore.moc"
