#include "app/documents/ExportController.h"

#include "app/MainWindow.h"
#include "app/Prompts.h"
#include "app/Workspace.h"
#include "app/documents/ExportRunner.h"
#include "model/Document.h"
#include "model/ExportWriter.h"
#include "model/InstallLayout.h"
#include "model/Log.h"
#include "model/TreeNode.h"

#include <QPointer>
#include <QProgressDialog>

ExportController::ExportController(Workspace& workspace, QObject* parent) : QObject(parent), m_workspace(workspace) {}

bool ExportController::exportWithPanel(ExportFormat format)
{
    if (!m_workspace.document())
        return false;
    const QString path = m_workspace.prompts().chooseSaveLocation(format);
    if (path.isEmpty())
        return false;
    return writeExport(path, format);
}

bool ExportController::writeExport(const QString& path, ExportFormat format)
{
    switch (format) {
    case ExportFormat::Json:
        return ExportWriter::writeExport(path, format, *m_workspace.document());
    case ExportFormat::Xml:
    case ExportFormat::Yaml:
    case ExportFormat::PlistXml:
    case ExportFormat::PlistOpenStep:
    case ExportFormat::PlistBinary:
        return startHelperExport(path, format);
    }
    return false;
}

QString ExportController::helperProgram() const
{
    return m_helperProgram.isEmpty() ? InstallLayout::cliProgram() : m_helperProgram;
}

bool ExportController::startHelperExport(const QString& path, ExportFormat format)
{
    TreeNode* root = m_workspace.root();
    const auto json = root ? root->jsonText() : Result<QByteArray>(Error(Error::Code::NoContent, QString()));
    auto* runner = new ExportRunner(helperProgram(), this);
    auto fail = [this, format, runner](const QString& reason) {
        BW_LOG_ERROR("writeExport(to:format:document:page:)", reason);
        runner->deleteLater();
        ExportWriter::presentFailure(format);
        emit exportFinished(false);
        return false;
    };
    if (!json)
        return fail(json.error().message);

    auto* progress = new QProgressDialog(tr("Exporting %1…").arg(ExportFormats::displayName(format)), tr("Cancel"), 0,
                                         0, &m_workspace.window());
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(500);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    const QPointer<Document> document = m_workspace.document();
    // Edits made while the child writes (or another tree put in the document) are not in the file, so they must
    // keep the document unsaved.
    const qint64 generation = root->treeGeneration();
    connect(progress, &QProgressDialog::canceled, runner, [runner, progress, this] {
        runner->cancel();
        runner->deleteLater();
        progress->deleteLater();
        emit exportFinished(false);
    });
    connect(runner, &ExportRunner::finished, this, [=, this](const Result<void>& result) {
        progress->disconnect(runner);
        progress->deleteLater();
        runner->deleteLater();
        if (!result) {
            BW_LOG_ERROR("writeExport(to:format:document:page:)", result.error().message);
            ExportWriter::presentFailure(format);
        } else if (document && document->root() == root && root->treeGeneration() == generation &&
                   ExportWriter::marksSaved(format)) {
            // The JSON itself was not written: the document keeps its file, or still has none.
            document->setSaved(true);
        }
        emit exportFinished(result.ok());
    });
    if (auto started = runner->start(*json, format, path); !started) {
        progress->deleteLater();
        return fail(started.error().message);
    }
    return true;
}
