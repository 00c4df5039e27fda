#pragma once

#include "app/newsletter/MailingListPromptView.h"

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <memory>

class MailingListManager;
class Updater;
class UpdaterUi;
class Workspace;

// The two things the application asks of the user on its own: the update check (Help > Check for Updates…) and
// the newsletter invitation with its Help menu item. The invitation waits while an update session is on screen.
class NewsletterController : public QObject
{
    Q_OBJECT
public:
    explicit NewsletterController(Workspace& workspace, QObject* parent = nullptr);
    ~NewsletterController() override;

    Updater* updater() const { return m_updater.get(); }
    // Replaces the update dialogs (tests record them); not owned. nullptr restores the dialogs.
    void setUpdaterUi(UpdaterUi* ui);
    void checkForUpdates();

    // The manager the start-up wiring uses instead of the shared one (tests); not owned.
    void setMailingListManager(MailingListManager* manager) { m_mailingListOverride = manager; }
    // Connects the manager and counts the launch; the invitation's item goes at the end of `help`.
    void launch(QMenu* help);
    void updateHelpMenu(bool optedOut);
    void showMailingListPrompt();
    QAction* subscribeMenuItem() const { return m_subscribeMenuItem; }
    MailingListPromptView* mailingListSheet() const { return m_mailingListSheet; }

private:
    void applyMailingListSheetRule(bool presented);

    Workspace& m_workspace;
    std::unique_ptr<UpdaterUi> m_updaterDialogs;
    std::unique_ptr<Updater> m_updater;
    MailingListManager* m_mailingListOverride = nullptr;
    MailingListManager* m_mailingList = nullptr;
    QPointer<MailingListPromptView> m_mailingListSheet;
    QPointer<QAction> m_subscribeMenuItem;
    QPointer<QMenu> m_helpMenu;
};
