#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonValue>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <functional>
#include <optional>

// What the window needs of the code editor page: load it, evaluate a script in it, and hear its messages.
// The web engine provides the real one; tests provide stand-ins that record scripts and deliver messages.
class EditorPage : public QObject
{
    Q_OBJECT

public:
    using ScriptCallback = std::function<void(const QVariant& result)>;

    using QObject::QObject;

    // Registers the message handler "jsHandler" that the page posts to.
    virtual void registerMessageHandler() = 0;
    virtual void loadHtml(const QString& html, const QUrl& baseUrl) = 0;
    // The callback runs on the main thread with the script's result: an invalid value when the script
    // failed. It may not run at all when the page goes away first.
    virtual void runJavaScript(const QString& script, const ScriptCallback& callback) = 0;

    // Keeps `text` for the page to fetch once, by XMLHttpRequest, from the returned address: the way a long
    // text reaches the page without being written into a script. Texts not fetched stay until dropOfferedTexts().
    QString offerText(QByteArray text);
    // The text at `path` ("text/<n>"), which is given out only once.
    std::optional<QByteArray> takeOfferedText(const QString& path);
    void dropOfferedTexts();
    // The address under which the page and what it fetches are served.
    static QString pageOrigin();

signals:
    // A message the page posted to "jsHandler": normally a string, but whatever the page sent.
    void messageReceived(const QJsonValue& body);
    void loadFinished(bool ok);

private:
    // Fetched from the web engine's threads.
    QMutex m_offeredLock;
    QHash<QString, QByteArray> m_offered;
    quint64 m_lastOffered = 0;
};
