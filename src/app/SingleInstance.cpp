#include "app/SingleInstance.h"

#include "model/Log.h"

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
    // Each path as UTF-8 followed by a NUL, which no path contains.
    QByteArray request;
    for (const QString& path : paths)
        request += path.toUtf8() + '\0';
    // No paths is a request too: connecting and leaving asks the instance to show itself.
    if (!request.isEmpty()) {
        socket.write(request);
        if (!socket.waitForBytesWritten(kTimeoutMs))
            return false;
    }
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
        auto refused = std::make_shared<bool>(false);
        connect(socket, &QLocalSocket::readyRead, socket, [socket, buffer, refused] {
            buffer->append(socket->readAll());
            if (buffer->size() > kMaxRequest) {
                *refused = true;
                socket->abort();
            }
        });
        // The sender disconnects once it has written everything.
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer, refused] {
            socket->deleteLater();
            if (!*refused)
                buffer->append(socket->readAll());
            const std::optional<QStringList> paths = *refused ? std::nullopt : parseRequest(*buffer);
            if (!paths) {
                BW_LOG_ERROR("accept()", QStringLiteral("Ignored a malformed request from another launch"));
                return;
            }
            if (paths->isEmpty())
                emit reopenRequested();
            else
                emit openRequested(*paths);
        });
    }
}

std::optional<QStringList> SingleInstance::parseRequest(const QByteArray& request)
{
    if (request.size() > kMaxRequest || (!request.isEmpty() && !request.endsWith('\0')))
        return std::nullopt;
    QStringList paths;
    qsizetype start = 0;
    while (start < request.size()) {
        const qsizetype end = request.indexOf('\0', start);
        const QByteArrayView piece(request.constData() + start, end - start);
        // Only absolute paths are sent; anything else did not come from a launch of ours.
        if (piece.isEmpty() || !piece.startsWith('/') || !piece.isValidUtf8())
            return std::nullopt;
        paths << QString::fromUtf8(piece);
        start = end + 1;
    }
    return paths;
}
