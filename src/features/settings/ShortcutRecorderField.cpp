#include "ShortcutRecorderField.h"

#include "platform/localization/L10n.h"

#include <QHash>
#include <QKeyEvent>

namespace {
struct StoredKey {
    quint32 code;
    QString label;
};

// Qt's keys by the stored key codes (positions on the ANSI layout, as the hot keys read them).
const QHash<int, StoredKey>& storedKeys()
{
    static const QHash<int, StoredKey> table = [] {
        QHash<int, StoredKey> keys;
        // Key codes 0 to 50 in order; a blank has no character key.
        const QString plain = QStringLiteral("asdfhgzxcv bqweryt123465=97-80]ou[ip lj'k;\\,/nm.  `");
        for (int code = 0; code < plain.size(); ++code) {
            const QChar c = plain.at(code);
            if (c != QLatin1Char(' '))
                keys.insert(c.toUpper().unicode(), { quint32(code), QString(c.toUpper()) });
        }
        // With Shift held Qt reports the shifted character of the same key.
        const QString unshifted = QStringLiteral("1234567890-=[]\\;',./`");
        const QString shifted = QStringLiteral("!@#$%^&*()_+{}|:\"<>?~");
        for (int i = 0; i < shifted.size(); ++i)
            keys.insert(shifted.at(i).unicode(), keys.value(unshifted.at(i).unicode()));
        const QList<std::pair<int, StoredKey>> named { { Qt::Key_Return, { 36, "Return" } },
            { Qt::Key_Enter, { 36, "Return" } }, { Qt::Key_Tab, { 48, "Tab" } },
            { Qt::Key_Backtab, { 48, "Tab" } }, { Qt::Key_Space, { 49, "Space" } },
            { Qt::Key_Backspace, { 51, "⌫" } }, { Qt::Key_Escape, { 53, "Esc" } },
            { Qt::Key_F1, { 122, "F1" } }, { Qt::Key_F2, { 120, "F2" } }, { Qt::Key_F3, { 99, "F3" } },
            { Qt::Key_F4, { 118, "F4" } }, { Qt::Key_F5, { 96, "F5" } }, { Qt::Key_F6, { 97, "F6" } },
            { Qt::Key_F7, { 98, "F7" } }, { Qt::Key_F8, { 100, "F8" } }, { Qt::Key_F9, { 101, "F9" } },
            { Qt::Key_F10, { 109, "F10" } }, { Qt::Key_F11, { 103, "F11" } }, { Qt::Key_F12, { 111, "F12" } },
            { Qt::Key_Insert, { 114, "Insert" } }, { Qt::Key_Home, { 115, "Home" } },
            { Qt::Key_PageUp, { 116, "Page Up" } }, { Qt::Key_Delete, { 117, "⌦" } },
            { Qt::Key_End, { 119, "End" } }, { Qt::Key_PageDown, { 121, "Page Down" } },
            { Qt::Key_Left, { 123, "←" } }, { Qt::Key_Right, { 124, "→" } }, { Qt::Key_Down, { 125, "↓" } },
            { Qt::Key_Up, { 126, "↑" } } };
        for (const auto& [key, stored] : named)
            keys.insert(key, stored);
        return keys;
    }();
    return table;
}

ShortcutModifiers modifiersOf(Qt::KeyboardModifiers held)
{
    ShortcutModifiers modifiers;
    if (held & Qt::ControlModifier)
        modifiers.insert(ShortcutModifiers::control);
    if (held & Qt::AltModifier)
        modifiers.insert(ShortcutModifiers::option);
    if (held & Qt::ShiftModifier)
        modifiers.insert(ShortcutModifiers::shift);
    if (held & Qt::MetaModifier)
        modifiers.insert(ShortcutModifiers::command);
    return modifiers;
}

bool isModifierKey(int key)
{
    return key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Shift || key == Qt::Key_Meta
        || key == Qt::Key_Super_L || key == Qt::Key_Super_R || key == Qt::Key_AltGr || key == Qt::Key_CapsLock
        || key == Qt::Key_NumLock || key == Qt::Key_Hyper_L || key == Qt::Key_Hyper_R;
}

constexpr Qt::KeyboardModifiers kShortcutModifiers
    = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier;
} // namespace

