#include "model/Alerts.h"

#include "model/Log.h"

namespace Alerts {
namespace {
AlertPresenter* g_presenter = nullptr;
}

void setPresenter(AlertPresenter* presenter)
{
    g_presenter = presenter;
}

void present(const Alert& alert)
{
    if (g_presenter) {
        g_presenter->present(alert);
        return;
    }
    BW_LOG_ERROR("present(_:)", alert.title + QLatin1Char('\n') + alert.message);
}

} // namespace Alerts
