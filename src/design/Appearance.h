#pragma once

#include "platform/appearance/DesktopAppearance.h"

#include <QColor>
#include <QObject>
#include <QPalette>

#include <optional>

class Preferences;

// The application-wide light or dark look chosen by "appearanceMode": "system" follows the
// desktop (its portal setting, else the palette Qt was given), "dark" is dark and anything
// else light. Applied to the whole application at once whenever the choice or the desktop's
// setting changes.
class Appearance : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool dark READ isDark NOTIFY changed)
public:
    // Takes ownership of `desktop`.
    Appearance(Preferences* preferences, DesktopAppearance* desktop, QObject* parent = nullptr);

    // true dark, false light; none: the desktop's own palette stays.
    static std::optional<bool> darkFor(const QString& mode, std::optional<DesktopAppearance::Scheme> desktop);
    static QPalette palette(bool dark, const QColor& accent);

    bool isDark() const;
    // Surfaces are drawn solid rather than translucent.
    bool reducedTransparency() const { return m_desktop->highContrast(); }
    void apply();

signals:
    void changed();

private:
    Preferences* m_preferences;
    DesktopAppearance* m_desktop;
    std::optional<bool> m_applied;
    bool m_appliedOnce = false;
};
