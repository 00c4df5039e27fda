#pragma once

#include <QDialog>

class MailingListManager;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTimer;

// The newsletter invitation: a pitch, the address form, a progress state while the request runs, and a
// confirmation that closes itself. It closes only through the manager (its four buttons).
class MailingListPromptView : public QDialog
{
    Q_OBJECT
public:
    static constexpr int autoDismissMs = 3500;

    MailingListPromptView(MailingListManager& manager, QWidget* window);

    QLineEdit* emailField() const { return m_email; }
    QLabel* failureLabel() const { return m_failure; }
    QPushButton* declineButton() const { return m_decline; }
    QPushButton* snoozeButton() const { return m_snooze; }
    QPushButton* subscribeButton() const { return m_subscribe; }
    QPushButton* doneButton() const { return m_done; }
    // 0: the form, 1: progress, 2: the confirmation.
    int currentScreen() const;
    bool dismissalPending() const;

public slots:
    // Escape and the window manager's close do nothing: the user answers with a button.
    void reject() override {}

protected:
    void showEvent(QShowEvent* event) override;

private:
    void followStatus();

    MailingListManager& m_manager;
    QStackedWidget* m_screens;
    QLineEdit* m_email;
    QLabel* m_failure;
    QPushButton* m_decline;
    QPushButton* m_snooze;
    QPushButton* m_subscribe;
    QPushButton* m_done;
    QTimer* m_dismiss;
};
