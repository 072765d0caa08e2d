#include "NetworkTransfer.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QRegularExpression>

namespace {

QString unquoted(QString value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.front() == u'\'' && value.back() == u'\'')
        value = value.mid(1, value.size() - 2);
    return value;
}

// GNOME's "ignore-hosts": names, "*.domain" patterns and address ranges.
bool ignored(const QString& host, const QString& list)
{
    static const QRegularExpression entry(QStringLiteral("'([^']*)'"));
    const QHostAddress address(host);
    for (auto match = entry.globalMatch(list); match.hasNext();) {
        const QString pattern = match.next().captured(1).trimmed().toLower();
        if (pattern.isEmpty())
            continue;
        if (pattern == host || (pattern.startsWith(QLatin1String("*.")) && host.endsWith(pattern.mid(1))))
            return true;
        if (!address.isNull()) {
            const auto subnet = QHostAddress::parseSubnet(pattern);
            if (!subnet.first.isNull() && address.isInSubnet(subnet))
                return true;
            if (QHostAddress(pattern) == address)
                return true;
        }
    }
    return false;
}

} // namespace

DesktopProxyFactory::DesktopProxyFactory(SettingReader reader)
    : m_reader(std::move(reader))
{
}

QString DesktopProxyFactory::gsettings(const QString& schema, const QString& key)
{
    QProcess process;
    process.start(QStringLiteral("gsettings"), { QStringLiteral("get"), schema, key });
    if (!process.waitForFinished(2000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(500);
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QList<QNetworkProxy> DesktopProxyFactory::queryProxy(const QNetworkProxyQuery& query)
{
    for (const char* variable : { "http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY" }) {
        if (!qEnvironmentVariableIsEmpty(variable))
            return systemProxyForQuery(query);
    }
    const QString schema = QStringLiteral("org.gnome.system.proxy");
    if (!m_reader || unquoted(m_reader(schema, QStringLiteral("mode"))) != QLatin1String("manual"))
        return systemProxyForQuery(query);
    const QString host = query.peerHostName().toLower();
    if (ignored(host, m_reader(schema, QStringLiteral("ignore-hosts"))))
        return { QNetworkProxy::NoProxy };
    const QString scheme = query.protocolTag().toLower() == QLatin1String("https") ? QStringLiteral("https")
                                                                                     : QStringLiteral("http");
    const auto proxyOf = [this, &schema](const QString& kind, QNetworkProxy::ProxyType type) -> std::optional<QNetworkProxy> {
        const QString proxyHost = unquoted(m_reader(schema + u'.' + kind, QStringLiteral("host")));
        const int port = unquoted(m_reader(schema + u'.' + kind, QStringLiteral("port"))).toInt();
        if (proxyHost.isEmpty() || port <= 0 || port > 65535)
            return std::nullopt;
        return QNetworkProxy(type, proxyHost, quint16(port));
    };
    if (auto proxy = proxyOf(scheme, QNetworkProxy::HttpProxy))
        return { *proxy };
    if (auto proxy = proxyOf(QStringLiteral("socks"), QNetworkProxy::Socks5Proxy))
        return { *proxy };
    return { QNetworkProxy::NoProxy };
}

NetworkTransfer::NetworkTransfer(const HttpRequest& request, QObject* parent)
    : HttpTransfer(parent)
    , m_network(new QNetworkAccessManager(this))
{
    // Read at each transfer: the proxy may have changed since the last one.
    m_network->setProxyFactory(new DesktopProxyFactory);
    QNetworkRequest networkRequest(request.url);
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    for (const auto& [name, value] : request.headers)
        networkRequest.setRawHeader(name, value);
    m_reply = m_network->get(networkRequest);
    m_reply->setParent(this);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpTransfer::headersReceived);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpTransfer::readyRead);
    connect(m_reply, &QNetworkReply::finished, this, &HttpTransfer::finished);
}

int NetworkTransfer::statusCode() const
{
    return m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

std::optional<qint64> NetworkTransfer::contentLength() const
{
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    return length.isValid() ? std::optional(length.toLongLong()) : std::nullopt;
}

QByteArray NetworkTransfer::rawHeader(const QByteArray& name) const
{
    return m_reply->rawHeader(name);
}

qint64 NetworkTransfer::bytesAvailable() const
{
    return m_reply->bytesAvailable();
}

QByteArray NetworkTransfer::readAll()
{
    return m_reply->readAll();
}

void NetworkTransfer::abort()
{
    m_reply->abort();
}

bool NetworkTransfer::failed() const
{
    return m_reply->error() != QNetworkReply::NoError;
}
