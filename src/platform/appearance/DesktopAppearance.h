#pragma once

#include <QDBusMessage>
#include <QObject>

#include <optional>

// The desktop's own light/dark choice and contrast wish, as the freedesktop settings portal
// publishes them. The Linux implementation asks the portal; tests hand in a double.
class DesktopAppearance : public QObject {
    Q_OBJECT
public:
    enum class Scheme { noPreference, dark, light };

    using QObject::QObject;
    // None until the desktop has answered, and for good where nothing answers.
    virtual std::optional<Scheme> scheme() const = 0;
    // The desktop asks for higher contrast: surfaces drop their translucency.
    virtual bool highContrast() const = 0;

signals:
    void changed();
};

// org.freedesktop.portal.Settings on the session bus: "color-scheme" and "contrast" of
// "org.freedesktop.appearance", read once without blocking and then followed through
// SettingChanged.
class PortalDesktopAppearance : public DesktopAppearance {
    Q_OBJECT
public:
    explicit PortalDesktopAppearance(QObject* parent = nullptr);

    std::optional<Scheme> scheme() const override { return m_scheme; }
    bool highContrast() const override { return m_highContrast; }

    // The portal's numbers: 1 dark, 2 light, anything else no preference.
    static Scheme schemeFromValue(uint value);

private slots:
    void settingChanged(const QDBusMessage& message);

private:
    void read(const QString& key, bool olderMethod = false);
    void take(const QString& key, const QVariant& value);

    std::optional<Scheme> m_scheme;
    bool m_highContrast = false;
};
