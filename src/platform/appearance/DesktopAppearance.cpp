#include "DesktopAppearance.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kColorScheme = QStringLiteral("color-scheme");
const QString kContrast = QStringLiteral("contrast");

// The older Read wraps the value in one more variant than ReadOne.
QVariant unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}
} // namespace

PortalDesktopAppearance::PortalDesktopAppearance(QObject* parent)
    : DesktopAppearance(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // By path and interface alone: naming the portal's service would cost a blocking
    // round trip to the bus (its current owner) before the window can show.
    bus.connect(QString(), kPath, kInterface, QStringLiteral("SettingChanged"), { kGroup }, QString(), this,
        SLOT(settingChanged(QDBusMessage)));
    read(kColorScheme);
    read(kContrast);
}

PortalDesktopAppearance::Scheme PortalDesktopAppearance::schemeFromValue(uint value)
{
    return value == 1 ? Scheme::dark : value == 2 ? Scheme::light : Scheme::noPreference;
}

// Asynchronous, so that a portal being started by the bus never holds up the window.
void PortalDesktopAppearance::read(const QString& key, bool olderMethod)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, kPath, kInterface, olderMethod ? QStringLiteral("Read") : QStringLiteral("ReadOne"));
    call << kGroup << key;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, key, olderMethod](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            const QDBusPendingReply<QDBusVariant> reply = *w;
            if (!reply.isError())
                take(key, reply.argumentAt(0));
            else if (!olderMethod && reply.error().type() == QDBusError::UnknownMethod)
                read(key, true);
        });
}

void PortalDesktopAppearance::settingChanged(const QDBusMessage& message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() == 3 && arguments.at(0).toString() == kGroup)
        take(arguments.at(1).toString(), arguments.at(2));
}

void PortalDesktopAppearance::take(const QString& key, const QVariant& value)
{
    bool ok = false;
    const uint number = unwrap(value).toUInt(&ok);
    if (!ok)
        return;
    if (key == kColorScheme) {
        const Scheme scheme = schemeFromValue(number);
        if (m_scheme == scheme)
            return;
        m_scheme = scheme;
    } else if (key == kContrast) {
        if (m_highContrast == (number == 1))
            return;
        m_highContrast = number == 1;
    } else {
        return;
    }
    emit changed();
}