ShortcutRecorderField::ShortcutRecorderField(QWidget* parent)
    : QPushButton(parent)
{
    setAutoDefault(false);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QPushButton::clicked, this, [this] {
        if (!m_recording)
            startRecording();
    });
    updateText();
}

std::optional<KeyboardShortcutBinding> ShortcutRecorderField::bindingFor(
    int key, Qt::KeyboardModifiers modifiers)
{
    const auto stored = storedKeys().constFind(key);
    if (stored == storedKeys().cend())
        return std::nullopt;
    return KeyboardShortcutBinding { stored->code, modifiersOf(modifiers), stored->label };
}

void ShortcutRecorderField::setBinding(const std::optional<KeyboardShortcutBinding>& binding)
{
    m_binding = binding;
    updateText();
}

void ShortcutRecorderField::startRecording()
{
    m_recording = true;
    m_refused = false;
    m_unusable = false;
    m_candidate.reset();
    m_held = {};
    setFocus(Qt::OtherFocusReason);
    updateText();
    emit recordingChanged(true);
}

void ShortcutRecorderField::refuse()
{
    m_refused = true;
    updateText();
}

void ShortcutRecorderField::stopRecording()
{
    if (!m_recording)
        return;
    m_recording = false;
    m_candidate.reset();
    updateText();
    emit recordingChanged(false);
}

void ShortcutRecorderField::updateText()
{
    if (!m_recording) {
        setText(m_binding ? m_binding->displayTitle(L10n::tr("空格")) : L10n::tr("未设置"));
    } else if (m_candidate) {
        setText(m_candidate->displayTitle(L10n::tr("空格")));
    } else {
        const QString symbols = modifiersOf(m_held).symbols();
        setText(
            symbols.isEmpty() ? (m_refused ? L10n::tr("请重新录入…") : L10n::tr("请按快捷键…")) : symbols);
    }
    setToolTip(L10n::tr("点击后按下你想使用的组合键"));
    setDown(m_recording);
}

bool ShortcutRecorderField::event(QEvent* event)
{
    if (m_recording) {
        // While recording every key is the combination: no shortcut of the window fires and
        // Tab does not move the focus away.
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        }
    }
    return QPushButton::event(event);
}

void ShortcutRecorderField::keyPressEvent(QKeyEvent* event)
{
    if (!m_recording) {
        QPushButton::keyPressEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat())
        return;
    const int key = event->key();
    m_held = event->modifiers() & kShortcutModifiers;
    if (isModifierKey(key)) {
        updateText();
        return;
    }
    if (!m_held && key == Qt::Key_Escape) {
        stopRecording();
        return;
    }
    if (!m_held && (key == Qt::Key_Delete || key == Qt::Key_Backspace)) {
        stopRecording();
        emit cleared();
        return;
    }
    m_candidate = bindingFor(key, m_held);
    m_unusable = !m_candidate;
    updateText();
}

void ShortcutRecorderField::keyReleaseEvent(QKeyEvent* event)
{
    if (!m_recording) {
        QPushButton::keyReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat() || isModifierKey(event->key())) {
        m_held = event->modifiers() & kShortcutModifiers;
        if (!m_candidate)
            updateText();
        return;
    }
    if (std::exchange(m_unusable, false)) {
        emit unusableKey();
        return;
    }
    if (const auto candidate = std::exchange(m_candidate, std::nullopt))
        emit recorded(*candidate);
}

void ShortcutRecorderField::focusOutEvent(QFocusEvent* event)
{
    stopRecording();
    QPushButton::focusOutEvent(event);
}

void ShortcutRecorderField::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        updateText();
    QPushButton::changeEvent(event);
}
