#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QUrl>

#include <functional>
#include <optional>

// One HTTP GET, followed through redirects that do not lower security. Main thread only.
class HttpTransfer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The final response's status; 0 until its headers are in.
    virtual int statusCode() const = 0;
    virtual std::optional<qint64> contentLength() const = 0;
    virtual QByteArray rawHeader(const QByteArray& name) const = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray readAll() = 0;
    // Ends the transfer; `finished` follows, with `failed()` true.
    virtual void abort() = 0;
    // After `finished`: the transfer broke off (network error, time-out, abort).
    virtual bool failed() const = 0;

signals:
    void headersReceived();
    void readyRead();
    void finished();
};

struct HttpRequest {
    QUrl url;
    QList<QPair<QByteArray, QByteArray>> headers;
};

// Starts a transfer owned by the caller; nullptr with `error` set (a finished sentence)
// when none can be started.
using HttpGet = std::function<HttpTransfer*(const HttpRequest& request, QString* error)>;
