#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>

// One run of jq: the filter as its only argument, the document's JSON text on standard input, both output
// streams collected completely. The process runs on its own while the caller's event loop goes on, and
// can be stopped.
class JqRun : public QObject
{
    Q_OBJECT
public:
    struct Outcome
    {
        bool started = false;
        QString startError; // why jq could not be run, when it did not start
        int status = 0;     // the exit status, or the signal that ended jq
        int reason = 1;     // 1: jq exited; 2: a signal ended it
        QByteArray output;
        QByteArray errors;
    };

    // The jq that ships with Brackwell: libexec/brackwell/jq beside the program's bin folder, never PATH.
    static QString bundledJqPath();

    explicit JqRun(QObject* parent = nullptr);
    ~JqRun() override;

    // Starts jq; finished() follows once, also when jq cannot be started.
    void start(const QString& program, const QString& filter, const QByteArray& input);
    // Ends the run: jq is terminated, and finished() reports how it ended.
    void stop();
    bool isRunning() const { return m_process != nullptr; }

signals:
    void finished(const JqRun::Outcome& outcome);

private:
    void report(const Outcome& outcome);

    QProcess* m_process = nullptr;
};
