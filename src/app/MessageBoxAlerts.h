#pragma once

#include "model/Alerts.h"

class QWidget;

// Shows the model's alerts as application-modal message boxes with the single button "OK".
class MessageBoxAlerts : public AlertPresenter
{
public:
    explicit MessageBoxAlerts(QWidget* window = nullptr) : m_window(window) {}
    void setWindow(QWidget* window) { m_window = window; }
    void present(const Alert& alert) override;

private:
    QWidget* m_window;
};
