#include "editor/WebEditorPage.h"

#include "model/Log.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlSchemeHandler>

namespace {

// The page stays where it was loaded: a dropped file or a link must not replace the editor.
class EditorWebPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override
    {
        return !isMainFrame || url.scheme() == QLatin1String("data") ||
               url.toString().startsWith(EditorPage::pageOrigin());
    }

    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override
    {
        if (level != ErrorMessageLevel)
            return;
        BW_LOG_WARNING("javaScriptConsoleMessage", QStringLiteral("%1:%2: %3").arg(source).arg(line).arg(message));
    }
};

// Serves the page's own files and the texts offered to it under one origin, so that the page may fetch them.
class PageSchemeHandler : public QWebEngineUrlSchemeHandler
{
public:
    PageSchemeHandler(EditorPage& page, QObject* parent) : QWebEngineUrlSchemeHandler(parent), m_page(page) {}
    QString directory;

    void requestStarted(QWebEngineUrlRequestJob* job) override
    {
        const QString path = job->requestUrl().path().mid(1);
        std::optional<QByteArray> bytes;
        QByteArray type = "text/plain;charset=utf-8";
        if (path.startsWith(QLatin1String("text/"))) {
            bytes = m_page.takeOfferedText(path);
        } else if (!path.contains(QLatin1String("..")) && !directory.isEmpty()) {
            QFile file(QDir(directory).filePath(path));
            if (file.open(QIODevice::ReadOnly))
                bytes = file.readAll();
            type = QMimeDatabase().mimeTypeForFile(file.fileName(), QMimeDatabase::MatchExtension).name().toUtf8();
        }
        if (!bytes) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* buffer = new QBuffer;
        buffer->setData(std::move(*bytes));
        buffer->open(QIODevice::ReadOnly);
        connect(job, &QObject::destroyed, buffer, &QObject::deleteLater);
        job->reply(type, buffer);
    }

private:
    EditorPage& m_page;
};

QString webChannelScript()
{
    QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!file.open(QIODevice::ReadOnly)) {
        BW_LOG_ERROR("WebEditorPage", QStringLiteral("The web channel script is missing from Qt WebChannel"));
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace

WebEditorPage::WebEditorPage(QObject* parent)
    : EditorPage(parent)
    // An off-the-record profile: the page is local and keeps nothing on disk.
    , m_profile(new QWebEngineProfile(this))
    , m_page(new EditorWebPage(m_profile, this))
{
    m_handler = new PageSchemeHandler(*this, this);
    m_profile->installUrlSchemeHandler(QByteArrayLiteral("brackwell"), m_handler);
    QWebEngineScript channel;
    channel.setName(QStringLiteral("qwebchannel"));
    channel.setSourceCode(webChannelScript());
    channel.setInjectionPoint(QWebEngineScript::DocumentCreation);
    channel.setWorldId(QWebEngineScript::MainWorld);
    channel.setRunsOnSubFrames(false);
    m_page->scripts().insert(channel);
    connect(m_page, &QWebEnginePage::loadFinished, this, &EditorPage::loadFinished);
}

WebEditorPage::~WebEditorPage()
{
    // The page must go before its profile, and the handler before the texts it serves.
    delete m_page;
    m_profile->removeAllUrlSchemeHandlers();
    delete m_handler;
}

void WebEditorPage::registerMessageHandler()
{
    if (m_channel)
        return;
    m_channel = new QWebChannel(this);
    auto* handler = new EditorMessageHandler(this);
    connect(handler, &EditorMessageHandler::received, this, &EditorPage::messageReceived);
    m_channel->registerObject(QStringLiteral("jsHandler"), handler);
    m_page->setWebChannel(m_channel);
}

void WebEditorPage::loadHtml(const QString& html, const QUrl& baseUrl)
{
    // The page is served from its own origin, whose handler reads the page's files from their folder.
    const QFileInfo file(baseUrl.toLocalFile());
    static_cast<PageSchemeHandler*>(m_handler)->directory = file.absolutePath();
    m_page->setHtml(html, QUrl(pageOrigin() + file.fileName()));
}

void WebEditorPage::runJavaScript(const QString& script, const ScriptCallback& callback)
{
    m_page->runJavaScript(script, QWebEngineScript::MainWorld, [callback](const QVariant& result) {
        if (callback)
            callback(result);
    });
}
