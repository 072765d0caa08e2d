#include "support/PrivateTmpfs.h"
#include "support/StoreHarness.h"
#include "workspace/ContentView.h"

#include <QDirIterator>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <QtTest>

#include <sys/mount.h>

namespace {
using Setup = std::function<void(StoreHarness&, const QString& vault)>;

// Every file under `root` by relative path; `edit` appends to each first, as a user would.
QMap<QString, QByteArray> filesIn(const QString& root, bool edit = false)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (edit && (!file.open(QIODevice::Append) || file.write("+") != 1))
            return {};
        file.close();
        files.insert(QDir(root).relativeFilePath(file.fileName()),
            file.open(QIODevice::ReadOnly) ? file.readAll() : "");
    }
    return files;
}

// A page with two recordings and two attached files, all on disk; the vault connected.
QString prepare(StoreHarness& h, const QString& vaultFolder)
{
    const QString vault = QDir(vaultFolder).filePath("Vault");
    QDir().mkpath(vault);
    h.chooser->folders = { vault };
    h.store->selectVault();
    NotePage page { .title = "Plan: Q3/Q4",
        .content = "# Plan\n\n![[r1.m4a]]\n![[r2.m4a]]\n![[a.pdf]] ![[b.txt]]\n" };
    for (const QString name : { "r1.m4a", "r2.m4a" }) {
        h.writeFile("Recordings/" + name, QByteArray(600 * 1024, name.at(1).toLatin1()));
        page.attachments.append({ .filename = name });
    }
    h.makeFolder("AppData/Attachments"); // the default attachment folder
    for (const QString name : { "a.pdf", "b.txt" }) {
        h.writeFile("AppData/Attachments/" + name, name.toUtf8());
        page.files.append({ .filename = name });
    }
    h.recorder()->reload();
    h.store->setPages({ page });
    return vault;
}
} // namespace
Q_DECLARE_METATYPE(Setup)

class TestVaultExport : public QObject {
    Q_OBJECT

private slots:
    // Through the window's controls: the tasks and a note, twice, then one of its recordings, twice.
    void exportsResolveInsideTheVaultAndNothingIsOverwritten()
    {
        StoreHarness h;
        ContentView view(h.store.get());
        auto* save = view.findChild<QPushButton*>("exportNoteButton");
        auto* tasks = view.findChild<QToolButton*>("exportTasksButton");
        const QString vault = prepare(h, h.path());
        h.store->exportTasks();
        QCOMPARE(h.store->message(), QString("There are no tasks to save."));
        QVERIFY(h.store->addTask("Call\nthe bank") && h.store->addTask("Pay rent"));
        h.store->toggleTask(h.store->tasks()[1].id);
        h.store->setTaskReminder(h.store->tasks()[1].id, h.now);
        tasks->click();
        QCOMPARE(h.store->message(), QString("Tasks saved separately to Vault/Sidebar/Tasks."));
        save->click();
        QCOMPARE(h.store->message(), QString("Note saved to Vault/Sidebar."));
        const auto first = filesIn(vault);
        const QString stamp = QString::number(h.now.toSecsSinceEpoch());
        const auto named = [&](const QString& start) {
            return first.keys().filter(
                QRegularExpression("^Sidebar/" + start + "-" + stamp + "-[0-9A-F]{6}\\.md$"));
        };
        const QStringList note = named("Plan- Q3-Q4"), taskList = named("Tasks/Tasks");
        QVERIFY(note.size() == 1 && taskList.size() == 1);
        QCOMPARE(first[note[0]], h.store->note().toUtf8());
        QCOMPARE(first[taskList[0]],
            "# Tasks\n\n- [ ] Call the bank\n- [x] Pay rent (Reminder: Mar 2, 2026, 9:00 AM)\n");
        // Obsidian finds an embed (the note's are unchanged) by file name anywhere in the vault.
        for (const QString name : { "r1.m4a", "r2.m4a", "a.pdf", "b.txt" }) {
            const QStringList found = first.keys().filter(QRegularExpression("(^|/)" + name + "$"));
            QVERIFY2(found.size() == 1 && !first[found[0]].isEmpty(), qPrintable(name));
        }

        // The user edits the copies; a second export (a title too long for a name) keeps every edit.
        const auto edited = filesIn(vault, true);
        h.store->setCurrentPageTitle(QString(100, QChar(0x6587)));
        save->click();
        auto second = filesIn(vault);
        for (const QString& name : first.keys())
            QCOMPARE(second.take(name), edited[name]);
        QCOMPARE(second.size(), 1);
        QVERIFY(QFileInfo(second.firstKey()).fileName().startsWith(QString(78, QChar(0x6587)) + "-" + stamp));

        // The recording is there already; its note, dated in the interface's language, is written once.
        const AudioRecording recording { h.path("Recordings/r1.m4a"), h.now };
        h.setLanguage("zh-Hans");
        h.store->exportRecording(recording);
        QCOMPARE(h.store->message(), QString("音频及引用笔记已保存到 Vault/Sidebar/Recordings。"));
        const auto once = filesIn(vault, true);
        QCOMPARE(once["Sidebar/Recordings/r1.md"], "# 快捷录音\n\n2026年3月2日 09:00:00\n\n![[r1.m4a]]\n+");
        QCOMPARE(once["Sidebar/Recordings/r1.m4a"], edited["Sidebar/Recordings/r1.m4a"] + '+');
        h.setLanguage("en");
        h.store->setMessage(std::nullopt);
        h.store->exportRecording(recording);
        QCOMPARE(
            h.store->message(), QString("Audio and its linked note were saved to Vault/Sidebar/Recordings."));
        QCOMPARE(filesIn(vault), once);
    }

