#pragma once

#include "jq/ChildProcess.h"
#include "model/ExportFormat.h"
#include "model/Result.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QTemporaryDir;

// Writes an export (XML, YAML, a property list) in brackwell-cli, so that a document of millions of nodes never
// blocks the window and the export can be stopped. The file is written into a private folder beside the target and
// moved into place only when it is complete.
class ExportRunner : public QObject
{
    Q_OBJECT
public:
    explicit ExportRunner(const QString& program, QObject* parent = nullptr);
    ~ExportRunner() override;

    // Starts writing the document's JSON text to `path` in `format`, or says why it cannot start (ProcessBusy,
    // FileWrite). finished() follows unless cancel() comes first.
    Result<void> start(const QByteArray& json, ExportFormat format, const QString& path);
    // Stops the export; the target is left as it was.
    void cancel();
    bool isRunning() const { return m_child.isRunning(); }

signals:
    // Success, or why the export failed: ProcessNotStarted, ProcessCrashed, ProcessFailed (the message is what
    // the program wrote to standard error), FileWrite when the file could not be moved into place.
    void finished(const Result<void>& result);

private:
    void onFinished(const ChildProcess::Outcome& outcome);

    QString m_program;
    ChildProcess m_child;
    std::unique_ptr<QTemporaryDir> m_workDir;
    QString m_target;
};
