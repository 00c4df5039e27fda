#pragma once

#include <QString>

// An alert the model asks the user to see. The window shows it as a message box; tests record it.
struct Alert
{
    enum class Style { Critical, Informational };
    QString title;
    QString message;
    Style style = Style::Critical;
};

class AlertPresenter
{
public:
    virtual ~AlertPresenter() = default;
    virtual void present(const Alert& alert) = 0;
};

namespace Alerts {

// The presenter is not owned. Without one, alerts are written to the log so they are never silently lost.
void setPresenter(AlertPresenter* presenter);
void present(const Alert& alert);

} // namespace Alerts
