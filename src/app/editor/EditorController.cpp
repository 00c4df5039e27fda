#include "app/editor/EditorController.h"

#include "app/MainWindow.h"
#include "app/Workspace.h"
#include "app/outline/OutlineController.h"
#include "app/undo/UndoHistory.h"
#include "editor/ContentPusher.h"
#include "editor/EditorMessages.h"
#include "editor/EditorPageFiles.h"
#include "editor/PageEditReader.h"
#include "editor/WebEditorPage.h"
#include "model/Document.h"
#include "model/EditStep.h"
#include "model/Log.h"

#include <QApplication>
#include <QJsonObject>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QSplitter>
#include <QTimer>
#include <QWebEngineView>
#include <utility>

EditorController::EditorController(Workspace& workspace, OutlineController& outline, QObject* parent)
    : QObject(parent), m_workspace(workspace), m_outline(outline)
{
    m_pusher = new ContentPusher([this] { return m_workspace.root(); }, this);
    m_pageEdits = new PageEditReader(
        *m_pusher, [this] { return m_workspace.root(); },
        [this](Document::Loaded read) { readPageText(std::move(read)); }, this);
    // A push replaces whatever text the page held, and with it the error about that text.
    connect(m_pusher, &ContentPusher::pushed, this, [this] {
        if (m_pusher->pageHoldsDocument())
            setJsonError(QString());
    });
    connect(&m_outline, &OutlineController::treeReplaced, m_pusher, &ContentPusher::treeReplaced);
}

void EditorController::triggerEditingAction(QWebEnginePage::WebAction pageAction, const char* slot)
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && m_editorView && isEditorWidget(focus))
        m_editorView->triggerPageAction(pageAction);
    else if (focus)
        QMetaObject::invokeMethod(focus, slot);
}

bool EditorController::isEditorWidget(QWidget* widget) const
{
    return widget && m_editorView && (widget == m_editorView || m_editorView->isAncestorOf(widget));
}

QString EditorController::editorPageDirectory() const
{
    return m_editorPageDirectory.isEmpty() ? EditorPageFiles::defaultDirectory() : m_editorPageDirectory;
}

void EditorController::launch()
{
    setupWebview();
    // The timed first push. The page also gets the text when it has finished loading, so this one goes out
    // only when that has not happened: pushing again would throw away what the user typed meanwhile.
    QTimer::singleShot(2000, this, [this] { m_pusher->requestIfBehind(); });
}

void EditorController::setupWebview()
{
    if (!m_webview && qEnvironmentVariable("BRACKWELL_EDITOR_PAGE") == QLatin1String("none")) {
        // Headless runs that have no use for a web engine.
        BW_LOG_WARNING("setupWebview()",
                       QStringLiteral("The code editor page is turned off (BRACKWELL_EDITOR_PAGE=none)"));
        return;
    }
    if (!m_webview) {
        QWidget* host = m_workspace.window().editorHost();
        auto* page = new WebEditorPage(this);
        auto* view = new QWebEngineView(host);
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
        host->layout()->addWidget(view);
        m_webview = page;
        m_editorView = view;
    }
    m_webview->registerMessageHandler();
    connect(m_webview, &EditorPage::messageReceived, this, &EditorController::userContentController);
    connect(m_webview, &EditorPage::loadFinished, this, &EditorController::webViewDidFinish);
    m_pusher->setPage(m_webview);

    m_pageIsDark = EditorPageFiles::systemAppearanceIsDark();
    if (EditorPageFiles::loadPage(*m_webview, editorPageDirectory(), m_pageIsDark, "setupWebview()"))
        m_pusher->pageLoading();
}

void EditorController::webViewDidFinish(bool)
{
    // Pushes wait while the page loads (they would go nowhere); the page gets the text now that it can take it.
    m_pusher->pageReloaded();
    updateWebviewContent();
}

void EditorController::updateWebviewContent()
{
    m_pusher->request();
}

void EditorController::documentChanged()
{
    m_pageEdits->cancel();
    updateWebviewContent();
}

bool EditorController::editorPushIsIdle() const
{
    return m_pusher->isIdle();
}

void EditorController::setJsonError(const QString& error)
{
    if (m_jsonError == error && m_jsonError.isNull() == error.isNull())
        return;
    m_jsonError = error;
    QLabel* label = m_workspace.window().editorError();
    label->setText(error);
    // A screen reader announces the label by its name; the message itself travels as its description.
    label->setAccessibleDescription(error);
    label->setVisible(!error.isNull());
    emit JsonErrorChanged();
}

void EditorController::userContentController(const QJsonValue& body)
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

void EditorController::contentChanged(const QJsonValue& content)
{
    m_pageEdits->receive(QStringLiteral("contentChanged"), QJsonObject{{QStringLiteral("content"), content}});
}

void EditorController::readPageText(Document::Loaded read)
{
    if (read) {
        applyPageTree((*read)->takeRoot());
        return;
    }
    // What was typed is not JSON (yet): the tree and the page stay as they are, and the line under the page says
    // where and why.
    const Error& refused = read.error();
    BW_LOG_WARNING("contentChanged(_:)", refused.description());
    setJsonError(QStringLiteral("Line %1, column %2: %3").arg(refused.line).arg(refused.column).arg(refused.message));
}

void EditorController::applyPageTree(OwnedTree root)
{
    // An error still shown was about an earlier text, which this one has replaced.
    setJsonError(QString());
    if (Document* document = m_workspace.document()) {
        // The old tree stays alive until the outline and the selection have let go of it; then the history
        // keeps it.
        OwnedTree old = document->takeRoot();
        document->setRoot(std::move(root));
        m_outline.showTree(document->root());
        m_workspace.undo().record(std::make_unique<TreeReplacementStep>(document, std::move(old)),
                                  tr("Edit in Code Editor"));
    }
    m_outline.expandAllRows();
    if (Document* document = m_workspace.document()) {
        m_workspace.setDocumentIsBlank(false);
        document->setSaved(false);
    }
}

void EditorController::setCodeIsShown(bool shown)
{
    if (m_codeIsShown == shown)
        return;
    m_codeIsShown = shown;
    BW_LOG_WARNING("updateCodePanelLayout()", QStringLiteral("CodeIsShown = %1").arg(m_codeIsShown ? "true" : "false"));
    QSplitter* splitter = m_workspace.window().splitter();
    const int width = splitter->width();
    m_workspace.window().codePane()->setVisible(m_codeIsShown);
    if (m_codeIsShown)
        splitter->setSizes({width / 2, width - width / 2});
}
