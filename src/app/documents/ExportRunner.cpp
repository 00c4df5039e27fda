#include "app/documents/ExportRunner.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

ExportRunner::ExportRunner(const QString& program, QObject* parent) : QObject(parent), m_program(program)
{
    connect(&m_child, &ChildProcess::finished, this, &ExportRunner::onFinished);
}

ExportRunner::~ExportRunner()
{
    cancel();
}

Result<void> ExportRunner::start(const QByteArray& json, ExportFormat format, const QString& path)
{
    if (m_child.isRunning())
        return Error(Error::Code::ProcessBusy, QStringLiteral("Another export is still being written."));
    const QFileInfo target(path);
    m_workDir = std::make_unique<QTemporaryDir>(target.absoluteDir().filePath(QStringLiteral(".brackwell-XXXXXX")));
    if (!m_workDir->isValid()) {
        Error error(Error::Code::FileWrite, m_workDir->errorString());
        m_workDir.reset();
        return error;
    }
    m_target = target.absoluteFilePath();
    return m_child.start(m_program,
                         {QStringLiteral("export"), QStringLiteral("--to"), ExportFormats::cliName(format),
                          QStringLiteral("-"), m_workDir->filePath(QStringLiteral("export"))},
                         json);
}

void ExportRunner::onFinished(const ChildProcess::Outcome& outcome)
{
    const QString why = QString::fromUtf8(outcome.errors.left(64 * 1024)).trimmed();
    Result<void> result;
    switch (outcome.ended) {
    case ChildProcess::Ended::NotStarted:
    case ChildProcess::Ended::Crashed:
        result =
            Error(outcome.ended == ChildProcess::Ended::Crashed ? Error::Code::ProcessCrashed
                                                                : Error::Code::ProcessNotStarted,
                  why.isEmpty() ? QStringLiteral("%1 could not run: %2").arg(m_program, outcome.systemError) : why);
        break;
    case ChildProcess::Ended::Exited:
        if (outcome.status != 0) {
            Error error(Error::Code::ProcessFailed, why);
            error.status = outcome.status;
            result = error;
            break;
        }
        // rename(2) replaces the target in one step, so readers see the old file or the new one.
        const QByteArray from = QFile::encodeName(m_workDir->filePath(QStringLiteral("export")));
        const QByteArray to = QFile::encodeName(m_target);
        if (std::rename(from.constData(), to.constData()) != 0)
            result = Error(Error::Code::FileWrite,
                           QStringLiteral("The export could not be moved into place: %1").arg(qt_error_string(errno)));
        break;
    }
    m_workDir.reset();
    emit finished(result);
}

void ExportRunner::cancel()
{
    if (!m_child.isRunning())
        return;
    m_child.cancel();
    // Removes whatever the stopped program had written.
    m_workDir.reset();
}
