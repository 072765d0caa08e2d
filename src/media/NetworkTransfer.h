#pragma once

#include "platform/HttpTransfer.h"

class QNetworkAccessManager;
class QNetworkReply;

// An HTTP GET through Qt Network, with a network access manager of its own (transfers
// are few and long: model downloads).
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
