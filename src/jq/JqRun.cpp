#include "jq/JqRun.h"

#include "model/InstallLayout.h"

#include <csignal>

QString JqRun::bundledJqPath()
{
    return InstallLayout::jqProgram();
}

JqRun::JqRun(QObject* parent) : QObject(parent)
{
    // jq may end before it has read all of the document (a filter that does not compile); writing the rest
    // must then fail quietly instead of ending the program.
    std::signal(SIGPIPE, SIG_IGN);
}

JqRun::~JqRun()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(2000);
    }
}

void JqRun::start(const QString& program, const QString& filter, const QByteArray& input)
{
    if (m_process)
        return;
    m_process = new QProcess(this);
    connect(m_process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        Outcome outcome;
        outcome.started = true;
        outcome.status = exitCode;
        outcome.reason = status == QProcess::CrashExit ? 2 : 1;
        outcome.output = m_process->readAllStandardOutput();
        outcome.errors = m_process->readAllStandardError();
        report(outcome);
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        Outcome outcome;
        outcome.startError = m_process->errorString();
        report(outcome);
    });
    m_process->start(program, {filter});
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->write(input);
        m_process->closeWriteChannel();
    }
}

void JqRun::stop()
{
    if (m_process)
        m_process->terminate();
}

void JqRun::report(const Outcome& outcome)
{
    if (!m_process)
        return;
    m_process->deleteLater();
    m_process = nullptr;
    emit finished(outcome);
}
