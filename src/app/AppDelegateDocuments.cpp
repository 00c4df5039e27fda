// The document commands: New, Open…, Open Recent, Open from Clipboard, Save, Save As… and the exports, the
// system's open requests, and the question asked before unsaved changes are dropped.
#include "app/AppDelegate.h"

#include "app/ExportRunner.h"
#include "app/MainWindow.h"
#include "app/MenuText.h"
#include "model/Alerts.h"
#include "model/ExportWriter.h"
#include "model/InstallLayout.h"
#include "model/Log.h"
#include "model/Settings.h"
#include "model/TreeNode.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QProgressDialog>

namespace {

const QString kProceedTitle = QStringLiteral("Are you sure you want to proceed?");
const QString kProceedMessage = QStringLiteral("All of your changes to the current project will not be saved!");

} // namespace

void AppDelegate::confirmProceed(const QString& title, const QString& message, const QString& suppressionKey,
                                 const std::function<void()>& action)
{
    Settings& settings = Settings::instance();
    if (settings.isSuppressed(suppressionKey)) {
        action();
        return;
    }
    const bool offersSuppression = !suppressionKey.isEmpty();
    const Prompts::ConfirmationAnswer answer = prompts().confirm({title, message, offersSuppression});
    if (offersSuppression && answer.suppress)
        settings.setSuppressed(suppressionKey);
    if (answer.proceed)
        action();
}

void AppDelegate::newDocument()
{
    auto action = [this] {
        if (loadJSONString(QStringLiteral("{}")))
            m_documentIsBlank = true;
    };
    if (isUnsaved())
        confirmProceed(kProceedTitle, kProceedMessage, Settings::newDocumentKey(), action);
    else
        action();
}

void AppDelegate::runOpenPanel()
{
    const QString path = prompts().chooseFileToOpen();
    if (!path.isEmpty())
        openDocumentURL(path);
}

void AppDelegate::openDocument()
{
    if (isUnsaved())
        confirmProceed(kProceedTitle, kProceedMessage, Settings::openDocumentKey(), [this] { runOpenPanel(); });
    else
        runOpenPanel();
}

bool AppDelegate::openFile(const QString& path)
{
    auto action = [this, path] { openDocumentURL(path); };
    if (isUnsaved())
        confirmProceed(kProceedTitle, kProceedMessage, Settings::openDocumentKey(), action);
    else
        action();
    return true;
}

void AppDelegate::openFiles(const QStringList& paths)
{
    if (!paths.isEmpty())
        openFile(paths.first());
}

void AppDelegate::openURLs(const QList<QUrl>& urls)
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

bool AppDelegate::windowShouldClose()
{
    if (!isUnsaved() || m_documentIsBlank)
        return true;
    switch (prompts().askToSaveChanges(m_document->name().value_or(QStringLiteral("Untitled")))) {
    case Prompts::SaveChoice::DontSave:
        return true;
    case Prompts::SaveChoice::Cancel:
        return false;
    case Prompts::SaveChoice::Save:
        break;
    }
    // Quits only once the edits are on disk: a cancelled panel or a failed write keeps the window.
    if (m_document->url().isEmpty())
        return exportWithPanel(ExportFormat::Json);
    return m_document->save() == Document::SaveResult::Saved;
}

void AppDelegate::openFromClipboard()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty()) {
        Alerts::present({QStringLiteral("Clipboard is empty"), QStringLiteral("No text found on the clipboard."),
                         Alert::Style::Critical});
        return;
    }
    // The text is taken as it is: spaces alone are invalid JSON, not an empty clipboard.
    auto action = [this, text] { loadClipboardText(text); };
    if (isUnsaved())
        confirmProceed(kProceedTitle, kProceedMessage, Settings::openDocumentKey(), action);
    else
        action();
}

void AppDelegate::saveDocument()
{
    if (!m_document)
        return;
    if (m_document->save() == Document::SaveResult::NeedsSaveAs)
        exportWithPanel(ExportFormat::Json);
}

void AppDelegate::saveDocumentAs()
{
    if (m_document)
        exportWithPanel(ExportFormat::Json);
}

bool AppDelegate::exportWithPanel(ExportFormat format)
{
    if (!m_document)
        return false;
    const QString path = prompts().chooseSaveLocation(format);
    if (path.isEmpty())
        return false;
    return writeExport(path, format);
}

bool AppDelegate::writeExport(const QString& path, ExportFormat format)
{
    switch (format) {
    case ExportFormat::Json:
        return ExportWriter::writeExport(path, format, *m_document);
    case ExportFormat::Xml:
    case ExportFormat::Yaml:
    case ExportFormat::PlistXml:
    case ExportFormat::PlistOpenStep:
    case ExportFormat::PlistBinary:
        return startHelperExport(path, format);
    }
    return false;
}

QString AppDelegate::helperProgram() const
{
    return m_helperProgram.isEmpty() ? InstallLayout::cliProgram() : m_helperProgram;
}

bool AppDelegate::startHelperExport(const QString& path, ExportFormat format)
{
    QString why;
    const auto json = m_document->root() ? m_document->root()->jsonText(&why) : std::nullopt;
    auto* runner = new ExportRunner(helperProgram(), this);
    auto fail = [this, format, runner](const QString& reason) {
        BW_LOG_ERROR("writeExport(to:format:document:page:)", reason);
        runner->deleteLater();
        ExportWriter::presentFailure(format);
        emit exportFinished(false);
        return false;
    };
    if (!json)
        return fail(why);

    auto* progress = new QProgressDialog(tr("Exporting %1…").arg(ExportFormats::displayName(format)), tr("Cancel"), 0,
                                         0, m_window.get());
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(500);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    const QPointer<Document> document = m_document.get();
    // Edits made while the child writes (or another tree put in the document) are not in the file, so they must
    // keep the document unsaved.
    const TreeNode* root = m_document->root();
    const qint64 generation = root->treeGeneration();
    connect(progress, &QProgressDialog::canceled, runner, [runner, progress, this] {
        runner->cancel();
        runner->deleteLater();
        progress->deleteLater();
        emit exportFinished(false);
    });
    connect(runner, &ExportRunner::finished, this, [=, this](bool ok, const QString& reason) {
        progress->disconnect(runner);
        progress->deleteLater();
        runner->deleteLater();
        if (!ok) {
            BW_LOG_ERROR("writeExport(to:format:document:page:)", reason);
            ExportWriter::presentFailure(format);
        } else if (document && document->root() == root && root->treeGeneration() == generation &&
                   ExportWriter::marksSaved(format)) {
            // The JSON itself was not written: the document keeps its file, or still has none.
            document->setSaved(true);
        }
        emit exportFinished(ok);
    });
    if (!runner->start(*json, format, path, &why)) {
        progress->deleteLater();
        return fail(why);
    }
    return true;
}

void AppDelegate::setHelperProgram(const QString& program)
{
    m_helperProgram = program;
}

void AppDelegate::updateRecentMenu()
{
    QMenu* menu = m_window->recentMenu();
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
