#pragma once

#include "model/ExportFormat.h"

#include <QObject>
#include <QString>

class Workspace;

// Save As and the exports: JSON is written here, every other format by brackwell-cli behind a progress dialog,
// so that a document of millions of nodes never holds the window.
class ExportController : public QObject
{
    Q_OBJECT
public:
    explicit ExportController(Workspace& workspace, QObject* parent = nullptr);

    // Asks where, then writes. True when the file was written, or for every format but JSON, when its export
    // started (exportFinished() tells the outcome).
    bool exportWithPanel(ExportFormat format);
    bool writeExport(const QString& path, ExportFormat format);
    // brackwell-cli, which writes every export but JSON; beside this program unless set.
    void setHelperProgram(const QString& program) { m_helperProgram = program; }
    QString helperProgram() const;

signals:
    void exportFinished(bool ok);

private:
    bool startHelperExport(const QString& path, ExportFormat format);

    Workspace& m_workspace;
    QString m_helperProgram;
};
