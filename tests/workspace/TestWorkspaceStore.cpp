#include "RecordingNotifications.h"

#include "core/WorkspaceJson.h"
#include "platform/preferences/Preferences.h"
#include "support/PrivateTmpfs.h"
#include "support/ScriptedChooser.h"
#include "support/TemporaryProfile.h"
#include "workspace/WorkspaceStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace std::chrono_literals;

namespace {
const QString kSaveFailed
    = "Your changes could not be saved (the disk may be full or read-only). Tandrel keeps "
      "trying; do not quit until they are saved.";

QList<NotePage> pagesTitled(int count)
{
    QList<NotePage> pages(count);
    for (int i = 0; i < count; ++i)
        pages[i].title = QString("P%1").arg(i);
    return pages;
}

QList<NotePage> storedPages(const Preferences& prefs)
{
    return WorkspaceJson::decodePages(prefs.data("notePages").value_or("")).value_or(QList<NotePage>());
}
} // namespace

class TestWorkspaceStore : public QObject {
    Q_OBJECT

    RecordingNotifications* m_notifications = nullptr;

    std::unique_ptr<WorkspaceStore> makeStore(TemporaryProfile& profile, std::chrono::milliseconds retry = 5s,
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
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("oldNote");
        QTest::addColumn<QByteArray>("storedPages");
        QTest::addColumn<QString>("title");
        QTest::newRow("chinese") << "zh-Hans" << QString() << QByteArray() << "随手记";
        QTest::newRow("old note") << "en" << "# Old\n- item" << QByteArray() << "Quick Note";
        QTest::newRow("empty page array") << "en" << "# Old" << QByteArray("[]") << "Quick Note";
    }
    void firstLaunch()
    {
        QFETCH(QString, language);
        QFETCH(QString, oldNote);
        QFETCH(QByteArray, storedPages);
        TemporaryProfile profile(language);
        Preferences& prefs = *profile.preferences();
        if (!oldNote.isEmpty())
            QVERIFY(prefs.setString("note", oldNote));
        if (!storedPages.isEmpty())
            QVERIFY(prefs.setData("notePages", storedPages));
        auto store = makeStore(profile);

        QCOMPARE(store->pages().size(), 1);
        const NotePage page = store->pages().first();
        QTEST(page.title, "title");
        QCOMPARE(std::tuple(page.color, page.content), std::tuple(NoteColor::blue, oldNote));
        QCOMPARE(prefs.string("selectedPageID"), Uuid::text(page.id));
        QCOMPARE(::storedPages(prefs), store->pages());
        QCOMPARE(prefs.data("tasks"), QByteArray("[]"));
        QVERIFY(!prefs.contains("recordingNoteDestination") && !store->message() && !store->vaultPath());
    }