    // Hostile names and folders, an unwritable vault: one message, nothing outside or half-written.
    void refusals_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("recording"); // exported alone; none: the note is exported
        QTest::addColumn<QString>("message"); // {vault}: the vault's path
        // The page's recordings and files replaced (none, or the one named), the attachment folder set.
        const auto page = [](const QString& audio, const QString& file = {}, const QString& folder = {}) {
            return Setup([=](StoreHarness& h, const QString&) {
                NotePage page = h.store->pages().at(0);
                page.attachments
                    = audio.isEmpty() ? QList<NoteAudio>() : QList<NoteAudio> { { .filename = audio } };
                if (!file.isEmpty())
                    page.files = { { .filename = file, .originalName = "x.txt" } };
                h.store->setPages({ page });
                if (!folder.isEmpty())
                    h.store->storage()->setAttachmentExportPath(
                        folder == "absolute" ? h.path("outside") : folder);
            });
        };
        const QString save = "Could not save: ",
                      keep = "Could not export the recording. Local audio was kept: ";
        const QString unusable = "“%1” cannot be used as a file name in the Obsidian vault.";
        const QList<QPair<QString, QString>> names { { "../outside/x.m4a", {} }, { "sub/x.m4a", {} },
            { "a]]b.m4a", {} }, { "a|b.m4a", {} }, { "a#b.m4a", {} }, { "a^b.m4a", {} },
            { "a\nb.m4a", "a\uFFFDb.m4a" }, { QString(252, 'x') + ".m4a", QString(60, 'x') + "…" } };
        for (const auto& [name, shown] : names)
            QTest::newRow(qPrintable(shown.isEmpty() ? name : shown))
                << page(name) << "" << save + unusable.arg(shown.isEmpty() ? name : shown);
        QTest::newRow("recording name") << Setup() << "a#1.m4a" << keep + unusable.arg("a#1.m4a");
        QTest::newRow("missing audio") << page("gone.m4a") << "" << save + "Audio file missing: gone.m4a";
        QTest::newRow("file ..") << page({}, "../../x") << ""
                                 << save + "The attachment “x.txt” has an invalid file name.";
        const QString relativeOnly = save
            + "Attachment paths must be relative to the vault and cannot contain .. or empty folder names.";
        QTest::newRow("folder ../outside") << page({}, {}, "../outside") << "" << relativeOnly;
        QTest::newRow("folder absolute") << page({}, {}, "absolute") << "" << relativeOnly;
        const auto linkOut = [](const QString& at, const QString& target = "outside") {
            return Setup([at, target](StoreHarness& h, const QString& vault) {
                QDir().mkpath(QFileInfo(vault + "/" + at).path());
                QVERIFY(QFile::link(h.path(target), vault + "/" + at));
            });
        };
        const QString inside = "The attachment folder must be inside the Obsidian vault.";
        QTest::newRow("note folder linked out") << linkOut("Sidebar") << "" << save + inside;
        QTest::newRow("dangling link at the copy")
            << linkOut("Sidebar/Recordings/r1.m4a", "outside/r1.m4a") << ""
            << "Note saved to Vault/Sidebar.";
        QTest::newRow("vault gone") << Setup([](StoreHarness&, const QString& vault) {
            QDir(vault).removeRecursively();
        }) << "" << save + "The folder “{vault}” does not exist or cannot be read.";
        // On a small file system of the test's own (tags starting with "tmpfs").
        QTest::newRow("tmpfs read-only") << Setup([](StoreHarness&, const QString& vault) {
            QDir().mkpath(vault + "/Sidebar/Recordings");
            QCOMPARE(::mount(nullptr, QFile::encodeName(PrivateTmpfs::folder()), nullptr,
                         MS_REMOUNT | MS_RDONLY, nullptr),
                0);
        }) << "" << save + "Could not write “r1.m4a”: the disk is read-only.";
        QTest::newRow("tmpfs full") << Setup([](StoreHarness&, const QString& vault) {
            QDir().mkpath(vault + "/Sidebar/Recordings");
            QFile room(PrivateTmpfs::folder() + "/spare"); // half a recording fits
            QVERIFY(room.open(QIODevice::WriteOnly) && room.write(QByteArray(300 * 1024, 0)) && room.flush()
                && PrivateTmpfs::fill() && room.remove());
        }) << "" << save + "Could not write “r1.m4a”: the disk is full.";
    }
    void refusals()
    {
        if (QByteArray(QTest::currentDataTag()).startsWith("tmpfs"))
            RUN_IN_PRIVATE_TMPFS();
        QFETCH(Setup, setup);
        QFETCH(QString, recording);
        QFETCH(QString, message);
        StoreHarness h;
        const QString vault
            = prepare(h, PrivateTmpfs::folder().isEmpty() ? h.path() : PrivateTmpfs::folder());
        h.makeFolder("outside");
        if (setup)
            setup(h, vault);
        const auto before = filesIn(vault);
        recording.isEmpty() ? h.store->exportMarkdown()
                            : h.store->exportRecording({ h.path("Recordings/" + recording), h.now });
        QCOMPARE(h.store->message(), QString(message).replace("{vault}", vault));
        QVERIFY(filesIn(h.path("outside")).isEmpty());
        if (!message.startsWith("Note saved"))
            QCOMPARE(filesIn(vault), before);
    }
};

QTEST_MAIN(TestVaultExport)
#include "TestVaultExport.moc"
