#include "app/documents/DocumentController.h"

#include "app/MainWindow.h"
#include "app/Prompts.h"
#include "app/Workspace.h"
#include "app/documents/ExportController.h"
#include "app/menus/MenuText.h"
#include "model/Alerts.h"
#include "model/Dialect.h"
#include "model/Document.h"
#include "model/Log.h"
#include "model/Settings.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QProgressBar>

DocumentController::DocumentController(Workspace& workspace, ExportController& exports, QObject* parent)
    : QObject(parent), m_workspace(workspace), m_exports(exports)
{
    m_workspace.window().setCloseGuard([this] { return windowShouldClose(); });
}

void DocumentController::confirmProceed(const QString& title, const QString& message, const QString& suppressionKey,
                                        const std::function<void()>& action)
{
    Settings& settings = Settings::instance();
    if (settings.isSuppressed(suppressionKey)) {
        action();
        return;
    }
    const bool offersSuppression = !suppressionKey.isEmpty();
    const Prompts::ConfirmationAnswer answer = m_workspace.prompts().confirm({title, message, offersSuppression});
    if (offersSuppression && answer.suppress)
        settings.setSuppressed(suppressionKey);
    if (answer.proceed)
        action();
}

void DocumentController::proceedDroppingChanges(const QString& suppressionKey, const std::function<void()>& action)
{
    if (!m_workspace.isUnsaved()) {
        action();
        return;
    }
    confirmProceed(QStringLiteral("Are you sure you want to proceed?"),
                   QStringLiteral("All of your changes to the current project will not be saved!"), suppressionKey,
                   action);
}

void DocumentController::newDocument()
{
    proceedDroppingChanges(Settings::newDocumentKey(), [this] {
        if (loadJSONString(QStringLiteral("{}")))
            m_workspace.setDocumentIsBlank(true);
    });
}

void DocumentController::runOpenPanel()
{
    const QString path = m_workspace.prompts().chooseFileToOpen();
    if (!path.isEmpty())
        openDocumentURL(path);
}

void DocumentController::openDocument()
{
    proceedDroppingChanges(Settings::openDocumentKey(), [this] { runOpenPanel(); });
}

bool DocumentController::openFile(const QString& path)
{
    proceedDroppingChanges(Settings::openDocumentKey(), [this, path] { openDocumentURL(path); });
    return true;
}

void DocumentController::openFiles(const QStringList& paths)
{
    if (!paths.isEmpty())
        openFile(paths.first());
}

void DocumentController::openURLs(const QList<QUrl>& urls)
{
    if (urls.isEmpty())
        return;
    if (!urls.first().isLocalFile()) {
        BW_LOG_ERROR("application(_:open:)",
                     QStringLiteral("Only local files can be opened: ") + urls.first().toString());
        return;
    }
    openFile(urls.first().toLocalFile());
}

bool DocumentController::windowShouldClose()
{
    Document* document = m_workspace.document();
    if (!m_workspace.isUnsaved() || m_workspace.documentIsBlank())
        return true;
    switch (m_workspace.prompts().askToSaveChanges(document->name().value_or(QStringLiteral("Untitled")))) {
    case Prompts::SaveChoice::DontSave:
        return true;
    case Prompts::SaveChoice::Cancel:
        return false;
    case Prompts::SaveChoice::Save:
        break;
    }
    // Quits only once the edits are on disk: a cancelled panel or a failed write keeps the window.
    if (document->url().isEmpty())
        return m_exports.exportWithPanel(ExportFormat::Json);
    return document->save() == Document::SaveResult::Saved;
}

void DocumentController::openFromClipboard()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty()) {
        Alerts::present({QStringLiteral("Clipboard is empty"), QStringLiteral("No text found on the clipboard."),
                         Alert::Style::Critical});
        return;
    }
    // The text is taken as it is: spaces alone are invalid JSON, not an empty clipboard.
    proceedDroppingChanges(Settings::openDocumentKey(), [this, text] { loadClipboardText(text); });
}

void DocumentController::saveDocument()
{
    if (Document* document = m_workspace.document(); document && document->save() == Document::SaveResult::NeedsSaveAs)
        m_exports.exportWithPanel(ExportFormat::Json);
}

