#pragma once

#include "core/KeyboardShortcutBinding.h"

#include <QPushButton>

#include <optional>

// Shows an action's combination; clicked, it records a new one: the keys pressed are shown,
// releasing them offers the combination (`recorded`), Esc cancels, Delete or Backspace
// alone clears. Whether the combination is taken is for the owner to say: `refuse()` keeps
// recording, `stopRecording()` ends it.
class ShortcutRecorderField : public QPushButton {
    Q_OBJECT
public:
    explicit ShortcutRecorderField(QWidget* parent = nullptr);

    bool isRecording() const { return m_recording; }
    void setBinding(const std::optional<KeyboardShortcutBinding>& binding);
    void refuse();
    void stopRecording();

    // The stored key code and label of a key as Qt reports it with the modifiers held;
    // nothing for keys that cannot be a global shortcut.
    static std::optional<KeyboardShortcutBinding> bindingFor(int key, Qt::KeyboardModifiers modifiers);

signals:
    void recordingChanged(bool recording);
    void recorded(const KeyboardShortcutBinding& binding);
    // A key that no shortcut can use was pressed.
    void unusableKey();
    void cleared();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void startRecording();
    void updateText();

    bool m_recording = false;
    bool m_refused = false;
    // A key without a stored code is pressed.
    bool m_unusable = false;
    std::optional<KeyboardShortcutBinding> m_binding;
    std::optional<KeyboardShortcutBinding> m_candidate;
    Qt::KeyboardModifiers m_held;
};
