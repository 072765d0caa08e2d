#pragma once

#include "platform/HttpTransfer.h"

#include <QNetworkProxyFactory>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// The desktop's proxy: the usual variables (http_proxy, https_proxy, all_proxy, no_proxy)
// when one is set, otherwise GNOME's manual proxy settings when it has them, otherwise a
// direct connection.
class DesktopProxyFactory : public QNetworkProxyFactory {
public:
    // One GNOME setting as `gsettings get` prints it ("'manual'", "8080", "['localhost']");
    // empty when unknown.
    using SettingReader = std::function<QString(const QString& schema, const QString& key)>;

    explicit DesktopProxyFactory(SettingReader reader = gsettings);
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override;

    static QString gsettings(const QString& schema, const QString& key);

private:
    SettingReader m_reader;
};

// An HTTP GET through Qt Network, with a network access manager of its own (transfers
// are few and long: model downloads), through the desktop's proxy.
class NetworkTransfer : public HttpTransfer {
    Q_OBJECT
public:
    explicit NetworkTransfer(const HttpRequest& request, QObject* parent = nullptr);

    int statusCode() const override;
    std::optional<qint64> contentLength() const override;
    QByteArray rawHeader(const QByteArray& name) const override;
    qint64 bytesAvailable() const override;
    QByteArray readAll() override;
    void abort() override;
    bool failed() const override;

private:
    QNetworkAccessManager* m_network;
    QNetworkReply* m_reply;
};