void DocumentController::saveDocumentAs()
{
    if (m_workspace.document())
        m_exports.exportWithPanel(ExportFormat::Json);
}

void DocumentController::setRecentMenu(QMenu* menu)
{
    m_recentMenu = menu;
    connect(menu, &QMenu::aboutToShow, this, &DocumentController::updateRecentMenu);
}

void DocumentController::updateRecentMenu()
{
    QMenu* menu = m_recentMenu;
    if (!menu)
        return;
    menu->clear();
    const QStringList paths = Settings::instance().recentDocuments();
    for (const QString& path : paths) {
        QAction* item = menu->addAction(menuText(QFileInfo(path).fileName()));
        item->setToolTip(path);
        item->setData(path);
        connect(item, &QAction::triggered, this, [this, path] { openFile(path); });
    }
    if (paths.isEmpty())
        menu->addAction(tr("No Recent Documents"))->setEnabled(false);
    menu->addSeparator();
    QAction* clear = menu->addAction(tr("&Clear Menu"));
    clear->setEnabled(!paths.isEmpty());
    connect(clear, &QAction::triggered, this, [] { Settings::instance().clearRecentDocuments(); });
}

void DocumentController::showLoadFailure()
{
    Alerts::present({QStringLiteral("Something went wrong!"),
                     QStringLiteral("JSON content doesn't appear to be valid."), Alert::Style::Critical});
}

bool DocumentController::loadJSONString(const QString& text)
{
    Document::Loaded document = Document::documentFromText(text);
    if (!document) {
        BW_LOG_ERROR("loadJSONString(_:)", document.error().description());
        showLoadFailure();
        return false;
    }
    m_workspace.installDocument(std::move(*document));
    m_workspace.setDocumentIsBlank(false);
    updateWindowSubtitle();
    return true;
}

void DocumentController::openDocumentURL(const QString& path)
{
    setLoading(true);
    setSubtitle(QStringLiteral("Loading ") + QFileInfo(path).fileName() + QChar(0x2026));
    const quint64 generation = ++m_loadGeneration;
    Document::loadDocumentAsync(
        path, this,
        [this, path, generation](Document::Loaded document) {
            if (generation != m_loadGeneration)
                return; // a later open replaced this one
            setLoading(false);
            if (!document) {
                BW_LOG_ERROR("openDocumentURL(_:)", document.error().description());
                updateWindowSubtitle();
                showLoadFailure();
                return;
            }
            if (installReadDocument(std::move(*document), ReadSource::File, path))
                Settings::instance().addRecentDocument(QFileInfo(path).absoluteFilePath());
            else
                updateWindowSubtitle();
        },
        Document::Reading::Relaxed);
}

void DocumentController::loadClipboardText(const QString& text)
{
    auto document = Document::documentFromText(text, Document::Reading::Relaxed);
    if (!document) {
        BW_LOG_ERROR("loadJSONString(_:)", document.error().description());
        showLoadFailure();
        return;
    }
    installReadDocument(std::move(*document), ReadSource::Clipboard);
}

void DocumentController::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    m_workspace.window().busyIndicator()->setVisible(loading);
    emit isLoadingChanged();
}

void DocumentController::updateWindowSubtitle()
{
    // While a file is read the subtitle says so; the read's completion sets it again.
    Document* document = m_workspace.document();
    if (!document || m_isLoading)
        return;
    const auto name = document->name();
    if (!name)
        return;
    // A document read from JSON with comments, JSON5 or JSON Lines says so until it is saved as JSON.
    const Dialect dialect = document->readReport().dialect;
    const QString shown =
        dialect == Dialect::Json ? *name : *name + QStringLiteral(" (%1)").arg(Dialects::name(dialect));
    setSubtitle(document->saved() ? shown : shown + QLatin1Char('*'));
}

void DocumentController::setSubtitle(const QString& subtitle)
{
    m_workspace.window().showSubtitle(subtitle, m_workspace.isUnsaved() && subtitle.endsWith(QLatin1Char('*')));
    m_subtitle = subtitle;
}
