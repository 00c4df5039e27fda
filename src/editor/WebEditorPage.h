#pragma once

#include "editor/EditorPage.h"

class QWebChannel;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineUrlSchemeHandler;

// The editor page in a QWebEnginePage. Messages arrive over a QWebChannel whose object "jsHandler" the page
// reaches as channel.objects.jsHandler; the channel's script is injected before the page's own scripts run.
class WebEditorPage : public EditorPage
{
    Q_OBJECT

public:
    explicit WebEditorPage(QObject* parent = nullptr);
    ~WebEditorPage() override;

    void registerMessageHandler() override;
    void loadHtml(const QString& html, const QUrl& baseUrl) override;
    void runJavaScript(const QString& script, const ScriptCallback& callback) override;

    // For a view to show.
    QWebEnginePage* webPage() const { return m_page; }

private:
    QWebEngineProfile* m_profile = nullptr;
    QWebEnginePage* m_page = nullptr;
    QWebChannel* m_channel = nullptr;
    QWebEngineUrlSchemeHandler* m_handler = nullptr;
};

// The object the page posts its messages to.
class EditorMessageHandler : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    Q_INVOKABLE void postMessage(const QJsonValue& body) { emit received(body); }

signals:
    void received(const QJsonValue& body);
};
