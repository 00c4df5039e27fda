#include "app/newsletter/UpdaterDialogs.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>

void UpdaterDialogs::showAvailable(const QString& version, const QUrl& downloadPage)
{
    QMessageBox box(QMessageBox::Information, QObject::tr("Brackwell %1 is available").arg(version),
                    QObject::tr("Brackwell %1 is available. Open the download page to get it.").arg(version),
                    QMessageBox::NoButton, m_window);
    QPushButton* open = box.addButton(QObject::tr("Open Download Page"), QMessageBox::AcceptRole);
    box.addButton(QObject::tr("Later"), QMessageBox::RejectRole);
    open->setEnabled(downloadPage.isValid() && !downloadPage.isEmpty());
    box.exec();
    if (box.clickedButton() == open)
        QDesktopServices::openUrl(downloadPage);
}

void UpdaterDialogs::showUpToDate(const QString& version)
{
    QMessageBox::information(m_window, QObject::tr("You're up to date"),
                             QObject::tr("Brackwell %1 is the newest version available.").arg(version));
}

void UpdaterDialogs::showError(const QString& message)
{
    QMessageBox::warning(m_window, QObject::tr("Update check failed"), message);
}

void UpdaterDialogs::showNotConfigured()
{
    QMessageBox::information(m_window, QObject::tr("Updates are not configured"),
                             QObject::tr("This build of Brackwell has no update address. Your package manager "
                                         "keeps it up to date."));
}
