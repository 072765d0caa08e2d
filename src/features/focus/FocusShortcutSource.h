#pragma once

#include <QObject>
#include <QString>

#include <optional>

// Where the timer panel learns which global shortcut starts and pauses focus, to show it
// in its help text.
class FocusShortcutSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The binding's display title ("⌃⌥P" ...), or nothing when no shortcut is bound.
    virtual std::optional<QString> focusShortcutDisplay() const = 0;

signals:
    void focusShortcutChanged();
};
