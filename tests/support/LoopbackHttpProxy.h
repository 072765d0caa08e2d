#pragma once

#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// A forwarding HTTP proxy on 127.0.0.1, one plain-HTTP request per connection: sends
// "GET http://host:port/path ..." on to that server with the path alone and relays the
// answer. Counts the requests it forwarded.
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
            connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QTcpSocket::readyRead, this, [this, client] {
                QByteArray& request = m_requests[client];
                request += client->readAll();
                if (!request.contains("\r\n\r\n"))
                    return;
                // "GET http://127.0.0.1:port/path HTTP/1.1" becomes "GET /path HTTP/1.1".
                const qsizetype from = request.indexOf(' ') + 1, to = request.indexOf(' ', from);
                const QUrl target(QString::fromLatin1(request.mid(from, to - from)));
                request.replace(from, to - from, target.path(QUrl::FullyEncoded).toLatin1());
                ++forwarded;
                auto* upstream = new QTcpSocket(client); // goes with the client
                connect(upstream, &QTcpSocket::connected, upstream,
                    [upstream, request = std::exchange(request, {})] { upstream->write(request); });
                connect(upstream, &QTcpSocket::readyRead, upstream,
                    [upstream, client] { client->write(upstream->readAll()); });
                connect(upstream, &QTcpSocket::disconnected, upstream, [upstream, client] {
                    client->write(upstream->readAll());
                    client->disconnectFromHost();
                });
                upstream->connectToHost(target.host(), quint16(target.port(80)));
            });
        }
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_requests;
};
