#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// The three actions that can have a global shortcut, in their fixed order.
enum class ShortcutAction { focus, recording, sidebar };

namespace ShortcutActions {
QList<ShortcutAction> allCases();
QString id(ShortcutAction action);
std::optional<ShortcutAction> fromId(const QString& id);
// Position in allCases plus one: the identifier of the action's hot-key registration.
quint32 hotKeyID(ShortcutAction action);
std::optional<ShortcutAction> fromHotKeyID(quint32 hotKeyID);
} // namespace ShortcutActions

// A set of held modifiers over the stored raw bits.
class ShortcutModifiers {
public:
    static constexpr quint32 command = 1;
    static constexpr quint32 control = 2;
    static constexpr quint32 option = 4;
    static constexpr quint32 shift = 8;
    static constexpr quint32 all = 15;

    constexpr ShortcutModifiers() = default;
    constexpr explicit ShortcutModifiers(quint32 rawValue)
        : m_raw(rawValue)
    {
    }
    static constexpr ShortcutModifiers of(std::initializer_list<quint32> members)
    {
        quint32 raw = 0;
        for (quint32 member : members)
            raw |= member;
        return ShortcutModifiers(raw);
    }

    constexpr quint32 rawValue() const { return m_raw; }
    constexpr bool contains(quint32 member) const { return member != 0 && (m_raw & member) == member; }
    constexpr bool isEmpty() const { return m_raw == 0; }
    constexpr ShortcutModifiers united(ShortcutModifiers other) const { return ShortcutModifiers(m_raw | other.m_raw); }
    constexpr ShortcutModifiers intersected(ShortcutModifiers other) const
    {
        return ShortcutModifiers(m_raw & other.m_raw);
    }
    constexpr ShortcutModifiers symmetricDifference(ShortcutModifiers other) const
    {
        return ShortcutModifiers(m_raw ^ other.m_raw);
    }
    constexpr void insert(quint32 member) { m_raw |= member; }
    constexpr void remove(quint32 member) { m_raw &= ~member; }
    constexpr bool isSubset(ShortcutModifiers other) const { return (m_raw & ~other.m_raw) == 0; }
    constexpr bool isSuperset(ShortcutModifiers other) const { return other.isSubset(*this); }
    constexpr bool isDisjoint(ShortcutModifiers other) const { return (m_raw & other.m_raw) == 0; }
    constexpr bool operator==(const ShortcutModifiers&) const = default;

    // ⌃⌥⇧⌘, in that order, for the members present.
    QString symbols() const;

private:
    quint32 m_raw = 0;
};

// One key combination: the layout-independent key code of the non-modifier key, the
// modifiers and the key's display text. Key codes are those of the stored form, so a
// workspace moves between platforms unchanged (35 = P, 15 = R, 49 = Space ...).
struct KeyboardShortcutBinding {
    quint32 keyCode = 0;
    ShortcutModifiers modifiers;
    QString keyLabel;

    bool operator==(const KeyboardShortcutBinding&) const = default;
    bool hasSameKeys(const KeyboardShortcutBinding& other) const
    {
        return keyCode == other.keyCode && modifiers == other.modifiers;
    }
    bool isValid() const;
    // The modifier symbols followed by the key text, e.g. "⌃⌥P"; a "Space" label is shown
    // as `spaceText` (the interface language's word for it).
    QString displayTitle(const QString& spaceText) const;

    static KeyboardShortcutBinding defaults(ShortcutAction action);

    QJsonObject toJson() const;
    static std::optional<KeyboardShortcutBinding> fromJson(const QJsonValue& value);
};
