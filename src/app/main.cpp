// brackwell: the window. A launch while another instance runs hands its files over and exits.
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "app/MessageBoxAlerts.h"
#include "app/SingleInstance.h"
#include "editor/WebEngineSetup.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

int main(int argc, char* argv[])
{
    WebEngineSetup::prepareProcess();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brackwell"));
    QApplication::setOrganizationName(QStringLiteral("Brackwell"));
    QApplication::setApplicationVersion(QStringLiteral(BRACKWELL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.brackwell.Brackwell"));

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
