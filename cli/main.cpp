#include "cli/CliCommands.h"
#include "editor/WebEngineSetup.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    std::unique_ptr<QCoreApplication> app;
    if (Cli::needsEditorPage(arguments)) {
        // The page runs in a web engine that never shows a window.
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        WebEngineSetup::prepareProcess();
        // The web engine reports its start-up on the way; a terminal wants only the command's own messages.
        if (!qEnvironmentVariableIsSet("BRACKWELL_LOG_TO_STDERR"))
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
                if (type == QtCriticalMsg || type == QtFatalMsg)
                    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
            });
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("brackwell-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRACKWELL_VERSION));
    return Cli::run(QCoreApplication::arguments());
}