    void destinations_data()
    {
        QTest::addColumn<QVariant>("recording");
        QTest::addColumn<QVariant>("fileDrop");
        QTest::addColumn<NoteDestination>("expectedRecording");
        QTest::addColumn<NoteDestination>("expectedFileDrop");
        const auto current = NoteDestination::currentNote, fresh = NoteDestination::newNote;
        QTest::newRow("missing") << QVariant() << QVariant() << current << fresh;
        QTest::newRow("exact") << QVariant("newNote") << QVariant("currentNote") << fresh << current;
        QTest::newRow("letter case") << QVariant("NewNote") << QVariant("") << current << fresh;
        QTest::newRow("wrong kind") << QVariant(true) << QVariant(true) << current << fresh;
    }
    void destinations()
    {
        QFETCH(QVariant, recording);
        QFETCH(QVariant, fileDrop);
        QFETCH(NoteDestination, expectedFileDrop);
        TemporaryProfile profile;
        Preferences& prefs = *profile.preferences();
        for (const auto& [key, value] : { std::pair<QString, QVariant>("recordingNoteDestination", recording),
                 std::pair<QString, QVariant>("fileDropNoteDestination", fileDrop) }) {
            if (value.typeId() == QMetaType::Bool)
                QVERIFY(prefs.setBool(key, value.toBool()));
            else if (value.isValid())
                QVERIFY(prefs.setString(key, value.toString()));
        }
        auto store = makeStore(profile);
        QTEST(store->recordingNoteDestination(), "expectedRecording");
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
        TemporaryProfile profile("en");
        NotePage page;
        const QDateTime at = QDateTime::fromSecsSinceEpoch(1'780'000'000, QTimeZone::utc());
        page.attachments = { { "a.m4a", at, TranscriptionStatus::transcribing, std::nullopt },
            { "b.m4a", at, TranscriptionStatus::queued, std::nullopt },
            { "c.m4a", at, TranscriptionStatus::completed, std::nullopt },
            { "d.m4a", at, TranscriptionStatus::failed, QString("Earlier failure") } };
        QVERIFY(profile.preferences()->setData("notePages", WorkspaceJson::encodePages({ page })));
        auto store = makeStore(profile);

        QCOMPARE(storedPages(*profile.preferences()), store->pages());
        const auto& audio = store->pages().first().attachments;
        for (int i : { 0, 1 })
            QCOMPARE(std::tuple(audio.at(i).status, audio.at(i).error),
                std::tuple(TranscriptionStatus::failed,
                    std::optional<QString>("The previous transcription did not finish. Click Retry.")));
        QCOMPARE(audio.at(2).status, TranscriptionStatus::completed);
        QCOMPARE(audio.at(3).error, QString("Earlier failure"));
    }

    void selectionRepair_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expectedIndex");
        QTest::newRow("valid second page") << "second" << 1;
        QTest::newRow("deleted page") << Uuid::text(QUuid::createUuid()) << 0;
        QTest::newRow("not a uuid") << "not-a-uuid" << 0;
    }
    void selectionRepair()
    {
        QFETCH(QString, stored);
        QFETCH(int, expectedIndex);
        TemporaryProfile profile;
        Preferences& prefs = *profile.preferences();
        const auto pages = pagesTitled(2);
        QVERIFY(prefs.setData("notePages", WorkspaceJson::encodePages(pages)));
        QVERIFY(prefs.setString(
            "selectedPageID", stored == "second" ? Uuid::text(pages.at(1).id).toLower() : stored));
        auto store = makeStore(profile);
        QCOMPARE(store->currentPage()->id, pages.at(expectedIndex).id);
        QCOMPARE(prefs.string("selectedPageID"), Uuid::text(pages.at(expectedIndex).id));
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
        auto store = makeStore(profile, 10ms);
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
        auto store = makeStore(profile, retryByTimer ? 10ms : 24h);
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
        QVERIFY(profile.preferences()->setData("tasks", WorkspaceJson::encodeTasks({ task })));
        auto store = makeStore(profile);
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

    void addPageNumbersAndCyclesColors()
    {
        TemporaryProfile profile;
        auto store = makeStore(profile);
        for (int i = 0; i < 6; ++i)
            store->addPage();
        QCOMPARE(store->pages().at(2).title, QString("笔记 3"));
        QCOMPARE(store->pages().at(6).color, store->pages().at(0).color);
        QCOMPARE(profile.preferences()->string("selectedPageID"), Uuid::text(store->pages().at(6).id));
        profile.setLanguage("en");
        store->addPage();
        QCOMPARE(store->pages().last().title, QString("Note 8"));
    }

    // -1: the only page was removed and a fresh one takes its place.
    void removePageSelection_data()
    {
        QTest::addColumn<int>("pageCount");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<int>("expectedSelected");
        QTest::newRow("selected middle selects follower") << 4 << 1 << 1 << 2;
        QTest::newRow("selected last selects new last") << 4 << 3 << 3 << 2;
        QTest::newRow("unselected keeps selection") << 4 << 2 << 0 << 2;
        QTest::newRow("only page") << 1 << 0 << 0 << -1;
    }
    void removePageSelection()
    {
        QFETCH(int, pageCount);
        QFETCH(int, selected);
        QFETCH(int, deleted);
        QFETCH(int, expectedSelected);
        TemporaryProfile profile("en");
        Preferences& prefs = *profile.preferences();
        auto pages = pagesTitled(pageCount);
        pages[deleted].content = "some text";
        QVERIFY(prefs.setData("notePages", WorkspaceJson::encodePages(pages)));
        QVERIFY(prefs.setString("selectedPageID", Uuid::text(pages.at(selected).id)));
        auto store = makeStore(profile);

        store->removePage(QUuid::createUuid());
        store->removePage(pages.at(deleted).id);
        QCOMPARE(store->pages().size(), std::max(pageCount - 1, 1));
        const NotePage current = *store->currentPage();
        if (expectedSelected < 0)
            QCOMPARE(std::tuple(current.id != pages.first().id, current.title, current.content),
                std::tuple(true, QString("Quick Note"), QString()));
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
            auto store = makeStore(profile, 5s, chooser);
            store->selectVault(); // cancelled
            QVERIFY(!store->vaultPath() && !profile.preferences()->contains("vaultBookmark"));
            store->selectVault();
            QCOMPARE(store->vaultName(), QString("My Vault"));
        }
        QCOMPARE(makeStore(profile)->vaultPath(), vault);
        // Replaced by another folder of the same name: stale, renewed, still no message.
        QVERIFY(QDir(vault).removeRecursively());
        profile.makeFolder("filler");
        profile.makeFolder("My Vault");
        {
            auto store = makeStore(profile);
            QCOMPARE(store->vaultPath(), vault);
            QVERIFY(!store->message());
        }
        QVERIFY(QDir(vault).removeRecursively());
        auto store = makeStore(profile);
        QVERIFY(!store->vaultPath());
        QCOMPARE(store->message(), QString("Select your Obsidian vault again in Settings."));
    }

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
            auto store = makeStore(profile);
            for (int i = 0; i < 5; ++i)
                store->addPage();
            store->addTask("one");
            store->setNote(QString::fromUtf8("第一行\n\"quoted\""));
            store->selectPage(store->pages().first().id);
            store->setNote("first");
            store->removePage(store->pages().at(2).id);
            store->setPages({ store->pages().at(3), store->pages().at(0), store->pages().at(1) });
            check(*store);
        }
        profile.reopen();
        // Starting again writes neither list: they are stored exactly as they would be.
        QSignalSpy written(profile.preferences(), &Preferences::changed);
        auto store = makeStore(profile);
        QCOMPARE(store->pages().size(), 3);
        QVERIFY(!written.contains(QVariantList { "notePages" }) && !written.contains(QVariantList { "tasks" }));
        store->setNote("after restart");
        store->toggleTask(store->tasks().first().id);
        check(*store);
    }

    void messageNotifiesOnlyOnChange()
    {
        TemporaryProfile profile;
        auto store = makeStore(profile);
        QSignalSpy spy(store.get(), &WorkspaceStore::messageChanged);
        for (const auto& message : { std::optional<QString>("Saved"), std::optional<QString>("Saved") })
            store->setMessage(message);
        store->setMessage(std::nullopt);
        QCOMPARE(spy.count(), 2);
    }
};

QTEST_MAIN(TestWorkspaceStore)
#include "TestWorkspaceStore.moc"
