#include "X11HotKeyBackend.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <X11/keysym.h>

#include <array>

namespace {

// Lock and NumLock (Mod2) must not matter, and pointer buttons held during a key press
// must not hide the shortcut either.
constexpr quint16 kIgnoredModifiers = XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2;
constexpr quint16 kRelevantModifiers
    = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
constexpr std::array<quint16, 4> kLockCombinations { 0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
    XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2 };
// Auto-repeat delivers the next press right after the release; a real release is final
// once this much time passed without one.
constexpr int kReleaseSettleMs = 25;

} // namespace

X11HotKeyBackend::X11HotKeyBackend(QObject* parent)
    : QObject(parent)
{
    if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        m_connection = x11->connection();
        if (m_connection) {
            const xcb_setup_t* setup = xcb_get_setup(m_connection);
            xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
            if (screens.rem > 0)
                m_root = screens.data->root;
            m_symbols = xcb_key_symbols_alloc(m_connection);
        }
    }
}

X11HotKeyBackend::~X11HotKeyBackend()
{
    const auto actions = m_grabs.keys();
    for (ShortcutAction action : actions)
        unregisterAction(action);
    if (m_filtersInstalled) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        QCoreApplication::instance()->removeEventFilter(this);
    }
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
    if (m_connection)
        xcb_flush(m_connection);
}

std::optional<quint32> X11HotKeyBackend::keySymbol(quint32 code)
{
    // Stored key codes are positions on the ANSI layout; letters and digits by position.
    static const QHash<quint32, quint32> table {
        { 0, XK_a }, { 1, XK_s }, { 2, XK_d }, { 3, XK_f }, { 4, XK_h }, { 5, XK_g }, { 6, XK_z }, { 7, XK_x },
        { 8, XK_c }, { 9, XK_v }, { 11, XK_b }, { 12, XK_q }, { 13, XK_w }, { 14, XK_e }, { 15, XK_r },
        { 16, XK_y }, { 17, XK_t }, { 18, XK_1 }, { 19, XK_2 }, { 20, XK_3 }, { 21, XK_4 }, { 22, XK_6 },
        { 23, XK_5 }, { 24, XK_equal }, { 25, XK_9 }, { 26, XK_7 }, { 27, XK_minus }, { 28, XK_8 }, { 29, XK_0 },
        { 30, XK_bracketright }, { 31, XK_o }, { 32, XK_u }, { 33, XK_bracketleft }, { 34, XK_i }, { 35, XK_p },
        { 36, XK_Return }, { 37, XK_l }, { 38, XK_j }, { 39, XK_apostrophe }, { 40, XK_k }, { 41, XK_semicolon },
        { 42, XK_backslash }, { 43, XK_comma }, { 44, XK_slash }, { 45, XK_n }, { 46, XK_m }, { 47, XK_period },
        { 48, XK_Tab }, { 49, XK_space }, { 50, XK_grave }, { 51, XK_BackSpace }, { 53, XK_Escape },
        { 96, XK_F5 }, { 97, XK_F6 }, { 98, XK_F7 }, { 99, XK_F3 }, { 100, XK_F8 }, { 101, XK_F9 }, { 103, XK_F11 },
        { 109, XK_F10 }, { 111, XK_F12 }, { 114, XK_Insert }, { 115, XK_Home }, { 116, XK_Page_Up },
        { 117, XK_Delete }, { 118, XK_F4 }, { 119, XK_End }, { 120, XK_F2 }, { 121, XK_Page_Down }, { 122, XK_F1 },
        { 123, XK_Left }, { 124, XK_Right }, { 125, XK_Down }, { 126, XK_Up },
    };
    const auto it = table.constFind(code);
    if (it == table.cend())
        return std::nullopt;
    return *it;
}

quint16 X11HotKeyBackend::modifierMask(ShortcutModifiers modifiers)
{
    quint16 mask = 0;
    if (modifiers.contains(ShortcutModifiers::control))
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers.contains(ShortcutModifiers::option))
        mask |= XCB_MOD_MASK_1;
    if (modifiers.contains(ShortcutModifiers::shift))
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers.contains(ShortcutModifiers::command))
        mask |= XCB_MOD_MASK_4;
    return mask;
}

