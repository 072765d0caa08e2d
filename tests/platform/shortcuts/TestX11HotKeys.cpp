#include "platform/shortcuts/HeldGrab.h"
#include "platform/shortcuts/X11HotKeyBackend.h"

#include <QGuiApplication>
#include <QProcess>
#include <QtTest>

#include <cstdio>
#include <cstring>

namespace {

bool xdotool(const QStringList& arguments)
{
    return QProcess::execute("xdotool", arguments) == 0;
}


} // namespace

class TestX11HotKeys : public QObject {
    Q_OBJECT

    QProcess m_otherWindow;
    QMap<ShortcutAction, int> m_fired;
    std::unique_ptr<X11HotKeyBackend> m_backend;

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
        // Another application's window has the keyboard focus.
        m_otherWindow.start("xmessage", { "another application" });
        QVERIFY(m_otherWindow.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QProcess::execute("xdotool", { "search", "--class", "Xmessage", "windowfocus" }) == 0,
                                 10000);
    }

    void cleanupTestCase()
    {
        m_backend.reset();
        m_otherWindow.kill();
        m_otherWindow.waitForFinished();
    }

    void init()
    {
        m_fired.clear();
        m_backend = std::make_unique<X11HotKeyBackend>();
        m_backend->onAction = [this](ShortcutAction action) { ++m_fired[action]; };
    }

    void firesOncePerPress()
    {
        QVERIFY(m_backend->registerBinding(KeyboardShortcutBinding::defaults(ShortcutAction::focus),
                                           ShortcutAction::focus));
        QVERIFY(xdotool({ "key", "ctrl+alt+p" }));
        QTRY_COMPARE(m_fired.value(ShortcutAction::focus), 1);
        // Held long enough for the server's auto-repeat to start it counts once; without the
        // modifiers it is not the shortcut.
        QVERIFY(xdotool({ "keydown", "ctrl+alt+p", "sleep", "1.5", "keyup", "ctrl+alt+p" }));
        QVERIFY(xdotool({ "key", "p" }));
        QVERIFY(xdotool({ "key", "ctrl+alt+p" }));
        QTRY_COMPARE(m_fired.value(ShortcutAction::focus), 3);
    }

    void numLockDoesNotMatter()
    {
        QVERIFY(m_backend->registerBinding(KeyboardShortcutBinding::defaults(ShortcutAction::sidebar),
                                           ShortcutAction::sidebar));
        QVERIFY(xdotool({ "key", "Num_Lock" }));
        QVERIFY(xdotool({ "key", "ctrl+alt+space" }));
        QTRY_COMPARE(m_fired.value(ShortcutAction::sidebar), 1);
        QVERIFY(xdotool({ "key", "Num_Lock" }));
        QVERIFY(xdotool({ "key", "ctrl+alt+space" }));
        QTRY_COMPARE(m_fired.value(ShortcutAction::sidebar), 2);
    }

    void unregisteredKeysAreReleased()
    {
        QVERIFY(m_backend->registerBinding(KeyboardShortcutBinding::defaults(ShortcutAction::focus),
                                           ShortcutAction::focus));
        m_backend->unregisterAction(ShortcutAction::focus);
        QVERIFY(m_backend->registerBinding(KeyboardShortcutBinding::defaults(ShortcutAction::sidebar),
                                           ShortcutAction::sidebar));
        QVERIFY(xdotool({ "key", "ctrl+alt+p", "key", "ctrl+alt+space" }));
        QTRY_COMPARE(m_fired.value(ShortcutAction::sidebar), 1);
        QCOMPARE(m_fired.value(ShortcutAction::focus), 0);
        // Released grabs are free for another client again.
        X11HotKeyBackend other;
        QVERIFY(other.registerBinding(KeyboardShortcutBinding::defaults(ShortcutAction::focus), ShortcutAction::focus));
    }

    void combinationHeldByAnotherClientFails()
    {
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), { "--hold-grab" });
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine(), QByteArray("held\n"));

        QVERIFY(!m_backend->registerBinding(KeyboardShortcutBinding::defaults(ShortcutAction::recording),
                                            ShortcutAction::recording));
        QVERIFY(m_backend->registerBinding(KeyboardShortcutBinding::defaults(ShortcutAction::focus),
                                           ShortcutAction::focus));
        QVERIFY(xdotool({ "key", "ctrl+alt+p" }));
        QTRY_COMPARE(m_fired.value(ShortcutAction::focus), 1);
        QCOMPARE(m_fired.value(ShortcutAction::recording), 0);

        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(holder.exitCode(), 0);
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--hold-grab") == 0) {
        QGuiApplication app(argc, argv);
        return holdRecordingGrab();
    }
    QGuiApplication app(argc, argv);
    TestX11HotKeys test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestX11HotKeys.moc"
