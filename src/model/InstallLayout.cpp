#include "model/InstallLayout.h"

#include <QCoreApplication>
#include <QDir>

namespace InstallLayout {

QString programDirectory()
{
    return QCoreApplication::applicationDirPath();
}

QString cliProgram(const QString& programDirectory)
{
    return QDir(programDirectory).absoluteFilePath(QStringLiteral("brackwell-cli"));
}

QString jqProgram(const QString& programDirectory)
{
    return QDir::cleanPath(QDir(programDirectory).absoluteFilePath(QStringLiteral("../libexec/brackwell/jq")));
}

QString editorPageDirectory(const QString& programDirectory)
{
    return QDir::cleanPath(QDir(programDirectory).absoluteFilePath(QStringLiteral("../share/brackwell/Core")));
}

} // namespace InstallLayout
