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

void Notifications::postTreeDataChanged()
{
    if (m_batchDepth > 0) {
        m_pendingTreeDataChanged = true;
        return;
    }
    emit treeDataChanged();
}

Notifications::Batch::Batch()
{
    ++instance()->m_batchDepth;
}

Notifications::Batch::~Batch()
{
    Notifications* notifications = instance();
    if (--notifications->m_batchDepth > 0 || !notifications->m_pendingTreeDataChanged)
        return;
    notifications->m_pendingTreeDataChanged = false;
    emit notifications->treeDataChanged();
}
