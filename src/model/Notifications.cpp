#include "model/Notifications.h"

#include <QCoreApplication>
#include <QThread>

Notifications::Notifications()
{
    // Trees are built on worker threads and shown on the main thread, where they are edited and listened to.
    if (auto* app = QCoreApplication::instance())
        moveToThread(app->thread());
}

void Notifications::postTreeDataChanged()
{
    if (m_batchDepth > 0) {
        m_pendingTreeDataChanged = true;
        return;
    }
    emit treeDataChanged();
}

Notifications::Batch::Batch(Notifications& notifications) : m_notifications(notifications)
{
    ++m_notifications.m_batchDepth;
}

Notifications::Batch::~Batch()
{
    if (--m_notifications.m_batchDepth > 0 || !m_notifications.m_pendingTreeDataChanged)
        return;
    m_notifications.m_pendingTreeDataChanged = false;
    emit m_notifications.treeDataChanged();
}
