// The controller's core: construction, start-up, the tree notifications and installing documents.
#include "app/AppDelegate.h"

#include "app/AboutDialog.h"
#include "app/MainWindow.h"
#include "app/OutlineModel.h"
#include "app/OutlineView.h"
#include "app/SearchField.h"
#include "app/UpdaterDialogs.h"
#include "app/undo/UndoHistory.h"
#include "editor/ContentPusher.h"
#include "editor/PageEditReader.h"
#include "model/Alerts.h"
#include "model/Dialect.h"
#include "model/Log.h"
#include "model/Settings.h"
#include "newsletter/MailingListManager.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineView>
#include <tuple>

AppDelegate::AppDelegate(QObject* parent) : QObject(parent), m_window(std::make_unique<MainWindow>())
{
    m_outlineModel = new OutlineModel(this);
    m_undo = new UndoHistory(this);
    m_window->setUndoActions(m_undo->undoAction(), m_undo->redoAction());
    connect(m_outlineModel, &OutlineModel::nodeEdited, this, &AppDelegate::recordCellEdit);
    connect(m_undo, &UndoHistory::stepApplied, this, &AppDelegate::showEditStep);
    m_pusher = new ContentPusher([this] { return m_document ? m_document->root() : nullptr; }, this);
    m_pageEdits = new PageEditReader(
        *m_pusher, [this] { return m_document ? m_document->root() : nullptr; },
        [this](std::unique_ptr<Document> document, std::optional<ParseError> error) {
            readPageText(std::move(document), std::move(error));
        },
        this);
    // A push replaces whatever text the page held, and with it the error about that text.
    connect(m_pusher, &ContentPusher::pushed, this, [this] {
        if (m_pusher->pageHoldsDocument())
            setJsonError(QString());
    });
    m_window->outlineView()->setOutlineModel(m_outlineModel);
    m_dialogPrompts = std::make_unique<DialogPrompts>(m_window.get());
    m_prompts = m_dialogPrompts.get();
    // The updater lives for the whole run and is started while the application is being built.
    m_updaterDialogs = std::make_unique<UpdaterDialogs>(m_window.get());
    m_updater = std::make_unique<Updater>(Updater::configuredFeed(), QStringLiteral(BRACKWELL_VERSION));
    m_updater->setUi(m_updaterDialogs.get());
    m_updater->start();

    // The filter settings start from this controller's initial state.
    m_searchSettings.caseSensitive = m_searchCaseSensitive;
    m_searchSettings.regularExpression = m_searchRegularExpressions;
    m_searchSettings.rowIcons = m_showRowIcons;
    m_searchSettings.compileExpression();

    connectWindow();
    if (qApp)
        qApp->installEventFilter(this);
}

AppDelegate::~AppDelegate()
{
    // The window goes first, and says nothing on its way: losing focus would otherwise record a search
    // in a controller that is half gone.
    m_window->setCloseGuard({});
    if (m_mailingList)
        m_mailingList->disconnect(this);
    for (QObject* child : m_window->findChildren<QObject*>())
        QObject::disconnect(child, nullptr, this, nullptr);
    // An outline editor still open commits its text as the window goes; the change must not reach a
    // controller whose window is half gone.
    if (m_document)
        QObject::disconnect(m_document.get(), nullptr, this, nullptr);
    m_window.reset();
    // The outline and the history refer into the document's tree; let go of it before the tree is freed.
    m_outlineModel->setRoot(nullptr);
    m_undo->reset(nullptr);
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
    if (!widget)
        return false;
    if (qobject_cast<QLineEdit*>(widget))
        return true;
    return m_editorView && (widget == m_editorView || m_editorView->isAncestorOf(widget));
}

void AppDelegate::setPrompts(Prompts* prompts)
{
    m_prompts = prompts ? prompts : m_dialogPrompts.get();
}

Prompts& AppDelegate::prompts()
{
    return *m_prompts;
}

