#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "app/Prompts.h"
#include "app/Workspace.h"
#include "app/documents/DocumentController.h"
#include "app/documents/ExportController.h"
#include "app/downloader/DownloadController.h"
#include "app/editor/EditorController.h"
#include "app/findreplace/FindReplaceController.h"
#include "app/jq/JqController.h"
#include "app/menus/MainMenus.h"
#include "app/menus/MenuTable.h"
#include "app/newsletter/NewsletterController.h"
#include "app/outline/OutlineController.h"
#include "app/outline/OutlineModel.h"
#include "app/outline/OutlineView.h"
#include "app/paths/PathController.h"
#include "app/search/SearchController.h"
#include "app/undo/UndoHistory.h"
#include "model/Document.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent), m_window(std::make_unique<MainWindow>()), m_outlineModel(std::make_unique<OutlineModel>()),
      m_undo(std::make_unique<UndoHistory>()), m_dialogPrompts(std::make_unique<DialogPrompts>(m_window.get())),
      m_workspace(std::make_unique<Workspace>(*m_window, *m_outlineModel, *m_undo, *m_dialogPrompts))
{
    Workspace& workspace = *m_workspace;
    m_exports = std::make_unique<ExportController>(workspace);
    m_documents = std::make_unique<DocumentController>(workspace, *m_exports);
    m_outline = std::make_unique<OutlineController>(workspace);
    m_search = std::make_unique<SearchController>(workspace, *m_outline);
    m_paths = std::make_unique<PathController>(workspace, *m_outline, *m_search);
    m_editor = std::make_unique<EditorController>(workspace, *m_outline);
    m_jq = std::make_unique<JqController>(workspace);
    m_downloads = std::make_unique<DownloadController>(workspace, *m_documents);
    m_findReplace = std::make_unique<FindReplaceController>(workspace, *m_outline, *m_editor);
    m_newsletter = std::make_unique<NewsletterController>(workspace);

    m_window->outlineView()->setOutlineModel(m_outlineModel.get());
    connect(m_window->outlineView()->selectionModel(), &QItemSelectionModel::selectionChanged, m_outline.get(),
            &OutlineController::selectionChanged);
    connect(m_outlineModel.get(), &OutlineModel::nodeEdited, m_outline.get(), &OutlineController::recordCellEdit);
    connect(m_undo.get(), &UndoHistory::stepApplied, m_outline.get(), &OutlineController::showEditStep);
    connect(&workspace, &Workspace::documentInstalled, this, &AppDelegate::documentInstalled);

    m_menus = std::make_unique<MainMenus>();
    m_menus->build(m_window->menuBar(), m_window.get(), mainMenuTable(*this));
    OutlineView* outlineView = m_window->outlineView();
    m_menus->buildInto(outlineView, outlineMenuTable(*this));
    outlineView->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_documents->setRecentMenu(m_menus->menu(QStringLiteral("File/Open Recent")));
    connect(m_outline.get(), &OutlineController::showRowIconsChanged, m_menus.get(),
            [this] { m_menus->action(MenuCommand::ShowRowIcons)->setChecked(m_outline->showRowIcons()); });
    if (qApp)
        qApp->installEventFilter(this);
}

AppDelegate::~AppDelegate()
{
    // The window goes first, and says nothing on its way: losing focus would otherwise record a search, and an
    // outline editor still open would commit its text, in controllers whose window is half gone.
    m_window->setCloseGuard({});
    const QList<QObject*> receivers{
        this,           m_workspace.get(), m_documents.get(), m_outline.get(),     m_search.get(),     m_paths.get(),
        m_editor.get(), m_jq.get(),        m_downloads.get(), m_findReplace.get(), m_newsletter.get(), m_menus.get()};
    for (QObject* child : m_window->findChildren<QObject*>())
        for (QObject* receiver : receivers)
            QObject::disconnect(child, nullptr, receiver, nullptr);
    if (Document* document = m_workspace->document())
        QObject::disconnect(document, nullptr, this, nullptr);
    m_window.reset();
    // The outline and the history refer into the document's tree; let go of it before the tree is freed.
    m_outlineModel->setRoot(nullptr);
    m_undo->reset(nullptr);
}

