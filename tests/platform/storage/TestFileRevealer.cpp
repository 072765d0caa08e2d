#include "platform/storage/FileRevealer.h"
#include "support/ScriptedFileOpener.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QtTest>

namespace {
// A file manager on the test's session bus that answers as told.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QString answer; // "shows", "refuses" or "silent"
    QStringList shown;
    QList<QDBusMessage> unanswered;
    int calls = 0;

public slots:
    void ShowItems(const QStringList& uris, const QString&)
    {
        ++calls;
        if (answer == "refuses")
            sendErrorReply(QDBusError::Failed, "cannot show");
        else if (answer == "silent")
            setDelayedReply(true), unanswered.append(message());
        else
            shown << uris;
    }
};
} // namespace

// Under its own session bus (dbus-run-session).
class TestFileRevealer : public QObject {
    Q_OBJECT

    QString m_busName;

private slots:
    void cleanup() { QDBusConnection::disconnectFromBus(std::exchange(m_busName, {})); }

    void theFolderOpensUnlessTheFileManagerShowsTheFile_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("folderOpened");
        QTest::newRow("no file manager") << "" << true;
        QTest::newRow("shows the file") << "shows" << false;
        QTest::newRow("refuses") << "refuses" << true;
        QTest::newRow("never answers") << "silent" << true;
    }
    void theFolderOpensUnlessTheFileManagerShowsTheFile()
    {
        QFETCH(QString, answer);
        QFETCH(bool, folderOpened);
        FakeFileManager fileManager;
        fileManager.answer = answer;
        m_busName = "file-manager-" + answer;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_busName);
        if (!answer.isEmpty()) {
            QVERIFY(bus.registerObject("/org/freedesktop/FileManager1", &fileManager, QDBusConnection::ExportAllSlots));
            QVERIFY(bus.registerService("org.freedesktop.FileManager1"));
        }
        auto opener = std::make_shared<ScriptedFileOpener>();
        DesktopFileRevealer revealer(opener, std::chrono::milliseconds(300));
        revealer.reveal("/data/recordings/a.m4a");
        // A refused second request is answered after the first.
        if (!answer.isEmpty()) {
            QTRY_COMPARE(fileManager.calls, 1);
            fileManager.answer = "refuses";
        }
        revealer.reveal("/data/other/b.m4a");
        QTRY_VERIFY(opener->opened.contains("/data/other"));
        QTRY_COMPARE(opener->opened.contains("/data/recordings"), folderOpened);
        QCOMPARE(fileManager.shown, answer == "shows" ? QStringList { "file:///data/recordings/a.m4a" } : QStringList());
    }
};

QTEST_MAIN(TestFileRevealer)
#include "TestFileRevealer.moc"
