#include "RecordingNotifications.h"

#include "core/WorkspaceJson.h"
#include "platform/preferences/Preferences.h"
#include "support/PrivateTmpfs.h"
#include "support/ScriptedChooser.h"
#include "support/TemporaryProfile.h"
#include "workspace/WorkspaceStore.h"

#include <QDir>
#include <QtTest>

#include <memory>

using namespace std::chrono_literals;

namespace {
const QString kSaveFailed
    = "Your changes could not be saved (the disk may be full or read-only). Tandrel keeps "
      "trying; do not quit until they are saved.";

QList<NotePage> storedPages(const Preferences& prefs)
{
    return WorkspaceJson::decodePages(prefs.data("notePages").value_or("")).value_or(QList<NotePage>());
}

} // namespace

// Stores are built here rather than with the store harness: these tests write the
// preferences before the store opens them, and choose the retry interval and folder chooser.
class TestWorkspaceStore : public QObject {
    Q_OBJECT

    RecordingNotifications* m_notifications = nullptr;

    std::unique_ptr<WorkspaceStore> open(TemporaryProfile& profile, std::chrono::milliseconds retry = 5s,
        std::shared_ptr<FolderChooser> chooser = {})
    {
        m_notifications = new RecordingNotifications;
        WorkspaceStore::Services services;
        services.notifications = m_notifications;
        services.folderChooser = std::move(chooser);
        services.saveRetryInterval = retry;
        return std::make_unique<WorkspaceStore>(profile.preferences(), services);
    }

private slots:
    // A first launch, and a domain holding only the single note of earlier versions (also
    // with an empty page array): one fresh page holding that note.
    void firstLaunch_data()
    {
        QTest::addColumn<QString>("oldNote");
        QTest::addColumn<QByteArray>("storedPages");
        QTest::newRow("first launch") << QString() << QByteArray();
        QTest::newRow("old note") << "# Old\n- item" << QByteArray();
        QTest::newRow("empty page array") << "# Old" << QByteArray("[]");
    }
    void firstLaunch()
    {
        QFETCH(QString, oldNote);
        QFETCH(QByteArray, storedPages);
        TemporaryProfile profile("en");
        Preferences& prefs = *profile.preferences();
        if (!oldNote.isEmpty())
            prefs.setString("note", oldNote);
        if (!storedPages.isEmpty())
            prefs.setData("notePages", storedPages);
        auto store = open(profile);

        QCOMPARE(store->pages().size(), 1);
        const NotePage page = store->pages().first();
        QCOMPARE(std::tuple(page.title, page.color, page.content),
            std::tuple(QString("Quick Note"), NoteColor::blue, oldNote));
        QCOMPARE(prefs.string("selectedPageID"), Uuid::text(page.id));
        QCOMPARE(::storedPages(prefs), store->pages());
        QCOMPARE(prefs.data("tasks"), QByteArray("[]"));
        QVERIFY(!prefs.contains("recordingNoteDestination") && !store->message() && !store->vaultPath());
    }

    // Stored values are read case-sensitively and only as text; a change notifies once.
    void destinations()
    {
        TemporaryProfile profile;
        Preferences& prefs = *profile.preferences();
        prefs.setString("recordingNoteDestination", "NewNote");
        prefs.setBool("fileDropNoteDestination", true);
        auto store = open(profile);
        QCOMPARE(std::tuple(store->recordingNoteDestination(), store->fileDropNoteDestination()),
            std::tuple(NoteDestination::currentNote, NoteDestination::newNote));
        QSignalSpy spy(store.get(), &WorkspaceStore::fileDropNoteDestinationChanged);
        store->setFileDropNoteDestination(NoteDestination::currentNote);
        store->setFileDropNoteDestination(NoteDestination::currentNote);
        store->setRecordingNoteDestination(NoteDestination::newNote);
        QCOMPARE(spy.count(), 1);
        store.reset();
        store = open(profile);
        QCOMPARE(std::tuple(store->recordingNoteDestination(), store->fileDropNoteDestination()),
            std::tuple(NoteDestination::newNote, NoteDestination::currentNote));
    }

