#include "app/ExportRunner.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

ExportRunner::ExportRunner(const QString& program, QObject* parent) : QObject(parent), m_program(program) {}

ExportRunner::~ExportRunner()
{
    cancel();
}

bool ExportRunner::isRunning() const
{
    return m_process != nullptr;
}

bool ExportRunner::start(const QByteArray& json, ExportFormat format, const QString& path, QString* why)
{
    if (m_process) {
        if (why)
            *why = QStringLiteral("Another export is still being written.");
        return false;
    }
    const QFileInfo target(path);
    m_workDir = std::make_unique<QTemporaryDir>(target.absoluteDir().filePath(QStringLiteral(".brackwell-XXXXXX")));
    if (!m_workDir->isValid()) {
        if (why)
            *why = m_workDir->errorString();
        m_workDir.reset();
        return false;
    }
    m_target = target.absoluteFilePath();
    m_errors.clear();
    m_process = new QProcess(this);
    connect(m_process, &QProcess::readyReadStandardError, this,
            [this] { m_errors += m_process->readAllStandardError().left(64 * 1024); });
    connect(m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) { onFinished(exitCode, status == QProcess::CrashExit); });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onFinished(-1, true);
    });
    m_process->start(m_program, {QStringLiteral("export"), QStringLiteral("--to"), ExportFormats::cliName(format),
                                 QStringLiteral("-"), m_workDir->filePath(QStringLiteral("export"))});
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->write(json);
        m_process->closeWriteChannel();
    }
    return true;
}

void ExportRunner::onFinished(int exitCode, bool crashed)
{
    if (!m_process)
        return;
    QProcess* process = m_process;
    m_process = nullptr;
    process->deleteLater();
    QString why = QString::fromUtf8(m_errors).trimmed();
    bool ok = !crashed && exitCode == 0;
    if (crashed && why.isEmpty())
        why = QStringLiteral("%1 could not run: %2").arg(m_program, process->errorString());
    if (ok) {
        // rename(2) replaces the target in one step, so readers see the old file or the new one.
        const QByteArray from = QFile::encodeName(m_workDir->filePath(QStringLiteral("export")));
        const QByteArray to = QFile::encodeName(m_target);
        if (std::rename(from.constData(), to.constData()) != 0) {
            ok = false;
            why = QStringLiteral("The export could not be moved into place: %1").arg(qt_error_string(errno));
        }
    }
    m_workDir.reset();
    emit finished(ok, why);
}

void ExportRunner::cancel()
{
    if (!m_process)
        return;
    QProcess* process = m_process;
    m_process = nullptr;
    process->disconnect(this);
    process->kill();
    process->waitForFinished(5000);
    process->deleteLater();
    // Removes whatever the stopped program had written.
    m_workDir.reset();
}
