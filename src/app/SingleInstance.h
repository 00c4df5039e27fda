#pragma once

#include <QObject>
#include <QStringList>
#include <optional>

class QLocalServer;

// One running Brackwell per user: a later launch hands its files to the running one and exits. The running
// one treats them as the system's request to open files, or raises its window when there are none.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // The local socket name of this user's instance.
    static QString defaultServerName();

    // Sends `paths` (absolute) to the instance listening on `serverName`; false when none is running.
    static bool forwardToRunning(const QStringList& paths, const QString& serverName = defaultServerName());

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Starts listening, replacing a socket left behind by an instance that crashed; false on failure.
    bool listen(const QString& serverName = defaultServerName());

    // The paths of a request, or nothing when it is not one a launch sends.
    static std::optional<QStringList> parseRequest(const QByteArray& request);

signals:
    void openRequested(const QStringList& paths);
    void reopenRequested();

private:
    void accept();

    QLocalServer* m_server;
};