    // The list is rewritten only once its unreadable bytes are stored under the key the
    // message names, also when the disk is full at start and frees up later.
    void unreadableListsAreKeptAside_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("tasks") << "tasks" << false;
        QTest::newRow("notePages") << "notePages" << false;
        QTest::newRow("tasks, disk full") << "tasks" << true;
    }
    void unreadableListsAreKeptAside()
    {
        RUN_IN_PRIVATE_TMPFS();
        QFETCH(QString, key);
        QFETCH(bool, diskFull);
        TemporaryProfile profile("en", PrivateTmpfs::folder());
        Preferences& prefs = *profile.preferences();
        const QByteArray garbage = R"([{"id":"nope","title":42})" + QByteArray(20000, ' ') + "]";
        QVERIFY(prefs.setData(key, garbage));
        if (diskFull)
            QVERIFY(PrivateTmpfs::fill());
        auto store = open(profile, 10ms);
        if (diskFull) {
            QCOMPARE(store->message(), kSaveFailed);
            QCOMPARE(prefs.data(key), garbage);
            QVERIFY(PrivateTmpfs::release());
        }
        QTRY_VERIFY(store->message() && store->message()->startsWith("Unreadable data was kept as a backup"));
        const QString backupKey = store->message()->section(u'“', 1).section(u'”', 0, 0);
        QVERIFY(backupKey.startsWith(key + ".unreadable-"));
        QCOMPARE(prefs.data(backupKey), garbage);
        QCOMPARE(prefs.data("tasks"), QByteArray("[]"));
        QCOMPARE(storedPages(prefs), store->pages());
    }

    // The database fills up while the user types: the user is told, the text stays, and it
    // is stored once there is room again, on the next keystroke or by the retry.
    void unwritableDatabaseWhileTyping_data()
    {
        QTest::addColumn<bool>("retryByTimer");
        QTest::newRow("next keystroke") << false;
        QTest::newRow("retry timer, newer message kept") << true;
    }
    void unwritableDatabaseWhileTyping()
    {
        RUN_IN_PRIVATE_TMPFS();
        QFETCH(bool, retryByTimer);
        TemporaryProfile profile("en", PrivateTmpfs::folder());
        auto store = open(profile, retryByTimer ? 10ms : 24h);
        QString typed = "before the disk filled up";
        store->setNote(typed);
        QVERIFY(PrivateTmpfs::fill());
        for (QChar letter : QString("abc")) {
            typed += QString(3000, letter);
            store->setNote(typed);
        }
        QCOMPARE(store->message(), kSaveFailed);
        QCOMPARE(store->note(), typed);
        QCOMPARE(storedPages(*profile.preferences()).first().content, QString("before the disk filled up"));

        QVERIFY(PrivateTmpfs::release());
        if (retryByTimer) {
            store->setMessage(QString("Exported."));
        } else {
            typed += "!";
            store->setNote(typed);
            QCOMPARE(storedPages(*profile.preferences()).first().content, typed);
        }
        QTRY_COMPARE(storedPages(Preferences(profile.databasePath())).first().content, typed);
        QCOMPARE(store->message(), retryByTimer ? std::optional<QString>("Exported.") : std::nullopt);
    }

    // Loading hands the tasks over once without asking; each later change asks.
    void taskOperations()
    {
        TemporaryProfile profile;
        TaskItem task;
        task.reminderAt = QDateTime::currentDateTimeUtc().addSecs(3600);
        profile.preferences()->setData("tasks", WorkspaceJson::encodeTasks({ task }));
        auto store = open(profile);
        QCOMPARE(m_notifications->calls.size(), 1);
        QCOMPARE(m_notifications->calls.first().requestPermission, false);
        QCOMPARE(m_notifications->calls.first().tasks, store->tasks());

        QVERIFY(!store->addTask("\n\t\u3000 "));
        store->toggleTask(QUuid::createUuid());
        store->setTaskTitle(QUuid::createUuid(), "x");
        QCOMPARE(m_notifications->calls.size(), 1);
        QVERIFY(store->addTask(QString::fromUtf8("\u3000写周报\u2028")));
        QCOMPARE(store->tasks().at(1).title, QString::fromUtf8("写周报"));
        const QDateTime at = QDateTime(QDate(2026, 12, 24), QTime(9, 0), QTimeZone::utc());
        store->setTaskReminder(task.id, at);
        store->setTaskTitle(task.id, "  spaced  ");
        store->toggleTask(task.id);
        const TaskItem changed = store->tasks().at(0);
        QCOMPARE(WorkspaceJson::decodeTasks(*profile.preferences()->data("tasks")), store->tasks());
        QCOMPARE(std::tuple(changed.reminderAt, changed.title, changed.isCompleted),
            std::tuple(std::optional(at), QString("  spaced  "), true));
        QCOMPARE(m_notifications->calls.size(), 5);
        QVERIFY(m_notifications->calls.last().requestPermission);
    }

    // The stored selection (lower case, a deleted page, not an id) and page removal; -1 as
    // the deleted page: none, as the expected one: a fresh page in place of the only one.
    void pageSelection_data()
    {
        QTest::addColumn<int>("pageCount");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<int>("expectedSelected");
        QTest::newRow("stored in lower case") << 2 << "1" << -1 << 1;
        QTest::newRow("stored page gone") << 2 << Uuid::text(QUuid::createUuid()) << -1 << 0;
        QTest::newRow("stored not an id") << 2 << "not-a-uuid" << -1 << 0;
        QTest::newRow("selected middle selects follower") << 4 << "1" << 1 << 2;
        QTest::newRow("selected last selects new last") << 4 << "3" << 3 << 2;
        QTest::newRow("unselected keeps selection") << 4 << "2" << 0 << 2;
        QTest::newRow("only page") << 1 << "0" << 0 << -1;
    }
    void pageSelection()
    {
        QFETCH(int, pageCount);
        QFETCH(QString, selected);
        QFETCH(int, deleted);
        QFETCH(int, expectedSelected);
        TemporaryProfile profile("en");
        Preferences& prefs = *profile.preferences();
        QList<NotePage> pages(pageCount);
        prefs.setData("notePages", WorkspaceJson::encodePages(pages));
        bool isIndex = false;
        const int index = selected.toInt(&isIndex);
        prefs.setString("selectedPageID", isIndex ? Uuid::text(pages.at(index).id).toLower() : selected);
        auto store = open(profile);

        store->removePage(QUuid::createUuid());
        if (deleted >= 0)
            store->removePage(pages.at(deleted).id);
        QCOMPARE(store->pages().size(), std::max(pageCount - (deleted >= 0), 1));
        const NotePage current = *store->currentPage();
        if (expectedSelected < 0)
            QCOMPARE(std::tuple(current.id != pages.first().id, current.title), std::tuple(true, QString("Quick Note")));
        else
            QCOMPARE(current.id, pages.at(expectedSelected).id);
        QCOMPARE(prefs.string("selectedPageID"), Uuid::text(current.id));
        QCOMPARE(storedPages(prefs), store->pages());
    }

    void vaultSelectionAndRestore()
    {
        TemporaryProfile profile("en");
        auto chooser = std::make_shared<ScriptedChooser>();
        const QString vault = profile.makeFolder("My Vault");
        chooser->folders = { std::nullopt, vault };
        {
            auto store = open(profile, 5s, chooser);
            store->selectVault(); // cancelled
            QVERIFY(!store->vaultPath() && !profile.preferences()->contains("vaultBookmark"));
            store->selectVault();
            QCOMPARE(store->vaultName(), QString("My Vault"));
        }
        QCOMPARE(open(profile)->vaultPath(), vault);
        // Replaced by another folder of the same name: stale, renewed, still no message.
        QVERIFY(QDir(vault).removeRecursively());
        profile.makeFolder("filler");
        profile.makeFolder("My Vault");
        auto renewed = open(profile);
        QCOMPARE(std::tuple(renewed->vaultPath(), renewed->message()), std::tuple(std::optional(vault), std::optional<QString>()));
        QVERIFY(QDir(vault).removeRecursively());
        auto store = open(profile);
        QVERIFY(!store->vaultPath());
        QCOMPARE(store->message(), QString("Select your Obsidian vault again in Settings."));
    }

    // New pages are numbered and coloured in turn, titled in the language of the moment.
    // Edits write only what changed, yet the stored bytes are always exactly the full
    // encoding of both lists, also for a store started again on the same file.
    void storedBytesEqualFullEncoding()
    {
        TemporaryProfile profile;
        const auto check = [&](WorkspaceStore& store) {
            QCOMPARE(*profile.preferences()->data("notePages"), WorkspaceJson::encodePages(store.pages()));
            QCOMPARE(*profile.preferences()->data("tasks"), WorkspaceJson::encodeTasks(store.tasks()));
        };
        {
            auto store = open(profile);
            for (int i = 0; i < 6; ++i)
                store->addPage();
            QCOMPARE(store->pages().at(6).color, store->pages().at(0).color);
            QCOMPARE(profile.preferences()->string("selectedPageID"), Uuid::text(store->pages().at(6).id));
            profile.setLanguage("en");
            store->addPage();
            QCOMPARE(store->pages().last().title, QString("Note 8"));
            store->setPages(store->pages().mid(0, 4));
            store->addTask("one");
            store->setNote(QString::fromUtf8("第一行\n\"quoted\""));
            store->removePage(store->pages().at(1).id);
            store->setPages({ store->pages().at(2), store->pages().at(0), store->pages().at(1) });
            check(*store);
        }
        profile.reopen();
        // Starting again writes neither list: they are stored exactly as they would be.
        QSignalSpy written(profile.preferences(), &Preferences::changed);
        auto store = open(profile);
        QCOMPARE(store->pages().size(), 3);
        QVERIFY(!written.contains(QVariantList { "notePages" }) && !written.contains(QVariantList { "tasks" }));
        store->setNote("after restart");
        store->toggleTask(store->tasks().first().id);
        check(*store);

        QSignalSpy messages(store.get(), &WorkspaceStore::messageChanged);
        for (const auto& message : { std::optional<QString>("Saved"), std::optional<QString>("Saved") })
            store->setMessage(message);
        store->setMessage(std::nullopt);
        QCOMPARE(messages.count(), 2); // only on change
    }
};

QTEST_MAIN(TestWorkspaceStore)
#include "TestWorkspaceStore.moc"
