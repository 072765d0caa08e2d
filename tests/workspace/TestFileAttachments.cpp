#include "RecordingNotifications.h"
#include "platform/storage/StorageLocations.h"
#include "support/PrivateTmpfs.h"
#include "support/ScriptedFileOpener.h"
#include "support/TemporaryProfile.h"
#include "workspace/ContentView.h"
#include "workspace/WorkspaceStore.h"

#include <QMimeData>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// The store with its attachment folder in `base` (default: the profile) and a scripted opener.
struct Workspace : TemporaryProfile {
    std::shared_ptr<ScriptedFileOpener> opener = std::make_shared<ScriptedFileOpener>();
    std::unique_ptr<WorkspaceStore> store;
    QString folder;

    explicit Workspace(const QString& base = {})
        : TemporaryProfile(QStringLiteral("en"))
    {
        WorkspaceServices services;
        services.notifications = new RecordingNotifications;
        services.storage = new StorageLocations(preferences(), base.isEmpty() ? path() : base);
        services.fileOpener = opener;
        store = std::make_unique<WorkspaceStore>(preferences(), services);
        folder = store->storage()->directory(StorageLocations::Kind::files).value();
    }
    QUrl file(const QString& name, const QByteArray& bytes = "bytes of a file") const
    {
        return QUrl::fromLocalFile(writeFile(name, bytes));
    }
    // Everything in the attachment folder, hidden and special files included.
    QStringList stored() const { return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System); }
    // Runs `drop` and waits until every file it handed over is copied or refused.
    bool imports(const std::function<bool()>& drop) const
    {
        QSignalSpy changes(store.get(), &WorkspaceStore::importingFilesChanged);
        return drop()
            && QTest::qWaitFor([&] { return changes.count() >= 2 && !store->importingFiles(); }, 20000);
    }
};

class TestFileAttachments : public QObject {
    Q_OBJECT

private slots:
    void storedName_data()
    {
        QTest::addColumn<QString>("original");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("extension");
        QTest::newRow("colon, embed, path and pipe marks, line break")
            << "Q3 plan:x#y[1]\nb\\c|d^e.key" << "Q3 plan-x-y-1--b-c-d-e" << ".key";
        QTest::newRow("long extension") << "a.abcdefghijklmnopqrstuvwxyz" << "a" << ".abcdefghijklmnopqrst";
        QTest::newRow("odd extension") << "a.t-a_r.g~z" << "a.t-a_r" << ".gz";
        QTest::newRow("dot dot") << ".." << ".." << "";
        QTest::newRow("255 bytes of ASCII") << QString(251, 'a') + ".txt" << QString(80, 'a') << ".txt";
        // 85 Chinese characters are 255 bytes; 80 of them and the UUID would not fit in a name.
        QTest::newRow("255 bytes of Chinese") << QString(85, QChar(0x6587)) << QString(72, QChar(0x6587))
                                              << "";
    }
    void storedName()
    {
        QFETCH(QString, original);
        QFETCH(QString, base);
        QFETCH(QString, extension);
        const QUuid id = QUuid::createUuid();
        const QString name = WorkspaceStore::storedFileName(original, id);
        QVERIFY(name == base + "-" + Uuid::text(id) + extension && name.toUtf8().size() <= 255);
    }