bool X11HotKeyBackend::grab(quint8 keycode, quint16 modifiers)
{
    for (quint16 locks : kLockCombinations) {
        xcb_void_cookie_t cookie = xcb_grab_key_checked(m_connection, 1, m_root, modifiers | locks, keycode,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        // Only the checked call reveals BadAccess: the combination belongs to another client.
        if (xcb_generic_error_t* error = xcb_request_check(m_connection, cookie)) {
            free(error);
            ungrab(keycode, modifiers);
            return false;
        }
    }
    return true;
}

void X11HotKeyBackend::ungrab(quint8 keycode, quint16 modifiers)
{
    for (quint16 locks : kLockCombinations)
        xcb_ungrab_key(m_connection, keycode, m_root, modifiers | locks);
    xcb_flush(m_connection);
}

bool X11HotKeyBackend::registerBinding(const KeyboardShortcutBinding& binding, ShortcutAction action)
{
    if (!m_connection || !m_root || !m_symbols)
        return false;
    unregisterAction(action);
    const auto symbol = keySymbol(binding.keyCode);
    if (!symbol)
        return false;
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_symbols, *symbol);
    if (!codes || codes[0] == XCB_NO_SYMBOL) {
        free(codes);
        return false;
    }
    const quint8 keycode = codes[0];
    free(codes);
    const quint16 modifiers = modifierMask(binding.modifiers);
    if (!grab(keycode, modifiers))
        return false;
    m_grabs.insert(action, { binding, keycode, modifiers });
    if (!m_filtersInstalled) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        QCoreApplication::instance()->installEventFilter(this);
        m_filtersInstalled = true;
    }
    return true;
}

void X11HotKeyBackend::unregisterAction(ShortcutAction action)
{
    const auto it = m_grabs.constFind(action);
    if (it != m_grabs.cend()) {
        if (m_connection)
            ungrab(it->keycode, it->modifiers);
        m_grabs.erase(it);
    }
    m_pressed.remove(action);
    m_pendingRelease.remove(action);
}

std::optional<ShortcutAction> X11HotKeyBackend::actionFor(quint8 keycode, std::optional<quint16> modifiers) const
{
    for (auto it = m_grabs.cbegin(); it != m_grabs.cend(); ++it) {
        if (it->keycode == keycode && (!modifiers || it->modifiers == *modifiers))
            return it.key();
    }
    return std::nullopt;
}

bool X11HotKeyBackend::receive(quint32 hotKeyID, bool isPressed)
{
    const auto action = ShortcutActions::fromHotKeyID(hotKeyID);
    if (!action || !m_grabs.contains(*action))
        return false;
    if (!isPressed) {
        m_pressed.remove(*action);
        return true;
    }
    if (m_pressed.contains(*action))
        return true;
    m_pressed.insert(*action);
    if (onAction)
        onAction(*action);
    return true;
}

void X11HotKeyBackend::releaseLater(ShortcutAction action, quint32 time)
{
    m_pendingRelease.insert(action, time);
    QTimer::singleShot(kReleaseSettleMs, this, [this, action, time] {
        const auto pending = m_pendingRelease.constFind(action);
        if (pending == m_pendingRelease.cend() || *pending != time)
            return;
        m_pendingRelease.erase(pending);
        receive(ShortcutActions::hotKeyID(action), false);
    });
}

bool X11HotKeyBackend::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || m_grabs.isEmpty())
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (key->event != m_root)
        return false;
    if (type == XCB_KEY_RELEASE) {
        // Releases arrive with the modifiers already up: match by key only.
        const auto action = actionFor(key->detail, std::nullopt);
        if (!action || !m_pressed.contains(*action))
            return false;
        releaseLater(*action, key->time);
        return true;
    }
    const auto action = actionFor(key->detail, quint16(key->state & kRelevantModifiers & ~kIgnoredModifiers));
    if (!action)
        return false;
    const auto pending = m_pendingRelease.constFind(*action);
    if (pending != m_pendingRelease.cend() && *pending == key->time) {
        // Auto-repeat: the key never went up.
        m_pendingRelease.erase(pending);
        return true;
    }
    if (pending != m_pendingRelease.cend()) {
        m_pendingRelease.erase(pending);
        receive(ShortcutActions::hotKeyID(*action), false);
    }
    receive(ShortcutActions::hotKeyID(*action), true);
    return true;
}

// Key events that reach Tandrel's own windows (no grab involved) still count as the
// shortcut, once per press.
bool X11HotKeyBackend::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) || !watched->isWindowType())
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const auto keycode = quint8(key->nativeScanCode());
    if (event->type() == QEvent::KeyRelease) {
        const auto action = actionFor(keycode, std::nullopt);
        if (!action || !m_pressed.contains(*action) || key->isAutoRepeat())
            return action && m_pressed.contains(*action);
        receive(ShortcutActions::hotKeyID(*action), false);
        return true;
    }
    const auto action = actionFor(keycode, quint16(key->nativeModifiers() & kRelevantModifiers));
    if (!action)
        return false;
    if (!key->isAutoRepeat())
        receive(ShortcutActions::hotKeyID(*action), true);
    return true;
}
