#include "app/SingleInstance.h"

#include "model/Log.h"

#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kTimeoutMs = 2000;
// Requests larger than this are not from Brackwell.
constexpr qint64 kMaxRequest = 1 << 20;

} // namespace

QString SingleInstance::defaultServerName()
{
    return QStringLiteral("brackwell-%1").arg(getuid());
}

bool SingleInstance::forwardToRunning(const QStringList& paths, const QString& serverName)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(kTimeoutMs))
        return false;
    QByteArray request;
    QDataStream out(&request, QIODevice::WriteOnly);
    out << paths;
    socket.write(request);
    if (!socket.waitForBytesWritten(kTimeoutMs))
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kTimeoutMs);
    return true;
}

SingleInstance::SingleInstance(QObject* parent) : QObject(parent), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::listen(const QString& serverName)
{
    if (m_server->listen(serverName))
        return true;
    // Nobody answered on this name (the caller tried), so the socket file is stale.
    QLocalServer::removeServer(serverName);
    if (m_server->listen(serverName))
        return true;
    BW_LOG_ERROR("listen(_:)", m_server->errorString());
    return false;
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, socket, [socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > kMaxRequest)
                socket->abort();
        });
        // The sender disconnects once it has written everything.
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
            if (buffer->size() <= kMaxRequest)
                buffer->append(socket->readAll());
            socket->deleteLater();
            QDataStream in(*buffer);
            QStringList paths;
            in >> paths;
            if (in.status() != QDataStream::Ok) {
                BW_LOG_ERROR("accept()", QStringLiteral("Ignored an incomplete request from another launch"));
                return;
            }
            if (paths.isEmpty())
                emit reopenRequested();
            else
                emit openRequested(paths);
        });
    }
}
