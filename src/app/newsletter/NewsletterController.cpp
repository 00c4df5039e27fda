#include "app/newsletter/NewsletterController.h"

#include "app/MainWindow.h"
#include "app/Workspace.h"
#include "app/newsletter/MailingListPromptView.h"
#include "app/newsletter/UpdaterDialogs.h"
#include "newsletter/MailingListManager.h"
#include "update/Updater.h"

#include <QMenu>

NewsletterController::NewsletterController(Workspace& workspace, QObject* parent)
    : QObject(parent), m_workspace(workspace)
{
    // The updater lives for the whole run and is started while the application is being built.
    m_updaterDialogs = std::make_unique<UpdaterDialogs>(&m_workspace.window());
    m_updater = std::make_unique<Updater>(Updater::configuredFeed(), QStringLiteral(BRACKWELL_VERSION));
    m_updater->setUi(m_updaterDialogs.get());
    m_updater->start();
}

NewsletterController::~NewsletterController()
{
    if (m_mailingList)
        m_mailingList->disconnect(this);
}

void NewsletterController::setUpdaterUi(UpdaterUi* ui)
{
    m_updater->setUi(ui ? ui : m_updaterDialogs.get());
}

void NewsletterController::checkForUpdates()
{
    m_updater->checkForUpdates();
}

void NewsletterController::launch(QMenu* help)
{
    m_helpMenu = help;
    MailingListManager& manager = m_mailingListOverride ? *m_mailingListOverride : MailingListManager::shared();
    m_mailingList = &manager;
    const QPointer<NewsletterController> self(this);
    manager.setShouldDeferPrompt([self] { return self && self->m_updater->sessionInProgress(); });
    updateHelpMenu(manager.isOptedOut());
    // Changes are acted on in a later turn of the event loop, never inside the manager's own operation.
    connect(
        &manager, &MailingListManager::isOptedOutChanged, this, [this] { updateHelpMenu(m_mailingList->isOptedOut()); },
        Qt::QueuedConnection);
    connect(
        &manager, &MailingListManager::isPresentedChanged, this,
        [this] { applyMailingListSheetRule(m_mailingList->isPresented()); }, Qt::QueuedConnection);
    manager.registerLaunch();
}

void NewsletterController::applyMailingListSheetRule(bool presented)
{
    if (presented) {
        if (m_mailingListSheet)
            return;
        m_mailingListSheet = new MailingListPromptView(*m_mailingList, &m_workspace.window());
        m_mailingListSheet->open();
        return;
    }
    if (m_mailingListSheet) {
        m_mailingListSheet->hide();
        m_mailingListSheet->deleteLater();
        m_mailingListSheet = nullptr;
    }
}

void NewsletterController::updateHelpMenu(bool optedOut)
{
    QMenu* help = m_helpMenu;
    if (optedOut) {
        // The separator added with the item stays.
        if (m_subscribeMenuItem) {
            for (QObject* holder : m_subscribeMenuItem->associatedObjects())
                if (auto* widget = qobject_cast<QWidget*>(holder))
                    widget->removeAction(m_subscribeMenuItem);
            m_subscribeMenuItem->deleteLater();
            m_subscribeMenuItem = nullptr;
        }
        return;
    }
    if (m_subscribeMenuItem || !help)
        return;
    help->addSeparator();
    m_subscribeMenuItem = help->addAction(tr("Subscribe to &Newsletter…"));
    connect(m_subscribeMenuItem, &QAction::triggered, this, &NewsletterController::showMailingListPrompt);
}

void NewsletterController::showMailingListPrompt()
{
    if (m_mailingList)
        m_mailingList->presentOnRequest();
}
