#include "jq/ChildProcess.h"

#include <QProcess>
#include <csignal>

ChildProcess::ChildProcess(QObject* parent) : QObject(parent)
{
    // A program may end before it has read all of its input (jq with a filter that does not compile); writing
    // the rest must then fail quietly instead of ending this program.
    std::signal(SIGPIPE, SIG_IGN);
}

ChildProcess::~ChildProcess()
{
    cancel();
}

Result<void> ChildProcess::start(const QString& program, const QStringList& arguments, const QByteArray& input)
{
    if (m_process)
        return Error(Error::Code::ProcessBusy, QStringLiteral("%1 is still running.").arg(program));
    m_process = new QProcess(this);
    connect(m_process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        Outcome outcome;
        outcome.ended = status == QProcess::CrashExit ? Ended::Crashed : Ended::Exited;
        outcome.status = exitCode;
        if (outcome.ended == Ended::Crashed)
            outcome.systemError = m_process->errorString();
        outcome.output = m_process->readAllStandardOutput();
        outcome.errors = m_process->readAllStandardError();
        report(std::move(outcome));
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // Other errors (a crash, a failed write) are followed by finished().
        if (error != QProcess::FailedToStart)
            return;
        Outcome outcome;
        outcome.systemError = m_process->errorString();
        report(std::move(outcome));
    });
    m_process->start(program, arguments);
    // A program that cannot start has been reported already, inside start().
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->write(input);
        m_process->closeWriteChannel();
    }
    return {};
}

void ChildProcess::stop()
{
    if (m_process)
        m_process->terminate();
}

void ChildProcess::cancel()
{
    if (!m_process)
        return;
    QProcess* process = std::exchange(m_process, nullptr);
    process->disconnect(this);
    process->kill();
    process->waitForFinished(5000);
    process->deleteLater();
}

void ChildProcess::report(Outcome outcome)
{
    if (!m_process)
        return;
    std::exchange(m_process, nullptr)->deleteLater();
    emit finished(outcome);
}
