#pragma once

#include "model/ExportFormat.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QProcess;
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

    // Starts writing the document's JSON text to `path` in `format`; false (with the reason) when it cannot
    // start. finished() follows unless cancel() comes first.
    bool start(const QByteArray& json, ExportFormat format, const QString& path, QString* why = nullptr);
    // Stops the export; the target is left as it was.
    void cancel();
    bool isRunning() const;

signals:
    void finished(bool ok, const QString& why);

private:
    void onFinished(int exitCode, bool crashed);

    QString m_program;
    QProcess* m_process = nullptr;
    std::unique_ptr<QTemporaryDir> m_workDir;
    QString m_target;
    QByteArray m_errors;
};
