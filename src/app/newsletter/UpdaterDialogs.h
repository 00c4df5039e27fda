#pragma once

#include "update/Updater.h"

class QWidget;

// The updater's messages as message boxes on the main window.
class UpdaterDialogs : public UpdaterUi
{
public:
    explicit UpdaterDialogs(QWidget* window) : m_window(window) {}
    void showAvailable(const QString& version, const QUrl& downloadPage) override;
    void showUpToDate(const QString& version) override;
    void showError(const QString& message) override;
    void showNotConfigured() override;

private:
    QWidget* m_window;
};
