#include "NetworkTransfer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

NetworkTransfer::NetworkTransfer(const HttpRequest& request, QObject* parent)
    : HttpTransfer(parent)
    , m_network(new QNetworkAccessManager(this))
{
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
