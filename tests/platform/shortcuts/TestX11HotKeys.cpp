#include "platform/shortcuts/X11HotKeyBackend.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QProcess>
#include <QtTest>

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace {

bool xdotool(const QStringList& arguments)
{
    return QProcess::execute("xdotool", arguments) == 0;
}

// Counts key presses, auto-repeated ones included; installed last, it sees them first.
struct PressCounter : QAbstractNativeEventFilter {
    int presses = 0;
    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override
    {
        presses += (static_cast<xcb_generic_event_t*>(message)->response_type & 0x7f) == XCB_KEY_PRESS;
        return false;
    }
};

} // namespace

class TestX11HotKeys : public QObject {
    Q_OBJECT

    QProcess m_otherWindow;

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
        // Auto-repeat starts soon, so that a held key repeats within a short hold.
        Display* display = XOpenDisplay(nullptr);
        QVERIFY(display && XkbSetAutoRepeatRate(display, XkbUseCoreKbd, 200, 20));
        XCloseDisplay(display);
        // Another application's window has the keyboard focus.
        m_otherWindow.start("xmessage", { "another application" });
        QVERIFY(m_otherWindow.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(xdotool({ "search", "--class", "Xmessage", "windowfocus" }), 10000);
    }

    void cleanupTestCase()
    {
        m_otherWindow.kill();
        m_otherWindow.waitForFinished();
    }

    // A combination another client holds fails, the others work. A held key fires once;
    // NumLock does not matter; unregistered keys are free again.
    void firesOncePerPress()
    {
        const std::unique_ptr<Display, int (*)(Display*)> holder(XOpenDisplay(nullptr), XCloseDisplay);
        QVERIFY(holder);
        XGrabKey(holder.get(), XKeysymToKeycode(holder.get(), XK_r), ControlMask | Mod1Mask,
            DefaultRootWindow(holder.get()), True, GrabModeAsync, GrabModeAsync);
        XSync(holder.get(), False);
        X11HotKeyBackend backend;
        QMap<ShortcutAction, int> fired;
        backend.onAction = [&](ShortcutAction action) { ++fired[action]; };
        for (ShortcutAction action : ShortcutActions::allCases())
            QCOMPARE(backend.registerBinding(KeyboardShortcutBinding::defaults(action), action),
                action != ShortcutAction::recording);
        QVERIFY(xdotool({ "key", "ctrl+alt+p" }));
        QTRY_COMPARE(fired.value(ShortcutAction::focus), 1);
        PressCounter counter;
        QCoreApplication::instance()->installNativeEventFilter(&counter);
        QVERIFY(xdotool({ "keydown", "ctrl+alt+p" }));
        QTRY_VERIFY(counter.presses >= 3);
        QVERIFY(xdotool({ "keyup", "ctrl+alt+p" }));
        QCoreApplication::instance()->removeNativeEventFilter(&counter);
        QVERIFY(xdotool({ "key", "p", "key", "Num_Lock", "key", "ctrl+alt+space", "key", "Num_Lock" }));
        QTRY_COMPARE(fired.value(ShortcutAction::sidebar), 1);
        QVERIFY(xdotool({ "key", "ctrl+alt+p" }));
        QTRY_COMPARE(fired.value(ShortcutAction::focus), 3);
        backend.unregisterAction(ShortcutAction::focus);
        QVERIFY(xdotool({ "key", "ctrl+alt+p", "key", "ctrl+alt+space" }));
        QTRY_COMPARE(fired.value(ShortcutAction::sidebar), 2);
        QCOMPARE(fired.value(ShortcutAction::focus), 3);
        X11HotKeyBackend other;
        QVERIFY(other.registerBinding(
            KeyboardShortcutBinding::defaults(ShortcutAction::focus), ShortcutAction::focus));
    }
};

QTEST_MAIN(TestX11HotKeys)
#include "TestX11HotKeys.moc"