void AppDelegate::connectWindow()
{
    MainWindow* window = m_window.get();
    SearchField* field = window->searchField();
    connect(field, &QLineEdit::textChanged, this, &AppDelegate::setSearchPredicateValue);
    // The filter follows every keystroke; a search counts as made once the user commits it.
    connect(field, &QLineEdit::editingFinished, this, [this] {
        if (!m_searchValue.isEmpty()) {
            addRecentSearch(m_searchValue);
            updateSearchMenu();
        }
    });
    connect(this, &AppDelegate::SearchPredicateValueChanged, field, [this, field] {
        if (field->text() != m_searchValue)
            field->setText(m_searchValue);
    });

    QToolButton* caseButton = window->caseSensitiveButton();
    caseButton->setChecked(m_searchCaseSensitive);
    connect(caseButton, &QToolButton::toggled, this, &AppDelegate::setSearchPredicateCaseSensitive);
    connect(this, &AppDelegate::SearchPredicateCaseSensitiveChanged, caseButton,
            [this, caseButton] { caseButton->setChecked(m_searchCaseSensitive); });
    QToolButton* regexButton = window->regularExpressionButton();
    regexButton->setChecked(m_searchRegularExpressions);
    connect(regexButton, &QToolButton::toggled, this, &AppDelegate::setSearchPredicateRegularExpressions);
    connect(this, &AppDelegate::SearchPredicateRegularExpressionsChanged, regexButton,
            [this, regexButton] { regexButton->setChecked(m_searchRegularExpressions); });

    connect(this, &AppDelegate::isLoadingChanged, window->busyIndicator(),
            [this, window] { window->busyIndicator()->setVisible(m_isLoading); });

    connect(window->outlineView()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &AppDelegate::outlineViewSelectionDidChange);

    connect(window->newAction(), &QAction::triggered, this, &AppDelegate::newDocument);
    connect(window->openAction(), &QAction::triggered, this, &AppDelegate::openDocument);
    connect(window->recentMenu(), &QMenu::aboutToShow, this, &AppDelegate::updateRecentMenu);
    connect(window->saveAction(), &QAction::triggered, this, &AppDelegate::saveDocument);
    connect(window->saveAsAction(), &QAction::triggered, this, &AppDelegate::saveDocumentAs);
    connect(window->exportXmlAction(), &QAction::triggered, this, &AppDelegate::exportToXML);
    connect(window->exportYamlAction(), &QAction::triggered, this, &AppDelegate::exportToYAML);
    connect(window->exportPlistXmlAction(), &QAction::triggered, this, &AppDelegate::exportToPlistXML);
    connect(window->exportPlistBinaryAction(), &QAction::triggered, this, &AppDelegate::exportToPlistBinary);
    connect(window->exportPlistOpenStepAction(), &QAction::triggered, this, &AppDelegate::exportToPlistOpenStep);
    connect(window->quitAction(), &QAction::triggered, window, &QWidget::close);
    // Cut, Copy and Paste act on the text field that has the focus, or on the code editor.
    for (auto [action, slot, pageAction] :
         {std::tuple{window->cutAction(), "cut", QWebEnginePage::Cut},
          std::tuple{window->copyAction(), "copy", QWebEnginePage::Copy},
          std::tuple{window->pasteAction(), "paste", QWebEnginePage::Paste}}) {
        connect(action, &QAction::triggered, this, [this, slot, pageAction] {
            QWidget* focus = QApplication::focusWidget();
            if (focus && m_editorView && (focus == m_editorView || m_editorView->isAncestorOf(focus)))
                m_editorView->triggerPageAction(pageAction);
            else if (focus)
                QMetaObject::invokeMethod(focus, slot);
        });
    }
    connect(window->downloadButton(), &QToolButton::clicked, this,
            [this, window] { toggleDownloadPopover(window->downloadButton()); });
    connect(window->checkForUpdatesAction(), &QAction::triggered, this, &AppDelegate::checkForUpdates);
    connect(window->aboutAction(), &QAction::triggered, this, [window] {
        auto* about = new AboutDialog(window);
        about->setAttribute(Qt::WA_DeleteOnClose);
        about->open();
    });
    connect(window->addRowAction(), &QAction::triggered, this, &AppDelegate::addForSelectedRow);
    connect(window->removeRowAction(), &QAction::triggered, this, &AppDelegate::removeSelectedRow);
    window->setCloseGuard([this] { return windowShouldClose(); });
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;
    setupWebview();
    if (!m_document && loadJSONString(QStringLiteral("{}")))
        m_documentIsBlank = true;
    updateWindowSubtitle();

    listenToDocument();
    // The timed first push. The page also gets the text when it has finished loading, so this one goes out
    // only when that has not happened: pushing again would throw away what the user typed meanwhile.
    QTimer::singleShot(2000, this, [this] { m_pusher->requestIfBehind(); });

    setupOutlineContextMenu();
    m_recentSearches = Settings::instance().recentSearches();
    while (m_recentSearches.size() > maxRecentSearches())
        m_recentSearches.removeLast();
    emit recentSearchesChanged();
    setupSearchMenu();
    setupMainMenu();
    connectMailingList();
}

void AppDelegate::setUpdaterUi(UpdaterUi* ui)
{
    m_updater->setUi(ui ? ui : m_updaterDialogs.get());
}

