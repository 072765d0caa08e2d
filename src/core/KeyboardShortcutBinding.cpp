#include "KeyboardShortcutBinding.h"

#include <QJsonValue>

#include <algorithm>
#include <cmath>

namespace ShortcutActions {

QList<ShortcutAction> allCases()
{
    return { ShortcutAction::focus, ShortcutAction::recording, ShortcutAction::sidebar };
}

QString id(ShortcutAction action)
{
    switch (action) {
    case ShortcutAction::focus:
        return QStringLiteral("focus");
    case ShortcutAction::recording:
        return QStringLiteral("recording");
    case ShortcutAction::sidebar:
        return QStringLiteral("sidebar");
    }
    return {};
}

std::optional<ShortcutAction> fromId(const QString& text)
{
    for (ShortcutAction action : allCases()) {
        if (id(action) == text)
            return action;
    }
    return std::nullopt;
}

quint32 hotKeyID(ShortcutAction action)
{
    return quint32(allCases().indexOf(action)) + 1;
}

std::optional<ShortcutAction> fromHotKeyID(quint32 value)
{
    const auto cases = allCases();
    if (value < 1 || value > quint32(cases.size()))
        return std::nullopt;
    return cases.at(value - 1);
}

} // namespace ShortcutActions

QString ShortcutModifiers::symbols() const
{
    QString text;
    if (contains(control))
        text += QChar(0x2303);
    if (contains(option))
        text += QChar(0x2325);
    if (contains(shift))
        text += QChar(0x21E7);
    if (contains(command))
        text += QChar(0x2318);
    return text;
}

bool KeyboardShortcutBinding::isValid() const
{
    if (keyCode >= 54 && keyCode <= 63)
        return false;
    if (keyCode > 126)
        return false;
    if (keyLabel.isEmpty() || keyLabel.size() > 32)
        return false;
    if (modifiers.rawValue() > ShortcutModifiers::all)
        return false;
    if (modifiers.isDisjoint(ShortcutModifiers::of({ ShortcutModifiers::command, ShortcutModifiers::control,
            ShortcutModifiers::option })))
        return false;
    if (modifiers == ShortcutModifiers::of({ ShortcutModifiers::command, ShortcutModifiers::shift }) && keyCode == 6)
        return false;
    static constexpr quint32 reservedWithCommand[] = { 0, 1, 3, 4, 6, 7, 8, 9, 12, 13, 31, 35, 45, 46, 48, 49 };
    if (modifiers == ShortcutModifiers(ShortcutModifiers::command)
        && std::find(std::begin(reservedWithCommand), std::end(reservedWithCommand), keyCode)
            != std::end(reservedWithCommand))
        return false;
    return true;
}

QString KeyboardShortcutBinding::displayTitle(const QString& spaceText) const
{
    return modifiers.symbols() + (keyLabel == QStringLiteral("Space") ? spaceText : keyLabel);
}

KeyboardShortcutBinding KeyboardShortcutBinding::defaults(ShortcutAction action)
{
    const auto controlOption = ShortcutModifiers::of({ ShortcutModifiers::control, ShortcutModifiers::option });
    switch (action) {
    case ShortcutAction::focus:
        return { 35, controlOption, QStringLiteral("P") };
    case ShortcutAction::recording:
        return { 15, controlOption, QStringLiteral("R") };
    case ShortcutAction::sidebar:
        return { 49, controlOption, QStringLiteral("Space") };
    }
    return {};
}

QJsonObject KeyboardShortcutBinding::toJson() const
{
    return QJsonObject {
        { QStringLiteral("keyCode"), qint64(keyCode) },
        { QStringLiteral("modifiers"), qint64(modifiers.rawValue()) },
        { QStringLiteral("keyLabel"), keyLabel },
    };
}

std::optional<KeyboardShortcutBinding> KeyboardShortcutBinding::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue keyCode = object.value(QStringLiteral("keyCode"));
    const QJsonValue modifiers = object.value(QStringLiteral("modifiers"));
    const QJsonValue keyLabel = object.value(QStringLiteral("keyLabel"));
    // Both numbers must be whole and fit an unsigned 32-bit value, as a typed decoder requires.
    const auto asUInt32 = [](const QJsonValue& number) -> std::optional<quint32> {
        if (!number.isDouble())
            return std::nullopt;
        const double raw = number.toDouble();
        if (raw < 0 || raw > 4294967295.0 || std::floor(raw) != raw)
            return std::nullopt;
        return quint32(raw);
    };
    const auto code = asUInt32(keyCode);
    const auto bits = asUInt32(modifiers);
    if (!code || !bits || !keyLabel.isString())
        return std::nullopt;
    return KeyboardShortcutBinding { *code, ShortcutModifiers(*bits), keyLabel.toString() };
}
