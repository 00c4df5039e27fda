#include "editor/WebEditorPage.h"

#include "model/Log.h"

#include <QFile>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace {

// The page stays where it was loaded: a dropped file or a link must not replace the editor.
class EditorWebPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override
    {
        return !isMainFrame || url.scheme() == QLatin1String("data");
    }

    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override
    {
        if (level != ErrorMessageLevel)
            return;
        BW_LOG_WARNING("javaScriptConsoleMessage", QStringLiteral("%1:%2: %3").arg(source).arg(line).arg(message));
    }
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
    // The page must go before its profile.
    delete m_page;
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
    m_page->setHtml(html, baseUrl);
}

void WebEditorPage::runJavaScript(const QString& script, const ScriptCallback& callback)
{
    m_page->runJavaScript(script, QWebEngineScript::MainWorld, [callback](const QVariant& result) {
        if (callback)
            callback(result);
    });
}
