#include "Appearance.h"

#include "platform/preferences/Preferences.h"

#include <QApplication>

namespace {
const QString kAppearanceMode = QStringLiteral("appearanceMode");

// The desktop's highlight, taken before this program ever sets a palette of its own.
QColor systemAccent()
{
    static const QColor accent = QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
    return accent;
}

void setGroupColors(QPalette& palette, QPalette::ColorGroup group, const QColor& window, const QColor& text,
    const QColor& base, const QColor& button, const QColor& placeholder)
{
    palette.setColor(group, QPalette::Window, window);
    palette.setColor(group, QPalette::WindowText, text);
    palette.setColor(group, QPalette::Base, base);
    palette.setColor(group, QPalette::AlternateBase, button);
    palette.setColor(group, QPalette::Text, text);
    palette.setColor(group, QPalette::Button, button);
    palette.setColor(group, QPalette::ButtonText, text);
    palette.setColor(group, QPalette::PlaceholderText, placeholder);
    palette.setColor(group, QPalette::ToolTipBase, base);
    palette.setColor(group, QPalette::ToolTipText, text);
    palette.setColor(group, QPalette::BrightText, Qt::white);
    palette.setColor(group, QPalette::Light, button.lighter(130));
    palette.setColor(group, QPalette::Midlight, button.lighter(115));
    palette.setColor(group, QPalette::Mid, button.darker(130));
    palette.setColor(group, QPalette::Dark, button.darker(160));
    palette.setColor(group, QPalette::Shadow, QColor(0, 0, 0, 90));
}
} // namespace

Appearance::Appearance(Preferences* preferences, DesktopAppearance* desktop, QObject* parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_desktop(desktop)
{
    systemAccent();
    desktop->setParent(this);
    connect(preferences, &Preferences::changed, this, [this](const QString& key) {
        if (key == kAppearanceMode)
            apply();
    });
    connect(desktop, &DesktopAppearance::changed, this, &Appearance::apply);
}

std::optional<bool> Appearance::darkFor(const QString& mode, std::optional<DesktopAppearance::Scheme> desktop)
{
    if (mode == QLatin1String("dark"))
        return true;
    if (mode != QLatin1String("system"))
        return false;
    if (desktop == DesktopAppearance::Scheme::dark)
        return true;
    if (desktop == DesktopAppearance::Scheme::light)
        return false;
    return std::nullopt;
}

QPalette Appearance::palette(bool dark, const QColor& accent)
{
    QPalette palette;
    if (dark) {
        setGroupColors(palette, QPalette::Active, QColor(28, 31, 38), QColor(236, 238, 242),
            QColor(22, 25, 31), QColor(44, 48, 57), QColor(150, 155, 165));
        setGroupColors(palette, QPalette::Disabled, QColor(28, 31, 38), QColor(118, 122, 132),
            QColor(26, 29, 35), QColor(38, 41, 49), QColor(100, 104, 112));
    } else {
        setGroupColors(palette, QPalette::Active, QColor(238, 243, 248), QColor(29, 31, 36),
            QColor(255, 255, 255), QColor(250, 251, 253), QColor(112, 117, 127));
        setGroupColors(palette, QPalette::Disabled, QColor(238, 243, 248), QColor(160, 164, 172),
            QColor(244, 246, 249), QColor(240, 242, 245), QColor(170, 174, 182));
    }
    for (const auto group : { QPalette::Active, QPalette::Disabled }) {
        palette.setColor(group, QPalette::Highlight, group == QPalette::Active ? accent : accent.darker(140));
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::Link, accent);
        palette.setColor(group, QPalette::LinkVisited, accent.darker(120));
    }
    // An inactive window looks like an active one, as on the desktop it sits beside.
    for (int role = 0; role < QPalette::NColorRoles; ++role)
        palette.setColor(QPalette::Inactive, QPalette::ColorRole(role),
            palette.color(QPalette::Active, QPalette::ColorRole(role)));
    return palette;
}

bool Appearance::isDark() const
{
    return QApplication::palette().color(QPalette::Window).lightness() < 128;
}

void Appearance::apply()
{
    const auto dark = darkFor(
        m_preferences->string(kAppearanceMode).value_or(QStringLiteral("system")), m_desktop->scheme());
    if (!m_appliedOnce || dark != m_applied) {
        // An empty palette hands the application back to the one the platform provides.
        QApplication::setPalette(dark ? palette(*dark, systemAccent()) : QPalette());
        m_applied = dark;
        m_appliedOnce = true;
    }
    emit changed();
}