void AppDelegate::checkForUpdates()
{
    m_updater->checkForUpdates();
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

void AppDelegate::treeDataChanged()
{
    if (!m_document)
        return;
    // A renamed node or ancestor changes the selected node's path.
    if (m_currentNode)
        setCurrentPath(m_currentNode->path());
    m_pageEdits->cancel();
    updateWebviewContent();
    m_documentIsBlank = false;
    m_document->setSaved(false);
}

bool AppDelegate::isUnsaved() const
{
    return m_document && !m_document->saved();
}

void AppDelegate::installDocument(std::unique_ptr<Document> document)
{
    // The old tree stays alive until the outline and the selection have let go of it.
    std::unique_ptr<Document> old = std::move(m_document);
    m_document = std::move(document);
    if (m_launched)
        listenToDocument();
    m_window->statusNotice()->clear();
    m_undo->reset(m_document.get());
    showTree(m_document ? m_document->root() : nullptr);
    emit TheDocumentChanged();
    m_pageEdits->cancel();
    updateWebviewContent();
}

void AppDelegate::listenToDocument()
{
    // Once launched, the controller hears from the document it shows, which relays whichever tree it holds.
    if (!m_document)
        return;
    Document* document = m_document.get();
    connect(document, &Document::treeDataChanged, this, &AppDelegate::treeDataChanged, Qt::UniqueConnection);
    connect(document, &Document::savedStatusChanged, this, &AppDelegate::updateWindowSubtitle, Qt::UniqueConnection);
    connect(document, &Document::reloadCurrentRow, this, &AppDelegate::reloadCurrentRow, Qt::UniqueConnection);
}

void AppDelegate::showTree(TreeNode* root)
{
    if (root)
        root->setSearchSettings(&m_searchSettings);
    m_pusher->treeReplaced();
    if (m_currentNode)
        m_currentNode->setSelected(false);
    setCurrentNode(nullptr);
    m_outlineModel->setRoot(root);
    outlineViewSelectionDidChange();
}

void AppDelegate::showLoadFailure()
{
    Alerts::present({QStringLiteral("Something went wrong!"),
                     QStringLiteral("JSON content doesn't appear to be valid."), Alert::Style::Critical});
}

bool AppDelegate::loadJSONString(const QString& text)
{
    ParseError error;
    std::unique_ptr<Document> document = Document::documentFromText(text, &error);
    if (!document) {
        BW_LOG_ERROR("loadJSONString(_:)", error.description());
        showLoadFailure();
        return false;
    }
    installDocument(std::move(document));
    m_documentIsBlank = false;
    updateWindowSubtitle();
    return true;
}

void AppDelegate::openDocumentURL(const QString& path)
{
    setLoading(true);
    setSubtitle(QStringLiteral("Loading ") + QFileInfo(path).fileName() + QChar(0x2026));
    const quint64 generation = ++m_loadGeneration;
    Document::loadDocumentAsync(
        path, this,
        [this, path, generation](std::unique_ptr<Document> document, std::optional<ParseError> error) {
            if (generation != m_loadGeneration)
                return; // a later open replaced this one
            setLoading(false);
            if (!document) {
                BW_LOG_ERROR("openDocumentURL(_:)", error ? error->description() : QString());
                updateWindowSubtitle();
                showLoadFailure();
                return;
            }
            if (installReadDocument(std::move(document), ReadSource::File, path))
                Settings::instance().addRecentDocument(QFileInfo(path).absoluteFilePath());
            else
                updateWindowSubtitle();
        },
        Document::Reading::Relaxed);
}

void AppDelegate::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    emit isLoadingChanged();
}

void AppDelegate::updateWindowSubtitle()
{
    // While a file is read the subtitle says so; the read's completion sets it again.
    if (!m_document || m_isLoading)
        return;
    const auto name = m_document->name();
    if (!name)
        return;
    // A document read from JSON with comments, JSON5 or JSON Lines says so until it is saved as JSON.
    const Dialect dialect = m_document->readReport().dialect;
    const QString shown =
        dialect == Dialect::Json ? *name : *name + QStringLiteral(" (%1)").arg(Dialects::name(dialect));
    setSubtitle(m_document->saved() ? shown : shown + QLatin1Char('*'));
}

void AppDelegate::setSubtitle(const QString& subtitle)
{
    m_window->showSubtitle(subtitle, isUnsaved() && subtitle.endsWith(QLatin1Char('*')));
    if (m_subtitle == subtitle)
        return;
    m_subtitle = subtitle;
    emit windowSubtitleChanged();
}