void AppDelegate::setPrompts(Prompts* prompts)
{
    m_workspace->setPrompts(prompts);
}

Document* AppDelegate::TheDocument() const
{
    return m_workspace->document();
}

TreeNode* AppDelegate::CurrentNode() const
{
    return m_outline->currentNode();
}

QString AppDelegate::CurrentPath() const
{
    return m_outline->currentPath();
}

bool AppDelegate::isLoading() const
{
    return m_documents->isLoading();
}

QString AppDelegate::windowSubtitle() const
{
    return m_documents->windowSubtitle();
}

bool AppDelegate::loadJSONString(const QString& text)
{
    return m_documents->loadJSONString(text);
}

void AppDelegate::openDocumentURL(const QString& path)
{
    m_documents->openDocumentURL(path);
}

bool AppDelegate::openFile(const QString& path)
{
    return m_documents->openFile(path);
}

void AppDelegate::openFiles(const QStringList& paths)
{
    m_documents->openFiles(paths);
}

void AppDelegate::openURLs(const QList<QUrl>& urls)
{
    m_documents->openURLs(urls);
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event)
{
    // In a text field or the code editor, the keys that delete or select by word edit the text; as window
    // shortcuts they would remove, collapse or expand outline rows instead. Undo and Redo there take back
    // typing, not the document's edits. The focus widget is asked rather than `watched`, which may be one of
    // the web engine's internal objects.
    if (event->type() == QEvent::ShortcutOverride && isTextEditor(QApplication::focusWidget())) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
            key->matches(QKeySequence::DeleteStartOfWord) || key->matches(QKeySequence::DeleteEndOfWord) ||
            key->matches(QKeySequence::SelectPreviousWord) || key->matches(QKeySequence::SelectNextWord) ||
            (key->key() == Qt::Key_Backspace && key->modifiers() == Qt::ControlModifier)) {
            event->accept();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

bool AppDelegate::isTextEditor(QWidget* widget) const
{
    return widget && (qobject_cast<QLineEdit*>(widget) || m_editor->isEditorWidget(widget));
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;
    m_editor->launch();
    if (!m_workspace->document() && loadJSONString(QStringLiteral("{}")))
        m_workspace->setDocumentIsBlank(true);
    m_documents->updateWindowSubtitle();

    listenToDocument();
    m_search->launch();
    m_newsletter->launch(m_menus->menu(QStringLiteral("Help")));
}

void AppDelegate::applicationShouldHandleReopen()
{
    doReopenWindow();
}

void AppDelegate::doReopenWindow()
{
    if (m_window->isMinimized())
        m_window->showNormal();
    else
        m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void AppDelegate::documentInstalled()
{
    Document* document = m_workspace->document();
    m_window->statusNotice()->clear();
    m_undo->reset(document);
    m_outline->showTree(document ? document->root() : nullptr);
    m_editor->documentChanged();
    if (m_launched)
        listenToDocument();
}

void AppDelegate::listenToDocument()
{
    // Once launched, the window hears from the document it shows, which relays whichever tree it holds.
    Document* document = m_workspace->document();
    if (!document)
        return;
    connect(document, &Document::treeDataChanged, this, &AppDelegate::treeDataChanged, Qt::UniqueConnection);
    connect(document, &Document::savedStatusChanged, m_documents.get(), &DocumentController::updateWindowSubtitle,
            Qt::UniqueConnection);
    connect(document, &Document::reloadCurrentRow, m_outline.get(), &OutlineController::reloadCurrentRow,
            Qt::UniqueConnection);
}

void AppDelegate::treeDataChanged()
{
    Document* document = m_workspace->document();
    if (!document)
        return;
    m_outline->treeDataChanged();
    m_editor->documentChanged();
    m_workspace->setDocumentIsBlank(false);
    document->setSaved(false);
}
