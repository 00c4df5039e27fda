#pragma once

#include <QJsonValue>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <functional>

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

signals:
    // A message the page posted to "jsHandler": normally a string, but whatever the page sent.
    void messageReceived(const QJsonValue& body);
    void loadFinished(bool ok);
};
