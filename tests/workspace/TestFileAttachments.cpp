#include "RecordingNotifications.h"
#include "core/WorkspaceJson.h"
#include "platform/storage/StorageLocations.h"
#include "support/PrivateTmpfs.h"
#include "support/ScriptedFileOpener.h"
#include "support/TemporaryProfile.h"
#include "workspace/ContentView.h"
#include "workspace/WorkspaceStore.h"

#include <QMimeData>
#include <QPushButton>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// The store with its attachment folder in `base` (the profile's folder by default) and a
// file opener that only remembers.
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
    ~Workspace() { store.reset(); }
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
        return drop() && QTest::qWaitFor([&] { return changes.count() >= 2 && !store->importingFiles(); }, 20000);
    }
    NotePage page(const QUuid& id) const
    {
        for (const NotePage& page : store->pages())
            if (page.id == id)
                return page;
        return {};
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
        QTest::newRow("colon") << "Q3 plan:draft.key" << "Q3 plan-draft" << ".key";
        QTest::newRow("embed marks") << "x#y[1].md" << "x-y-1-" << ".md";
        QTest::newRow("path and pipe marks") << "a\\b|c^d.txt" << "a-b-c-d" << ".txt";
        QTest::newRow("no extension") << "README" << "README" << "";
        QTest::newRow("several dots") << "Report.final.pdf" << "Report.final" << ".pdf";
        QTest::newRow("long extension") << "a.abcdefghijklmnopqrstuvwxyz" << "a" << ".abcdefghijklmnopqrst";
        QTest::newRow("odd extension") << "a.t-a_r.g~z" << "a.t-a_r" << ".gz";
        QTest::newRow("symbols only extension") << "a.~!@" << "a" << "";
        QTest::newRow("dot dot") << ".." << ".." << "";
        QTest::newRow("line break") << "line\nbreak.txt" << "line-break" << ".txt";
        QTest::newRow("long base") << QString(120, 'x') + ".txt" << QString(80, 'x') << ".txt";
        QTest::newRow("255 bytes of ASCII") << QString(251, 'a') + ".txt" << QString(80, 'a') << ".txt";
        // 85 Chinese characters are 255 bytes; 80 of them and the UUID would not fit in a name.
        QTest::newRow("255 bytes of Chinese") << QString(85, QChar(0x6587)) << QString(72, QChar(0x6587)) << "";
    }
    void storedName()
    {
        QFETCH(QString, original);
        QFETCH(QString, base);
        QFETCH(QString, extension);
        const QUuid id = QUuid::createUuid();
        const QString name = WorkspaceStore::storedFileName(original, id);
        QCOMPARE(name, base + "-" + Uuid::text(id) + extension);
        QTemporaryDir dir;
        QFile file(dir.filePath(name));
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
    }

    void dropLandsOnOnePageInOrder()
    {
        Workspace w;
        const QList<QUrl> files { w.file("Report.final.pdf", "first"), w.file("b.txt", "second"), w.file("c", "third") };
        QVERIFY(w.imports([&] { return w.store->receiveFileURLs(files); }));
        QCOMPARE(w.store->pages().size(), 2);
        const NotePage page = *w.store->currentPage();
        QCOMPARE(page.title, QString("Report.final"));
        QCOMPARE(page.files.size(), 3);
        QString embeds;
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(page.files.at(i).originalName, QFileInfo(files.at(i).toLocalFile()).fileName());
            QFile copy(QDir(w.folder).filePath(page.files.at(i).filename));
            QVERIFY(copy.open(QIODevice::ReadOnly));
            QCOMPARE(copy.readAll(), QList<QByteArray>({ "first", "second", "third" }).at(i));
            embeds += "\n\n![[" + page.files.at(i).filename + "]]\n";
        }
        QCOMPARE(page.content, embeds);
        QCOMPARE(w.stored().size(), 3);
        QCOMPARE(w.preferences()->data("notePages"), WorkspaceJson::encodePages(w.store->pages()));
    }

    void currentNoteChosenAtDropTime_data()
    {
        QTest::addColumn<bool>("deleteIt");
        QTest::newRow("another page selected") << false;
        QTest::newRow("page deleted") << true;
    }
    void currentNoteChosenAtDropTime()
    {
        QFETCH(bool, deleteIt);
        Workspace w;
        w.store->setFileDropNoteDestination(NoteDestination::currentNote);
        const QUuid dropped = w.store->currentPage()->id;
        const QUrl file = w.file("plan.txt");
        QUuid other;
        QVERIFY(w.imports([&] {
            const bool taken = w.store->receiveFileURLs({ file });
            w.store->addPage();
            other = w.store->currentPage()->id;
            if (deleteIt)
                w.store->removePage(dropped);
            return taken;
        }));
        // A deleted page is replaced by one titled after the file.
        const NotePage landed = deleteIt ? w.store->pages().last() : w.page(dropped);
        QCOMPARE(landed.files.size(), 1);
        QVERIFY(landed.id != other);
        QCOMPARE(landed.title == "plan", deleteIt);
        QVERIFY(w.page(other).files.isEmpty());
    }

    void refusedFileLeavesTheOthers_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        const QString irregular = "Drop regular files. Folders and symbolic links are not supported yet.";
        QTest::newRow("folder") << "folder" << irregular;
        QTest::newRow("pipe") << "pipe" << irregular;
        QTest::newRow("symbolic link") << "link" << irregular;
        QTest::newRow("unreadable") << "unreadable" << "Could not read the file “%1”.";
        QTest::newRow("gone") << "gone" << "The file “%1” no longer exists.";
    }
    void refusedFileLeavesTheOthers()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        Workspace w;
        QString bad = w.path("bad");
        if (kind == "folder")
            bad = w.makeFolder("bad");
        else if (kind == "pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(bad).constData(), 0644), 0);
        else if (kind == "link")
            QVERIFY(QFile::link(w.writeFile("target.txt", "x"), bad));
        else if (kind == "unreadable") {
            bad = w.writeFile("bad", "x");
            QFile::setPermissions(bad, {});
            // Root reads a file whatever its mode; a read that fails stands in for it there.
            if (::geteuid() == 0)
                bad = "/proc/self/mem";
        }
        const QList<QUrl> files { w.file("a.txt"), QUrl::fromLocalFile(bad), w.file("b.txt") };
        QVERIFY(w.imports([&] { return w.store->receiveFileURLs(files); }));
        const NotePage page = *w.store->currentPage();
        QCOMPARE(page.files.size(), 2);
        QCOMPARE(page.files.at(1).originalName, QString("b.txt"));
        QCOMPARE(w.stored().size(), 2);
        QCOMPARE(w.store->message(),
                 "Could not add the file to the note: " + reason.replace("%1", QFileInfo(bad).fileName()));
    }

    void fullDiskLeavesNoPartialCopy()
    {
        RUN_IN_PRIVATE_TMPFS();
        Workspace w(PrivateTmpfs::folder());
        QFile filler(PrivateTmpfs::fillerPath());
        QVERIFY(filler.open(QIODevice::WriteOnly) && filler.write(QByteArray(1 << 20, 'f')) == 1 << 20);
        filler.close();
        const QUrl big = w.file("big.bin", QByteArray(3 << 19, 'b'));
        QVERIFY(w.imports([&] { return w.store->receiveFileURLs({ big }); }));
        QCOMPARE(w.store->message(),
                 QString("Could not add the file to the note: There is not enough disk space for a copy of “big.bin”."));
        QCOMPARE(w.stored(), QStringList());
        QCOMPARE(w.store->currentPage()->files.size(), 0);
    }

    void openFile_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("message");
        QTest::newRow("opened") << "opened" << "";
        QTest::newRow("no application") << "refused" << "Could not open the attachment “a.txt”.";
        QTest::newRow("copy removed") << "removed" << "The attachment file “a.txt” could not be found.";
        QTest::newRow("folder access expired") << "expired" << "Folder access expired for: a.txt";
    }
    void openFile()
    {
        QFETCH(QString, situation);
        QFETCH(QString, message);
        Workspace w;
        QVERIFY(w.imports([&] { return w.store->receiveFileURLs({ w.file("a.txt") }); }));
        NoteFile file = w.store->currentPage()->files.first();
        const QString path = QDir(w.folder).filePath(file.filename);
        w.opener->succeeds = situation != "refused";
        if (situation == "removed")
            QVERIFY(QFile::remove(path));
        if (situation == "expired")
            file.folderID = QUuid::createUuid();
        w.store->openFile(file);
        QCOMPARE(w.store->message().value_or(QString()), message);
        QCOMPARE(w.opener->opened, situation == "opened" || situation == "refused" ? QStringList { path } : QStringList());
    }

    void dropOnWindow_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("message");
        QTest::newRow("web address") << QList<QUrl> { QUrl("https://example.com/a.txt") } << "";
        QTest::newRow("file of another machine") << QList<QUrl> { QUrl("file://elsewhere/a.txt") }
                                                 << "Could not read the dropped files. Drag local files from the file manager.";
        QTest::newRow("three files") << QList<QUrl>() << "";
    }
    void dropOnWindow()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, message);
        Workspace w;
        w.store->setFileDropNoteDestination(NoteDestination::currentNote);
        const bool files = urls.isEmpty();
        if (files)
            urls = { w.file("a.txt"), w.file("b.txt"), w.file("c.txt") };
        ContentView view(w.store.get());
        view.resize(420, 800);
        view.show();
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(200, 400), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &enter);
        auto* hint = view.findChild<QWidget*>("fileDropHint");
        QCOMPARE(enter.isAccepted(), files || !message.isEmpty());
        QCOMPARE(hint->isVisible(), enter.isAccepted());
        QCOMPARE(hint->accessibleName(), QString("Drop to Add to the Current Note"));
        QDropEvent drop(QPointF(200, 400), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        const auto dropped = [&] {
            QApplication::sendEvent(&view, &drop);
            return drop.isAccepted();
        };
        if (!files) {
            QCOMPARE(dropped(), !message.isEmpty());
            QTRY_COMPARE(w.store->message().value_or(QString()), message);
            QCOMPARE(w.store->pages().size(), 1);
            return;
        }
        QVERIFY(w.imports(dropped));
        QVERIFY(!hint->isVisible());
        QCOMPARE(w.store->pages().size(), 1);
        const auto buttons = view.findChildren<QPushButton*>("noteFileButton");
        QCOMPARE(buttons.size(), 3);
        QCOMPARE(buttons.at(1)->accessibleName(), QString("Open Attachment: b.txt"));
        buttons.at(1)->click();
        QCOMPARE(w.opener->opened,
                 QStringList { QDir(w.folder).filePath(w.store->currentPage()->files.at(1).filename) });
    }
};

QTEST_MAIN(TestFileAttachments)
#include "TestFileAttachments.moc"
