#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// An HTTP server on 127.0.0.1 for the downloader tests. It records each request exactly as received and answers
// every one with the configured response, or hangs up without answering.
class LocalHttpServer
{
public:
    LocalHttpServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
        m_server.listen(QHostAddress::LocalHost);
    }

    bool isListening() const { return m_server.isListening(); }
    QUrl url(const QString& pathAndQuery = QStringLiteral("/")) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(pathAndQuery));
    }

    void respond(int status, const QByteArray& reason, const QByteArray& body,
                 const QList<QPair<QByteArray, QByteArray>>& headers = {})
    {
        m_hangUp = false;
        m_stall = false;
        m_response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
        for (const auto& [name, value] : headers)
            m_response += name + ": " + value + "\r\n";
        m_response += "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }
    void hangUp() { m_hangUp = true; }
    // Answers with exactly these bytes (a status line, headers and whatever part of a body), then hangs up, or
    // with `stall` keeps the connection open without sending another byte.
    void respondRaw(const QByteArray& bytes, bool stall = false)
    {
        m_hangUp = false;
        m_response = bytes;
        m_stall = stall;
    }

    // Raw bytes of each connection, in the order they were accepted.
    QList<QByteArray> requests;

    // The header section of a raw request split from what follows it.
    static QByteArray headerSection(const QByteArray& request)
    {
        const qsizetype end = request.indexOf("\r\n\r\n");
        return end < 0 ? request : request.left(end + 2);
    }
    static QByteArray afterHeaders(const QByteArray& request)
    {
        const qsizetype end = request.indexOf("\r\n\r\n");
        return end < 0 ? QByteArray() : request.mid(end + 4);
    }
    // The header lines whose name matches, compared without letter case, as "Name: value".
    static QList<QByteArray> headerLines(const QByteArray& request, const QByteArray& name)
    {
        QList<QByteArray> found;
        const QList<QByteArray> lines = headerSection(request).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].chopped(lines[i].endsWith('\r') ? 1 : 0);
            if (line.toLower().startsWith(name.toLower() + ':'))
                found << line;
        }
        return found;
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            const qsizetype index = requests.size();
            requests << QByteArray();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, index] { read(*socket, index); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void read(QTcpSocket& socket, qsizetype index)
    {
        requests[index] += socket.readAll();
        // Answer once the declared body is in; whatever else the client writes before that is recorded too.
        const QByteArray& request = requests[index];
        if (socket.property("answered").toBool() || request.indexOf("\r\n\r\n") < 0)
            return;
        const QList<QByteArray> length = headerLines(request, "Content-Length");
        const qsizetype expected = length.isEmpty() ? 0 : length.first().mid(15).trimmed().toLongLong();
        if (afterHeaders(request).size() < expected)
            return;
        socket.setProperty("answered", true);
        if (!m_hangUp)
            socket.write(m_response);
        if (!m_stall)
            socket.disconnectFromHost();
    }

    QTcpServer m_server;
    QByteArray m_response;
    bool m_hangUp = false;
    bool m_stall = false;
};
