#include "core/Uuid.h"
#include "platform/preferences/Preferences.h"
#include "platform/storage/FolderBookmark.h"
#include "platform/storage/FolderChooser.h"
#include "platform/storage/StorageLocations.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Hands out the folders a test queues, in order, and remembers the titles asked with.
class ScriptedChooser : public FolderChooser {
public:
    QList<std::optional<QString>> folders;
    QStringList titles;
    std::optional<QString> chooseFolder(const QString& title) override
    {
        titles.append(title);
        return folders.isEmpty() ? std::nullopt : folders.takeFirst();
    }
    std::optional<QString> chooseFile(const QString&, const QString&) override { return std::nullopt; }
};

using Kind = StorageLocations::Kind;

const QString relativeMessage
    = QStringLiteral("附件保存路径必须是仓库内的相对目录，不能包含 .. 或空目录名。");
const QString insideMessage = QStringLiteral("附件目录必须位于 Obsidian 仓库内。");
const QString expiredIssue = QStringLiteral("部分附件目录授权已失效，请重新选择原文件夹。");

} // namespace

class TestStorageLocations : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Preferences> m_prefs;
    std::shared_ptr<ScriptedChooser> m_chooser;

    QString path(const QString& relative) const { return m_dir->filePath(relative); }
    QString makeFolder(const QString& relative) const
    {
        QDir().mkpath(path(relative));
        return QDir(path(relative)).canonicalPath();
    }
    std::unique_ptr<StorageLocations> makeLocations() const
    {
        return std::make_unique<StorageLocations>(m_prefs.get(), path("app"), m_chooser);
    }
    void setLanguage(const QString& language) { m_prefs->setString("interfaceLanguage", language); }
    QJsonArray storedFolders() const
    {
        return QJsonDocument::fromJson(m_prefs->data("storageFolders").value_or(QByteArray())).array();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_prefs = std::make_unique<Preferences>(path("prefs.sqlite"));
        Preferences::setStandard(m_prefs.get());
        setLanguage("zh-Hans");
        m_chooser = std::make_shared<ScriptedChooser>();
    }

    void cleanup()
    {
        Preferences::setStandard(nullptr);
        m_prefs.reset();
        m_dir.reset();
    }

    void startsWithDefaults()
    {
        auto storage = makeLocations();
        QCOMPARE(storage->attachmentExportPath(), QString("Sidebar/Attachments"));
        QCOMPARE(storage->recordingExportPath(), QString("Sidebar/Recordings"));
        QVERIFY(!m_prefs->contains("attachmentExportPath"));
        QVERIFY(!storage->issue());
        QVERIFY(!storage->fileFolderID());
        QCOMPARE(storage->label(Kind::files), QString("应用本地目录"));
        setLanguage("en");
        QCOMPARE(storage->label(Kind::recordings), QString("App's Local Folder"));

        QCOMPARE(storage->defaultDirectory(Kind::files).value(), path("app/Attachments"));
        QVERIFY(QFileInfo(path("app/Attachments")).isDir());
        QCOMPARE(storage->directory(Kind::recordings).value(), path("app/Recordings"));
        QCOMPARE(storage->recordingDirectories(), QStringList { path("app/Recordings") });
        // Start-up saves: an empty list and no chosen ids.
        QCOMPARE(storedFolders(), QJsonArray());
        QVERIFY(!m_prefs->contains("fileFolderID"));

        NoteFile file { .filename = "a.pdf", .originalName = "A.pdf" };
        QCOMPARE(storage->fileURL(file).value(), path("app/Attachments/a.pdf"));
    }

    void defaultFolderThatCannotBeCreated()
    {
        QFile blocker(path("blocked"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        StorageLocations storage(m_prefs.get(), path("blocked"), m_chooser);
        const auto folder = storage.defaultDirectory(Kind::recordings);
        QVERIFY(!folder);
        QCOMPARE(folder.error().text(), QString("无法创建文件夹“%1”。").arg(path("blocked/Recordings")));
        QCOMPARE(storage.recordingDirectories(), QStringList());
    }

    void exportPathsAreWrittenOnChange()
    {
        {
            auto storage = makeLocations();
            QSignalSpy attachmentSpy(storage.get(), &StorageLocations::attachmentExportPathChanged);
            QSignalSpy recordingSpy(storage.get(), &StorageLocations::recordingExportPathChanged);
            storage->setAttachmentExportPath("Sidebar/Attachments");
            QCOMPARE(attachmentSpy.count(), 0);
            QVERIFY(!m_prefs->contains("attachmentExportPath"));
            storage->setAttachmentExportPath("Files/In");
            storage->setRecordingExportPath("Audio");
            QCOMPARE(attachmentSpy.count(), 1);
            QCOMPARE(recordingSpy.count(), 1);
            QCOMPARE(m_prefs->string("attachmentExportPath"), std::optional<QString>("Files/In"));
            QCOMPARE(m_prefs->string("recordingExportPath"), std::optional<QString>("Audio"));
        }
        auto storage = makeLocations();
        QCOMPARE(storage->attachmentExportPath(), QString("Files/In"));
        QCOMPARE(storage->recordingExportPath(), QString("Audio"));
    }

    void selectingTheSameFolderTwiceKeepsOneEntry()
    {
        const QString chosen = makeFolder("chosen");
        auto storage = makeLocations();
        QSignalSpy idSpy(storage.get(), &StorageLocations::fileFolderIDChanged);
        m_chooser->folders = { chosen, chosen + "/" };
        storage->select(Kind::files);
        const auto id = storage->fileFolderID();
        QVERIFY(id);
        storage->select(Kind::files);
        QCOMPARE(storage->fileFolderID(), id);
        QCOMPARE(idSpy.count(), 1);
        QCOMPARE(storage->folders().size(), 1);
        QCOMPARE(storage->folders().first().originalPath, std::optional<QString>(chosen));
        QCOMPARE(m_chooser->titles, QStringList({ "选择文件附件存放目录", "选择文件附件存放目录" }));
        QCOMPARE(storage->label(Kind::files), chosen);
        QCOMPARE(storage->directory(Kind::files).value(), chosen);

        // Stored form: upper-case id, kind, Base64 bookmark, original path.
        QCOMPARE(m_prefs->string("fileFolderID"), std::optional<QString>(Uuid::text(*id)));
        const QJsonArray stored = storedFolders();
        QCOMPARE(stored.size(), 1);
        const QJsonObject entry = stored.first().toObject();
        QCOMPARE(entry.value("id").toString(), Uuid::text(*id));
        QCOMPARE(entry.value("kind").toString(), QString("files"));
        QCOMPARE(entry.value("originalPath").toString(), chosen);
        const QByteArray bookmark = QByteArray::fromBase64(entry.value("bookmark").toString().toLatin1());
        QCOMPARE(FolderBookmark::resolve(bookmark).value().path, chosen);

        // Another folder is a new entry; the same folder for recordings shares the id.
        const QString other = makeFolder("other");
        m_chooser->folders = { other, chosen };
        storage->select(Kind::files);
        QVERIFY(storage->fileFolderID() != id);
        storage->select(Kind::recordings);
        QCOMPARE(storage->recordingFolderID(), id);
        QCOMPARE(storage->folders().size(), 3);
        QCOMPARE(storage->folders().last().kind, QString("recordings"));
        QCOMPARE(m_chooser->titles.last(), QString("选择录音存放目录"));
        QCOMPARE(storage->recordingDirectories(), QStringList({ chosen, path("app/Recordings") }));
    }

    void cancelledOrRefusedSelectionKeepsTheChoice()
    {
        const QString chosen = makeFolder("chosen");
        auto storage = makeLocations();
        m_chooser->folders = { chosen };
        storage->select(Kind::recordings);
        const auto id = storage->recordingFolderID();
        QVERIFY(id);

        m_chooser->folders = { std::nullopt };
        storage->select(Kind::recordings);
        QCOMPARE(storage->recordingFolderID(), id);
        QVERIFY(!storage->issue());

        QSignalSpy issueSpy(storage.get(), &StorageLocations::issueChanged);
        m_chooser->folders = { path("missing") };
        storage->select(Kind::recordings);
        QCOMPARE(storage->recordingFolderID(), id);
        QCOMPARE(storage->folders().size(), 1);
        QCOMPARE(storage->issue(),
            std::optional<QString>(
                QString("无法授权目录：文件夹“%1”不存在或无法读取。").arg(path("missing"))));
        QCOMPARE(issueSpy.count(), 1);

        // A good selection clears the problem.
        m_chooser->folders = { chosen };
        storage->select(Kind::recordings);
        QVERIFY(!storage->issue());
    }

    void useDefaultForgetsTheChoiceButKeepsTheFolder()
    {
        const QString chosen = makeFolder("chosen");
        auto storage = makeLocations();
        m_chooser->folders = { chosen };
        storage->select(Kind::files);
        const QUuid id = *storage->fileFolderID();
        storage->useDefault(Kind::files);
        QVERIFY(!storage->fileFolderID());
        QVERIFY(!m_prefs->contains("fileFolderID"));
        QCOMPARE(storage->label(Kind::files), QString("应用本地目录"));
        QCOMPARE(storage->directory(Kind::files).value(), path("app/Attachments"));
        // Files stored in the old folder still resolve.
        NoteFile file { .filename = "x.txt", .originalName = "X.txt", .folderID = id };
        QCOMPARE(storage->fileURL(file).value(), chosen + "/x.txt");
        QCOMPARE(storage->directory(Kind::files, id).value(), chosen);
        QCOMPARE(storedFolders().size(), 1);
    }

    void folderGoneSinceItWasChosen_data()
    {
        QTest::addColumn<bool>("moved");
        QTest::newRow("deleted") << false;
        QTest::newRow("moved") << true;
    }

    void folderGoneSinceItWasChosen()
    {
        QFETCH(bool, moved);
        const QString chosen = makeFolder("chosen");
        QUuid id;
        {
            auto storage = makeLocations();
            m_chooser->folders = { chosen };
            storage->select(Kind::files);
            id = *storage->fileFolderID();
        }
        if (moved)
            QVERIFY(QDir().rename(chosen, path("elsewhere")));
        else
            QVERIFY(QDir(chosen).removeRecursively());

        auto storage = makeLocations();
        QCOMPARE(storage->issue(), std::optional<QString>(expiredIssue));
        QCOMPARE(storage->fileFolderID(), std::optional<QUuid>(id));
        QCOMPARE(storage->label(Kind::files), QString("目录授权已失效"));
        NoteFile file { .filename = "stored-1.pdf", .originalName = "Report.pdf", .folderID = id };
        QCOMPARE(storage->fileURL(file).error().text(), QString("文件目录授权失效：Report.pdf"));
        QCOMPARE(
            storage->directory(Kind::files).error().text(), QString("附件目录不可用，请重新选择原文件夹。"));
        // The entry stays remembered so the folder can be chosen again.
        QCOMPARE(storage->folders().size(), 1);
        QCOMPARE(storedFolders().size(), 1);

        setLanguage("en");
        QCOMPARE(storage->label(Kind::files), QString("Folder Access Expired"));
        QCOMPARE(storage->fileURL(file).error().text(), QString("Folder access expired for: Report.pdf"));
        auto english = makeLocations();
        QCOMPARE(english->issue(),
            std::optional<QString>(
                "Access to some attachment folders has expired. Select the original folders again."));
        setLanguage("zh-Hans");

        // Choosing the folder again at its original place brings the same id back.
        makeFolder("chosen");
        m_chooser->folders = { chosen };
        storage->select(Kind::files);
        QCOMPARE(storage->fileFolderID(), std::optional<QUuid>(id));
        QVERIFY(!storage->issue());
        QCOMPARE(storage->folders().size(), 1);
        QCOMPARE(storage->fileURL(file).value(), chosen + "/stored-1.pdf");
    }

    void folderReplacedAtTheSamePathRenewsTheBookmark()
    {
        const QString chosen = makeFolder("chosen");
        QByteArray original;
        {
            auto storage = makeLocations();
            m_chooser->folders = { chosen };
            storage->select(Kind::recordings);
            original = storage->folders().first().bookmark;
        }
        QVERIFY(QDir().rename(chosen, path("old")));
        makeFolder("chosen");
        auto storage = makeLocations();
        QVERIFY(!storage->issue());
        QCOMPARE(storage->label(Kind::recordings), chosen);
        QVERIFY(storage->folders().first().bookmark != original);
        const QByteArray stored = QByteArray::fromBase64(
            storedFolders().first().toObject().value("bookmark").toString().toLatin1());
        QCOMPARE(stored, storage->folders().first().bookmark);
        QVERIFY(!FolderBookmark::resolve(stored).value().isStale);
    }

    void unreadableStoredFoldersAreKeptAside()
    {
        const QByteArray unreadable = "[{\"id\": 12}]";
        m_prefs->setData("storageFolders", unreadable);
        m_prefs->setString("fileFolderID", "not a uuid");
        const QDateTime before = QDateTime::currentDateTimeUtc();
        auto storage = makeLocations();
        const QDateTime after = QDateTime::currentDateTimeUtc();
        QVERIFY(storage->folders().isEmpty());
        QVERIFY(!storage->fileFolderID());
        QVERIFY(!storage->issue());
        QCOMPARE(storedFolders(), QJsonArray());
        // The bookmarks could not be read, but their bytes are not lost.
        std::optional<QByteArray> keptAside;
        for (QDateTime t = before.addSecs(-1); t <= after.addSecs(1) && !keptAside; t = t.addSecs(1))
            keptAside = m_prefs->data("storageFolders.unreadable-" + t.toString("yyyyMMdd-HHmmss"));
        QCOMPARE(keptAside, std::optional<QByteArray>(unreadable));
    }

    void storedEntryWithoutOriginalPathDecodes()
    {
        const QString chosen = makeFolder("chosen");
        const QUuid id = Uuid::create();
        const QJsonArray array { QJsonObject {
            { "id", Uuid::text(id) },
            { "kind", "files" },
            { "bookmark", QString::fromLatin1(FolderBookmark::create(chosen).value().toBase64()) },
        } };
        m_prefs->setData("storageFolders", QJsonDocument(array).toJson());
        m_prefs->setString("fileFolderID", Uuid::text(id).toLower());
        auto storage = makeLocations();
        QCOMPARE(storage->fileFolderID(), std::optional<QUuid>(id));
        QVERIFY(!storage->folders().first().originalPath);
        QCOMPARE(storage->directory(Kind::files).value(), chosen);
        QVERIFY(!storedFolders().first().toObject().contains("originalPath"));
        QCOMPARE(m_prefs->string("fileFolderID"), std::optional<QString>(Uuid::text(id)));
    }

    void fileNamesCannotLeaveTheirFolder_data()
    {
        QTest::addColumn<QString>("filename");
        QTest::newRow("parent") << "..";
        QTest::newRow("dot") << ".";
        QTest::newRow("empty") << "";
        QTest::newRow("climbs") << "../../secret.txt";
        QTest::newRow("nested") << "sub/file.txt";
    }

    void fileNamesCannotLeaveTheirFolder()
    {
        QFETCH(QString, filename);
        auto storage = makeLocations();
        const auto url = storage->fileURL(NoteFile { .filename = filename, .originalName = "Notes.txt" });
        QVERIFY(!url);
        QCOMPARE(url.error().text(), QString("附件“Notes.txt”的文件名无效。"));
    }

    void exportDirectory_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected"); // relative to the vault; empty when refused
        QTest::addColumn<QString>("message");
        QTest::newRow("plain") << "Sidebar/Attachments"
                               << "Sidebar/Attachments"
                               << "";
        QTest::newRow("trimmed") << "  Sidebar/Attachments \n"
                                 << "Sidebar/Attachments"
                                 << "";
        QTest::newRow("spaces inside") << "My Files/Audio notes"
                                       << "My Files/Audio notes"
                                       << "";
        QTest::newRow("dots in names") << "a.b/..c/d.."
                                       << "a.b/..c/d.."
                                       << "";
        QTest::newRow("link inside") << "inner-link/new"
                                     << "Existing/new"
                                     << "";
        QTest::newRow("absolute") << "/Sidebar"
                                  << "" << relativeMessage;
        QTest::newRow("double slash") << "Sidebar//Attachments"
                                      << "" << relativeMessage;
        QTest::newRow("trailing slash") << "Sidebar/"
                                        << "" << relativeMessage;
        QTest::newRow("dot piece") << "Sidebar/./x"
                                   << "" << relativeMessage;
        QTest::newRow("dot dot") << "Sidebar/../x"
                                 << "" << relativeMessage;
        QTest::newRow("leading dot dot") << "../x"
                                         << "" << relativeMessage;
        QTest::newRow("backslash") << "Sidebar\\x"
                                   << "" << relativeMessage;
        QTest::newRow("empty") << ""
                               << "" << relativeMessage;
        QTest::newRow("blank") << " \t\n "
                               << "" << relativeMessage;
        QTest::newRow("link outside") << "outer-link/x"
                                      << "" << insideMessage;
        QTest::newRow("link outside last") << "outer-link"
                                           << "" << insideMessage;
        QTest::newRow("relative link outside") << "relative-out/x"
                                               << "" << insideMessage;
        QTest::newRow("dangling link outside") << "dangling-out/x"
                                               << "" << insideMessage;
        QTest::newRow("nested link outside") << "Existing/deep-out/x"
                                             << "" << insideMessage;
    }

    void exportDirectory()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QFETCH(QString, message);
        const QString vault = makeFolder("vault");
        const QString outside = makeFolder("outside");
        makeFolder("vault/Existing");
        QVERIFY(QFile::link(vault + "/Existing", vault + "/inner-link"));
        QVERIFY(QFile::link(outside, vault + "/outer-link"));
        QVERIFY(QFile::link("../outside", vault + "/relative-out"));
        QVERIFY(QFile::link(outside + "/not-yet", vault + "/dangling-out"));
        QVERIFY(QFile::link("../../outside", vault + "/Existing/deep-out"));

        auto storage = makeLocations();
        const auto result = storage->exportDirectory(vault, path);
        if (message.isEmpty()) {
            QVERIFY2(result, qPrintable(result ? QString() : result.error().text()));
            QCOMPARE(result.value(), vault + "/" + expected);
            QVERIFY(QFileInfo(result.value()).isDir());
        } else {
            QVERIFY(!result);
            QCOMPARE(result.error().text(), message);
        }
        // Nothing was ever created outside the vault.
        QCOMPARE(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    void exportDirectoryInAVaultReachedThroughALink()
    {
        const QString vault = makeFolder("real-vault");
        QVERIFY(QFile::link(vault, path("vault-link")));
        auto storage = makeLocations();
        QCOMPARE(storage->exportDirectory(path("vault-link"), "Sidebar/Recordings").value(),
            vault + "/Sidebar/Recordings");
        // A link back to the vault itself stays inside.
        QVERIFY(QFile::link(vault, vault + "/self"));
        QCOMPARE(storage->exportDirectory(path("vault-link"), "self").value(), vault);
    }

    void exportDirectoryMessagesInEnglishAndMissingVault()
    {
        auto storage = makeLocations();
        setLanguage("en");
        const QString vault = makeFolder("vault");
        QCOMPARE(storage->exportDirectory(vault, "../x").error().text(),
            QString("Attachment paths must be relative to the vault and cannot contain .. or empty folder "
                    "names."));
        QVERIFY(QFile::link(makeFolder("outside"), vault + "/out"));
        QCOMPARE(storage->exportDirectory(vault, "out").error().text(),
            QString("The attachment folder must be inside the Obsidian vault."));
        setLanguage("zh-Hans");
        // A vault that is gone is not recreated.
        QCOMPARE(storage->exportDirectory(path("unplugged"), "Sidebar/Attachments").error().text(),
            QString("文件夹“%1”不存在或无法读取。").arg(path("unplugged")));
        QVERIFY(!QFileInfo::exists(path("unplugged")));
        // A piece that is a file cannot become a folder.
        QFile file(vault + "/note.md");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(storage->exportDirectory(vault, "note.md/x").error().text(),
            QString("无法创建文件夹“%1”。").arg(vault + "/note.md/x"));
    }
};

QTEST_MAIN(TestStorageLocations)
#include "TestStorageLocations.moc"
