// The controller's half of the code editor: loading the page, pushing the document's text into it, the
// page's messages and edits.
#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "app/OutlineModel.h"
#include "app/undo/UndoHistory.h"
#include "editor/ContentPusher.h"
#include "editor/EditorMessages.h"
#include "editor/EditorPageFiles.h"
#include "editor/PageEditReader.h"
#include "editor/WebEditorPage.h"
#include "model/EditStep.h"
#include "model/Log.h"

#include <QJsonObject>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QWebEngineView>
#include <utility>

void AppDelegate::setWebview(EditorPage* page)
{
    m_webview = page;
}

QString AppDelegate::editorPageDirectory() const
{
    return m_editorPageDirectory.isEmpty() ? EditorPageFiles::defaultDirectory() : m_editorPageDirectory;
}

void AppDelegate::setEditorPageDirectory(const QString& directory)
{
    m_editorPageDirectory = directory;
}

void AppDelegate::setupWebview()
{
    if (!m_webview && qEnvironmentVariable("BRACKWELL_EDITOR_PAGE") == QLatin1String("none")) {
        // Headless runs that have no use for a web engine.
        BW_LOG_WARNING("setupWebview()",
                       QStringLiteral("The code editor page is turned off (BRACKWELL_EDITOR_PAGE=none)"));
        return;
    }
    if (!m_webview) {
        auto* page = new WebEditorPage(this);
        auto* view = new QWebEngineView(m_window->editorHost());
        view->setPage(page->webPage());
        view->setObjectName(QStringLiteral("codeEditorView"));
        view->setAccessibleName(tr("Code Editor"));
        // The editing commands only: the browser's own menu offers Reload and View Source, which make no sense
        // for the editor (and Reload would drop what is being typed).
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, view, [view](const QPoint& at) {
            QMenu menu(view);
            for (auto [title, action] :
                 {std::pair{tr("Cut"), QWebEnginePage::Cut}, std::pair{tr("Copy"), QWebEnginePage::Copy},
                  std::pair{tr("Paste"), QWebEnginePage::Paste},
                  std::pair{tr("Select All"), QWebEnginePage::SelectAll}})
                connect(menu.addAction(title), &QAction::triggered, view,
                        [view, action] { view->triggerPageAction(action); });
            menu.exec(view->mapToGlobal(at));
        });
        m_window->editorHost()->layout()->addWidget(view);
        m_webview = page;
        m_editorView = view;
    }
    m_webview->registerMessageHandler();
    connect(m_webview, &EditorPage::messageReceived, this, &AppDelegate::userContentController);
    connect(m_webview, &EditorPage::loadFinished, this, &AppDelegate::webViewDidFinish);
    m_pusher->setPage(m_webview);

    m_pageIsDark = EditorPageFiles::systemAppearanceIsDark();
    if (EditorPageFiles::loadPage(*m_webview, editorPageDirectory(), m_pageIsDark, "setupWebview()"))
        m_pusher->pageLoading();
}

void AppDelegate::webViewDidFinish(bool)
{
    // Pushes wait while the page loads (they would go nowhere); the page gets the text now that it can take it.
    m_pusher->pageReloaded();
    updateWebviewContent();
}

void AppDelegate::updateWebviewContent()
{
    m_pusher->request();
}

bool AppDelegate::editorPushIsIdle() const
{
    return m_pusher->isIdle();
}

void AppDelegate::setJsonError(const QString& error)
{
    if (m_jsonError == error && m_jsonError.isNull() == error.isNull())
        return;
    m_jsonError = error;
    QLabel* label = m_window->editorError();
    label->setText(error);
    // A screen reader announces the label by its name; the message itself travels as its description.
    label->setAccessibleDescription(error);
    label->setVisible(!error.isNull());
    emit JsonErrorChanged();
}

void AppDelegate::userContentController(const QJsonValue& body)
{
    const auto malformed = [] {
        BW_LOG_ERROR("userContentController(_:didReceive:)", QStringLiteral("Malformed message received from webview"));
    };
    if (!body.isString())
        return malformed();
    const QJsonValue decoded = EditorMessages::decodeJson(body.toString());
    if (!decoded.isObject() || decoded.toObject().isEmpty())
        return malformed();
    const QJsonObject message = decoded.toObject();
    const QJsonValue cmd = message.value(QLatin1String("cmd"));
    if (!cmd.isString())
        return malformed();
    if (cmd.toString() == QLatin1String("pushShown"))
        return m_pusher->pageShowed(message.value(QLatin1String("version")).toInteger(),
                                    message.value(QLatin1String("content")).toVariant());
    m_pageEdits->receive(cmd.toString(), message);
}

void AppDelegate::contentChanged(const QJsonValue& content)
{
    m_pageEdits->receive(QStringLiteral("contentChanged"), QJsonObject{{QStringLiteral("content"), content}});
}

void AppDelegate::readPageText(Document::Loaded read)
{
    if (read)
        applyPageTree((*read)->takeRoot());
    else
        refusePageText(read.error());
}

void AppDelegate::refusePageText(const Error& error)
{
    // What was typed is not JSON (yet): the tree and the page stay as they are, and the line under the page says
    // where and why.
    BW_LOG_WARNING("contentChanged(_:)", error.description());
    setJsonError(QStringLiteral("Line %1, column %2: %3").arg(error.line).arg(error.column).arg(error.message));
}

void AppDelegate::applyPageTree(OwnedTree root)
{
    // An error still shown was about an earlier text, which this one has replaced.
    setJsonError(QString());
    if (m_document) {
        // The old tree stays alive until the outline and the selection have let go of it; then the history
        // keeps it.
        OwnedTree old = m_document->takeRoot();
        m_document->setRoot(std::move(root));
        showTree(m_document->root());
        m_undo->record(std::make_unique<TreeReplacementStep>(m_document.get(), std::move(old)),
                       tr("Edit in Code Editor"));
    }
    expandAllRows();
    if (m_document) {
        m_documentIsBlank = false;
        m_document->setSaved(false);
    }
}
