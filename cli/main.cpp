#include "cli/CliCommands.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brackwell-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRACKWELL_VERSION));
    return Cli::run(QCoreApplication::arguments());
}
