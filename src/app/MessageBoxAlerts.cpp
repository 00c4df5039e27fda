#include "app/MessageBoxAlerts.h"

#include <QMessageBox>

void MessageBoxAlerts::present(const Alert& alert)
{
    const auto icon = alert.style == Alert::Style::Critical ? QMessageBox::Critical : QMessageBox::Information;
    QMessageBox box(icon, alert.title, alert.message, QMessageBox::Ok, m_window);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}
