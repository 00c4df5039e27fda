// brackwell: the window. A launch while another instance runs hands its files over and exits.
#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/MessageBoxAlerts.h"
#include "app/SingleInstance.h"
#include "editor/WebEngineSetup.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const auto information = CommandLine::informationRequested(arguments)) {
        std::fputs(information->toLocal8Bit().constData(), stdout);
        return 0;
    }
    WebEngineSetup::prepareProcess();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brackwell"));
    QApplication::setOrganizationName(QStringLiteral("Brackwell"));
    QApplication::setApplicationVersion(QStringLiteral(BRACKWELL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.brackwell.Brackwell"));
    // The installed theme's icon when there is one; the program's own copy from the build tree.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.brackwell.Brackwell"),
                                                 QIcon(QStringLiteral(":/icons/org.brackwell.Brackwell.svg"))));

    // The running instance has its own working directory, so paths travel absolute.
    QStringList paths;
    for (const QString& argument : application.arguments().mid(1))
        paths << QFileInfo(argument).absoluteFilePath();
    if (SingleInstance::forwardToRunning(paths))
        return 0;

    AppDelegate delegate;
    MessageBoxAlerts alerts(delegate.window());
    Alerts::setPresenter(&alerts);

    SingleInstance instance;
    instance.listen();
    QObject::connect(&instance, &SingleInstance::openRequested, &delegate, [&delegate](const QStringList& files) {
        delegate.openFiles(files);
        delegate.applicationShouldHandleReopen();
    });
    QObject::connect(&instance, &SingleInstance::reopenRequested, &delegate,
                     &AppDelegate::applicationShouldHandleReopen);

    delegate.window()->show();
    // A file named at launch arrives before start-up, like a file the desktop asks to open.
    delegate.openFiles(paths);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    const int status = QApplication::exec();
    Alerts::setPresenter(nullptr);
    return status;
}
