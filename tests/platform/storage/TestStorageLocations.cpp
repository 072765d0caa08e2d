#include "core/Uuid.h"
#include "platform/preferences/Preferences.h"
#include "platform/storage/FolderBookmark.h"
#include "platform/storage/StorageLocations.h"
#include "support/ScriptedChooser.h"
#include "support/TemporaryProfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {
using Kind = StorageLocations::Kind;
} // namespace

class TestStorageLocations : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    std::shared_ptr<ScriptedChooser> m_chooser;

    QString path(const QString& relative) const { return m_profile->path(relative); }
    QString makeFolder(const QString& relative) const { return m_profile->makeFolder(relative); }
    Preferences* prefs() const { return m_profile->preferences(); }
    std::unique_ptr<StorageLocations> makeLocations() const
    {
        return std::make_unique<StorageLocations>(prefs(), path("app"), m_chooser);
    }
    QJsonArray storedFolders() const
    {
        return QJsonDocument::fromJson(prefs()->data("storageFolders").value_or(QByteArray())).array();
    }
    QUuid choose(StorageLocations& storage, Kind kind, const QString& folder)
    {
        m_chooser->folders = { folder };
        storage.select(kind);
        return storage.folderID(kind).value_or(QUuid());
    }

private slots:
    void init()
    {
        m_profile = std::make_unique<TemporaryProfile>();
        m_chooser = std::make_shared<ScriptedChooser>();
    }
    void cleanup() { m_profile.reset(); }

    void defaultsAndExportPaths()
    {
        {
            auto storage = makeLocations();
            QVERIFY(QFileInfo(storage->defaultDirectory(Kind::files).value()).isDir());
            QCOMPARE(storage->fileURL({ .filename = "a.pdf", .originalName = "A.pdf" }).value(),
                path("app/Attachments/a.pdf"));
            storage->setAttachmentExportPath("Sidebar/Attachments");
            QVERIFY(!prefs()->contains("fileFolderID") && !prefs()->contains("attachmentExportPath"));
            storage->setAttachmentExportPath("Files/In");
            storage->setRecordingExportPath("Audio");
        }
        QCOMPARE(makeLocations()->attachmentExportPath() + makeLocations()->recordingExportPath(),
            "Files/InAudio");

        QVERIFY(!m_profile->writeFile("blocked", "x").isEmpty());
        StorageLocations blocked(prefs(), path("blocked"), m_chooser);
        QCOMPARE(blocked.defaultDirectory(Kind::recordings).error().text(),
            QString("无法创建文件夹“%1”。").arg(path("blocked/Recordings")));
        QCOMPARE(blocked.recordingDirectories(), QStringList());
        // A vault that is not there (an unplugged drive) is not made again.
        QCOMPARE(makeLocations()->exportDirectory(path("unplugged"), "Sidebar").error().text(),
            QString("文件夹“%1”不存在或无法读取。").arg(path("unplugged")));
        QVERIFY(!QFileInfo::exists(path("unplugged")));
    }

    void selectingFolders()
    {
        const QString chosen = makeFolder("chosen");
        auto storage = makeLocations();
        const auto id = std::optional(choose(*storage, Kind::files, chosen));
        QCOMPARE(choose(*storage, Kind::files, chosen + "/"), id);
        // Stored form: upper-case id, kind, Base64 bookmark, original path.
        QCOMPARE(prefs()->string("fileFolderID"), std::optional<QString>(Uuid::text(*id)));
        const QJsonObject entry = storedFolders().first().toObject();
        QCOMPARE(entry.value("kind").toString() + entry.value("originalPath").toString(), "files" + chosen);
        const auto bookmark = QByteArray::fromBase64(entry.value("bookmark").toString().toLatin1());
        QCOMPARE(FolderBookmark::resolve(bookmark).value().path, chosen);

        // Another folder is a new entry; the same folder for recordings shares the id.
        QVERIFY(choose(*storage, Kind::files, makeFolder("other")) != id);
        QCOMPARE(choose(*storage, Kind::recordings, chosen), id);
        QCOMPARE(storage->folders().size(), 3);
        QCOMPARE(m_chooser->titles.mid(2), QStringList({ "选择文件附件存放目录", "选择录音存放目录" }));
        QCOMPARE(storage->recordingDirectories(), QStringList({ chosen, path("app/Recordings") }));

        // Cancelled, refused (the choice stays, the reason shows), then a good selection.
        m_chooser->folders = { std::nullopt, path("missing"), chosen };
        storage->select(Kind::recordings);
        QVERIFY(!storage->issue());
        storage->select(Kind::recordings);
        QCOMPARE(storage->recordingFolderID(), id);
        QCOMPARE(storage->issue().value_or(QString()),
            QString("无法授权目录：文件夹“%1”不存在或无法读取。").arg(path("missing")));
        storage->select(Kind::recordings);
        QVERIFY(!storage->issue());

        // Back to the default: files kept in the chosen folder still resolve.
        storage->useDefault(Kind::recordings);
        QCOMPARE(storage->directory(Kind::recordings).value(), path("app/Recordings"));
        QCOMPARE(storage->fileURL({ .filename = "x.txt", .originalName = "X", .folderID = id }).value(),
            chosen + "/x.txt");

        // Replaced by another folder at the same path: the bookmark is renewed.
        storage.reset();
        QVERIFY(QDir().rename(chosen, path("old")));
        makeFolder("chosen");
        QVERIFY(FolderBookmark::resolve(bookmark).value().isStale);
        storage = makeLocations();
        QVERIFY(!storage->issue());
        const auto renewed = QByteArray::fromBase64(
            storedFolders().first().toObject().value("bookmark").toString().toLatin1());
        QVERIFY(renewed != bookmark && !FolderBookmark::resolve(renewed).value().isStale);
    }

    // Moved away (a deletion takes the same way): the id stays, its files and folder are refused.
    void folderGoneSinceItWasChosen()
    {
        const QString chosen = makeFolder("chosen");
        const QUuid id = choose(*makeLocations(), Kind::files, chosen);
        QVERIFY(QDir().rename(chosen, path("elsewhere")));
        m_profile->setLanguage("en");
        auto storage = makeLocations();
        QCOMPARE(storage->issue().value_or(QString()),
            QString("Access to some attachment folders has expired. Select the original folders again."));
        QCOMPARE(storage->fileFolderID(), std::optional<QUuid>(id));
        QCOMPARE(storage->directory(Kind::files).error().text(),
            QString("The attachment folder is unavailable. Select the original folder again."));
        // The entry stays remembered; choosing the folder again brings the same id back.
        QCOMPARE(choose(*storage, Kind::files, makeFolder("chosen")), id);
        QVERIFY(!storage->issue() && storage->folders().size() == 1);
        QCOMPARE(
            storage->fileURL({ .filename = "stored-1.pdf", .originalName = "R", .folderID = id }).value(),
            chosen + "/stored-1.pdf");
    }

    void unreadableAndOlderStoredFolders()
    {
        // Unreadable: kept aside under a stamped key, not lost.
        QVERIFY(
            prefs()->setData("storageFolders", "[{\"id\": 12}]") && prefs()->setString("fileFolderID", "x"));
        const QDateTime before = QDateTime::currentDateTimeUtc();
        {
            const auto storage = makeLocations();
            QVERIFY(storage->folders().isEmpty() && !storage->fileFolderID() && !storage->issue());
        }
        QCOMPARE(storedFolders(), QJsonArray());
        QCOMPARE(m_profile->keptAside("storageFolders", before), std::optional<QByteArray>("[{\"id\": 12}]"));

        // An entry without an original path and a lower-case id decode.
        const QString chosen = makeFolder("chosen");
        const QUuid id = Uuid::create();
        const QByteArray bookmark = FolderBookmark::create(chosen).value().toBase64();
        QVERIFY(prefs()->setData("storageFolders",
                    "[{\"id\":\"" + Uuid::text(id).toLatin1() + "\",\"kind\":\"files\",\"bookmark\":\""
                        + bookmark + "\"}]")
            && prefs()->setString("fileFolderID", Uuid::text(id).toLower()));
        auto storage = makeLocations();
        QCOMPARE(storage->directory(Kind::files).value(), chosen);
        QCOMPARE(prefs()->string("fileFolderID"), std::optional<QString>(Uuid::text(id)));
        for (const QString name : { "..", ".", "", "../../secret.txt", "sub/file.txt" })
            QCOMPARE(storage->fileURL({ .filename = name, .originalName = "Notes.txt" }).error().text(),
                QString("附件“Notes.txt”的文件名无效。"));
    }

    void exportDirectory_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected"); // relative to the vault; empty when refused
        QTest::addColumn<QString>("message");
        QTest::newRow("trimmed, dots in names") << "  a.b/..c/d.. \n"
                                                << "a.b/..c/d.." << QString();
        QTest::newRow("link inside") << "inner-link/new"
                                     << "Existing/new" << QString();
        QTest::newRow("link to the vault") << "self"
                                           << "" << QString();
        QTest::newRow("absolute") << "/Sidebar"
                                  << ""
                                  << "附件保存路径必须是仓库内的相对目录，不能包含 .. 或空目录名。";
        for (const char* outside : { "outer-link", "dangling-out/x" })
            QTest::newRow(outside) << outside << ""
                                   << "附件目录必须位于 Obsidian 仓库内。";
        QTest::newRow("a file in the way") << "note.md/x" << QString() << "无法创建文件夹“%1/note.md/x”。";
    }
    void exportDirectory()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QFETCH(QString, message);
        const QString vault = makeFolder("real-vault");
        const QString outside = makeFolder("outside");
        makeFolder("real-vault/Existing");
        QVERIFY(QFile::link(vault, this->path("vault"))
            && QFile::link(vault + "/Existing", vault + "/inner-link") && QFile::link(vault, vault + "/self")
            && QFile::link(outside, vault + "/outer-link")
            && QFile::link(outside + "/not-yet", vault + "/dangling-out"));
        m_profile->writeFile("real-vault/note.md", "x");
        const auto result = makeLocations()->exportDirectory(this->path("vault"), path);
        if (message.isEmpty()) {
            QVERIFY2(result, qPrintable(result ? QString() : result.error().text()));
            QCOMPARE(result.value(), expected.isEmpty() ? vault : vault + "/" + expected);
            QVERIFY(QFileInfo(result.value()).isDir());
        } else {
            QCOMPARE(result.error().text(), QString(message).replace("%1", vault));
        }
        QCOMPARE(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_MAIN(TestStorageLocations)
#include "TestStorageLocations.moc"
