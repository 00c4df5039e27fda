// The newsletter invitation: the manager's wiring, the sheet and the Help menu item.
#include "app/AppDelegate.h"

#include "app/MailingListPromptView.h"
#include "app/MainWindow.h"
#include "newsletter/MailingListManager.h"
#include "update/Updater.h"

#include <QMenu>
#include <QMenuBar>

void AppDelegate::setMailingListManager(MailingListManager* manager)
{
    m_mailingListOverride = manager;
}

void AppDelegate::connectMailingList()
{
    MailingListManager& manager = m_mailingListOverride ? *m_mailingListOverride : MailingListManager::shared();
    m_mailingList = &manager;
    const QPointer<AppDelegate> self(this);
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

void AppDelegate::applyMailingListSheetRule(bool presented)
{
    if (presented) {
        if (m_mailingListSheet || !m_window)
            return;
        m_mailingListSheet = new MailingListPromptView(*m_mailingList, m_window.get());
        m_mailingListSheet->open();
        return;
    }
    if (m_mailingListSheet) {
        m_mailingListSheet->hide();
        m_mailingListSheet->deleteLater();
        m_mailingListSheet = nullptr;
    }
}

void AppDelegate::updateHelpMenu(bool optedOut)
{
    QMenuBar* bar = m_window->menuBar();
    if (!bar)
        return;
    QMenu* help = m_window->helpMenu();
    if (!help && !bar->actions().isEmpty())
        help = bar->actions().last()->menu();
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
    connect(m_subscribeMenuItem, &QAction::triggered, this, &AppDelegate::showMailingListPrompt);
}

void AppDelegate::showMailingListPrompt()
{
    if (m_mailingList)
        m_mailingList->presentOnRequest();
}