    void dropLandsOnOnePage_data()
    {
        QTest::addColumn<bool>("toCurrentNote");
        QTest::addColumn<bool>("deleteCurrent");
        QTest::newRow("new note") << false << false;
        QTest::newRow("current note, another page chosen meanwhile") << true << false;
        QTest::newRow("current note, deleted meanwhile") << true << true;
    }
    void dropLandsOnOnePage()
    {
        QFETCH(bool, toCurrentNote);
        QFETCH(bool, deleteCurrent);
        Workspace w;
        w.store->setFileDropNoteDestination(toCurrentNote ? NoteDestination::currentNote
                                                          : NoteDestination::newNote);
        const QUuid current = w.store->currentPage()->id;
        const QList<QUrl> files { w.file("Report.final.pdf", "first"), w.file("b.txt", "second"),
            w.file("c", "third") };
        // The user moves on before the copies are done.
        QVERIFY(w.imports([&] {
            const bool taken = w.store->receiveFileURLs(files);
            w.store->addPage();
            if (deleteCurrent)
                w.store->removePage(current);
            return taken;
        }));
        const bool kept = toCurrentNote && !deleteCurrent;
        const NotePage page = kept ? w.store->pages().first() : w.store->pages().last();
        QCOMPARE(page.title == "Report.final", !kept);
        QCOMPARE(w.store->currentPage()->id, w.store->pages().last().id); // the page added, or the new note
        for (const NotePage& each : w.store->pages())
            QCOMPARE(each.files.size(), each.id == page.id ? 3 : 0);
        QString embeds;
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(page.files.at(i).originalName, QFileInfo(files.at(i).toLocalFile()).fileName());
            QFile copy(QDir(w.folder).filePath(page.files.at(i).filename));
            QVERIFY(copy.open(QIODevice::ReadOnly)
                && copy.readAll() == QByteArrayList({ "first", "second", "third" }).at(i));
            embeds += "\n\n![[" + page.files.at(i).filename + "]]\n";
        }
        QVERIFY(page.content == embeds && w.stored().size() == 3);
    }

    void refusedFileLeavesTheOthers_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        const QString irregular = "Drop regular files. Folders and symbolic links are not supported yet.";
        QTest::newRow("pipe") << "pipe" << irregular;
        QTest::newRow("symbolic link") << "link" << irregular;
        QTest::newRow("unreadable") << "unreadable" << "Could not read the file “%1”.";
        QTest::newRow("gone") << "gone" << "The file “%1” no longer exists.";
        QTest::newRow("disk full") << "full" << "There is not enough disk space for a copy of “%1”.";
    }
    void refusedFileLeavesTheOthers()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        if (kind == "full")
            RUN_IN_PRIVATE_TMPFS();
        Workspace w(kind == "full" ? PrivateTmpfs::folder() : QString());
        QString bad = w.path("bad");
        if (kind == "full") {
            // Half of the 2 MB is left: the small files fit, the large one stops halfway.
            QFile filler(PrivateTmpfs::fillerPath());
            QVERIFY(filler.open(QIODevice::WriteOnly) && filler.write(QByteArray(1 << 20, 'f')) == 1 << 20);
            bad = w.writeFile("bad", QByteArray(3 << 19, 'b'));
        } else if (kind == "pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(bad).constData(), 0644), 0);
        else if (kind == "link")
            QVERIFY(QFile::link(w.writeFile("target.txt", "x"), bad));
        else if (kind == "unreadable" && ::geteuid() == 0)
            bad = "/proc/self/mem"; // root reads a file whatever its mode; this read fails for it too
        else if (kind == "unreadable")
            QFile::setPermissions(bad = w.writeFile("bad", "x"), {});
        const QList<QUrl> files { w.file("a.txt"), QUrl::fromLocalFile(bad), w.file("b.txt") };
        QVERIFY(w.imports([&] { return w.store->receiveFileURLs(files); }));
        const QList<NoteFile> added = w.store->currentPage()->files;
        QVERIFY(added.size() == 2 && added.at(1).originalName == "b.txt");
        // Nothing is left of a copy that failed halfway.
        QCOMPARE(w.stored().size(), 2);
        QCOMPARE(w.store->message(),
            "Could not add the file to the note: " + reason.replace("%1", QFileInfo(bad).fileName()));
    }

    // Through the window: what cannot be copied is refused; files land on the current note and open.
    void dropOnWindow()
    {
        Workspace w;
        w.store->setFileDropNoteDestination(NoteDestination::currentNote);
        ContentView view(w.store.get());
        view.show();
        QMimeData data;
        // Whether the window takes the drop (-1: the hint or the drop disagree with the drag).
        const auto drop = [&](const QList<QUrl>& urls, QWidget* target = nullptr) {
            data.setUrls(urls);
            target = target ? target : &view;
            QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &enter);
            const auto* hint = view.findChild<QWidget*>("fileDropHint");
            const bool hinted = hint && hint->isVisible();
            QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &drop);
            const bool same = hinted == enter.isAccepted() && drop.isAccepted() == enter.isAccepted();
            return same && !(hint && hint->isVisible()) ? int(enter.isAccepted()) : -1;
        };
        QCOMPARE(drop({ QUrl("https://example.com/a.txt") }), 0);
        QCOMPARE(drop({ QUrl("file://elsewhere/a.txt") }), 1);
        QTRY_COMPARE(w.store->message().value_or(QString()),
            "Could not read the dropped files. Drag local files from the file manager.");
        QVERIFY(w.imports([&] { return drop({ w.file("a.txt"), w.file("b.txt"), w.file("c.txt") }) == 1; }));
        const auto buttons = view.findChildren<QPushButton*>("noteFileButton");
        QCOMPARE(buttons.size(), 3);
        const QString copy = QDir(w.folder).filePath(w.store->currentPage()->files.at(1).filename);
        buttons.at(1)->click();
        w.opener->succeeds = false; // no application takes it
        buttons.at(1)->click();
        QCOMPARE(w.store->message(), QString("Could not open the attachment “b.txt”."));
        QVERIFY(QFile::remove(copy));
        buttons.at(1)->click();
        QCOMPARE(w.store->message(), QString("The attachment file “b.txt” could not be found."));
        NoteFile file = w.store->currentPage()->files.at(0);
        file.folderID = QUuid::createUuid();
        w.store->openFile(file);
        QCOMPARE(w.store->message(), QString("Folder access expired for: a.txt"));
        QCOMPARE(w.opener->opened, QStringList({ copy, copy }));
        // On a text field files are attached, not typed in as the paths file managers also offer.
        auto* field = view.findChild<QLineEdit*>("taskDraftField");
        data.setText(w.file("d.txt").toString());
        QVERIFY(w.imports([&] { return drop({ w.file("d.txt") }, field) == 1; }));
        QCOMPARE(w.store->currentPage()->files.size(), 4);
        QVERIFY(field->text().isEmpty());
    }
};

QTEST_MAIN(TestFileAttachments)
#include "TestFileAttachments.moc"
