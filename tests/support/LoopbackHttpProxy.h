#pragma once

#include <QByteArray>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// A forwarding HTTP proxy on 127.0.0.1 for one plain-HTTP request per connection:
// reads "GET http://host:port/path HTTP/1.1", sends the request on to that server with
// the path alone, and relays the answer. Counts the requests it forwarded.
class LoopbackHttpProxy : public QObject {
    Q_OBJECT
public:
    LoopbackHttpProxy() { connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttpProxy::accept); }

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QByteArray address() const { return "http://127.0.0.1:" + QByteArray::number(m_server.serverPort()); }

    int forwarded = 0;

private:
    void accept()
    {
        while (QTcpSocket* client = m_server.nextPendingConnection()) {
            auto* buffer = new QByteArray;
            connect(client, &QTcpSocket::disconnected, client, [client, buffer] {
                delete buffer;
                client->deleteLater();
            });
            connect(client, &QTcpSocket::readyRead, this, [this, client, buffer] {
                *buffer += client->readAll();
                const qsizetype end = buffer->indexOf("\r\n\r\n");
                if (end < 0 || buffer->isEmpty())
                    return;
                const qsizetype lineEnd = buffer->indexOf("\r\n");
                const QList<QByteArray> requestLine = buffer->left(lineEnd).split(' ');
                if (requestLine.size() != 3)
                    return client->disconnectFromHost();
                const QUrl target(QString::fromLatin1(requestLine.at(1)));
                const QByteArray forward = requestLine.at(0) + ' ' + target.path(QUrl::FullyEncoded).toLatin1() + ' '
                    + requestLine.at(2) + buffer->mid(lineEnd);
                buffer->clear();
                ++forwarded;
                relay(client, target, forward);
            });
        }
    }

    void relay(QTcpSocket* client, const QUrl& target, const QByteArray& request)
    {
        auto* upstream = new QTcpSocket(client);
        QPointer<QTcpSocket> weakClient = client;
        connect(upstream, &QTcpSocket::connected, upstream, [upstream, request] { upstream->write(request); });
        connect(upstream, &QTcpSocket::readyRead, upstream, [upstream, weakClient] {
            if (weakClient)
                weakClient->write(upstream->readAll());
        });
        connect(upstream, &QTcpSocket::disconnected, upstream, [upstream, weakClient] {
            if (weakClient) {
                weakClient->write(upstream->readAll());
                weakClient->disconnectFromHost();
            }
        });
        upstream->connectToHost(target.host(), quint16(target.port(80)));
    }

    QTcpServer m_server;
};
