#pragma once

#include "HotKeyRegistering.h"

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>

#include <cstdint>
#include <optional>

struct xcb_connection_t;
typedef struct _XCBKeySymbols xcb_key_symbols_t;

// Global hot keys on X11: passive key grabs on the root window, one per combination of
// the Lock and NumLock bits so that the shortcut works whatever their state. Without an
// X11 connection (a pure Wayland session) every registration fails rather than pretend.
class X11HotKeyBackend : public QObject, public HotKeyRegistering, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11HotKeyBackend(QObject* parent = nullptr);
    ~X11HotKeyBackend() override;

    bool registerBinding(const KeyboardShortcutBinding& binding, ShortcutAction action) override;
    void unregisterAction(ShortcutAction action) override;
    bool isRegistered(ShortcutAction action) const override { return m_grabs.contains(action); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // The X key symbol of a stored virtual key code; nothing for keys the table lacks.
    static std::optional<quint32> keySymbol(quint32 virtualKeyCode);
    // The X modifier mask (Control, Mod1 = Alt, Shift, Mod4 = Super) of a modifier set.
    static quint16 modifierMask(ShortcutModifiers modifiers);

    // Press or release of an action's hot key; fires onAction once per physical press.
    bool receive(quint32 hotKeyID, bool isPressed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Grab {
        KeyboardShortcutBinding binding;
        quint8 keycode = 0;
        quint16 modifiers = 0;
    };
    bool grab(quint8 keycode, quint16 modifiers);
    void ungrab(quint8 keycode, quint16 modifiers);
    std::optional<ShortcutAction> actionFor(quint8 keycode, std::optional<quint16> modifiers) const;
    void releaseLater(ShortcutAction action, quint32 time);

    xcb_connection_t* m_connection = nullptr;
    quint32 m_root = 0;
    xcb_key_symbols_t* m_symbols = nullptr;
    QMap<ShortcutAction, Grab> m_grabs;
    QSet<ShortcutAction> m_pressed;
    // Releases wait a moment: X reports a held key as release + press pairs with equal
    // times, and such a pair is not a new press.
    QHash<ShortcutAction, quint32> m_pendingRelease;
    bool m_filtersInstalled = false;
};
