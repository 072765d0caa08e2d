#include "platform/storage/FileRevealer.h"
#include "support/ScriptedFileOpener.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QtTest>

namespace {
// A file manager on the test's own session bus (dbus-run-session) that answers as told.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QString answer; // "shows", "refuses" or "silent"
    QStringList asked;

public slots:
    void ShowItems(const QStringList& uris, const QString&)
    {
        asked << uris;
        if (answer == "refuses")
            sendErrorReply(QDBusError::Failed, "cannot show");
        else if (answer == "silent")
            setDelayedReply(true);
    }
};
} // namespace

class TestFileRevealer : public QObject {
    Q_OBJECT

private slots:
    void theFolderOpensUnlessTheFileManagerShowsTheFile_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("no file manager") << "";
        QTest::newRow("shows the file") << "shows";
        QTest::newRow("refuses") << "refuses";
        QTest::newRow("never answers") << "silent";
    }
    void theFolderOpensUnlessTheFileManagerShowsTheFile()
    {
        QFETCH(QString, answer);
        FakeFileManager fileManager;
        fileManager.answer = answer;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, answer);
        const auto disconnect = qScopeGuard([&] { QDBusConnection::disconnectFromBus(answer); });
        QVERIFY(answer.isEmpty()
            || (bus.registerObject("/org/freedesktop/FileManager1", &fileManager,
                    QDBusConnection::ExportAllSlots)
                && bus.registerService("org.freedesktop.FileManager1")));
        auto opener = std::make_shared<ScriptedFileOpener>();
        DesktopFileRevealer revealer(opener, std::chrono::milliseconds(300));
        revealer.reveal("/data/recordings/a.m4a");
        // A second request, refused: once its folder opens, the first has been answered.
        const QString first = "file:///data/recordings/a.m4a";
        QTRY_COMPARE(fileManager.asked, answer.isEmpty() ? QStringList() : QStringList { first });
        fileManager.answer = "refuses";
        revealer.reveal("/data/other/b.m4a");
        QTRY_VERIFY(opener->opened.contains("/data/other"));
        QTRY_COMPARE(opener->opened.contains("/data/recordings"), answer != "shows");
    }
};

QTEST_MAIN(TestFileRevealer)
#include "TestFileRevealer.moc"
