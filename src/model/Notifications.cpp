#include "model/Notifications.h"

#include <QCoreApplication>
#include <QThread>

Notifications* Notifications::instance()
{
    static Notifications* notifications = [] {
        auto* created = new Notifications;
        if (auto* app = QCoreApplication::instance())
            created->moveToThread(app->thread());
        return created;
    }();
    return notifications;
}

void Notifications::postSavedStatusChanged()
{
    if (QThread::currentThread() == thread()) {
        emit savedStatusChanged();
        return;
    }
    QMetaObject::invokeMethod(
        this, [this] { emit savedStatusChanged(); }, Qt::QueuedConnection);
}
