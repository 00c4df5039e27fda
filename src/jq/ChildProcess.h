#pragma once

#include "model/Result.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;

// One run of an external program while the event loop goes on: the program with its arguments (never through a
// shell), bytes on its standard input, both output streams collected whole. finished() follows exactly once per
// run, also when the program cannot start, unless cancel() comes first.
class ChildProcess : public QObject
{
    Q_OBJECT
public:
    enum class Ended {
        Exited,     // the program exited; `status` is its exit status
        Crashed,    // a signal ended it; `status` is the signal
        NotStarted, // it could not be started
    };
    struct Outcome
    {
        Ended ended = Ended::NotStarted;
        int status = 0;
        QString systemError; // the system's words when the program did not start or crashed
        QByteArray output;
        QByteArray errors;

        bool succeeded() const { return ended == Ended::Exited && status == 0; }
    };

    explicit ChildProcess(QObject* parent = nullptr);
    // Kills a run still going, without reporting it.
    ~ChildProcess() override;

    // ProcessBusy while a run is going; otherwise the run starts and finished() follows (at once when the
    // program cannot be started).
    Result<void> start(const QString& program, const QStringList& arguments, const QByteArray& input);
    // Asks the program to end (SIGTERM); finished() reports how it ended.
    void stop();
    // Kills the program and waits for it, without finished().
    void cancel();
    bool isRunning() const { return m_process != nullptr; }

signals:
    void finished(const ChildProcess::Outcome& outcome);

private:
    void report(Outcome outcome);

    QProcess* m_process = nullptr;
};
