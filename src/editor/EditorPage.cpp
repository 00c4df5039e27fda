#include "editor/EditorPage.h"

#include <QMutexLocker>

QString EditorPage::offerText(QByteArray text)
{
    QMutexLocker lock(&m_offeredLock);
    const QString path = QStringLiteral("text/%1").arg(++m_lastOffered);
    m_offered.insert(path, std::move(text));
    return pageOrigin() + path;
}

std::optional<QByteArray> EditorPage::takeOfferedText(const QString& path)
{
    QMutexLocker lock(&m_offeredLock);
    auto found = m_offered.find(path);
    if (found == m_offered.end())
        return std::nullopt;
    QByteArray text = std::move(*found);
    m_offered.erase(found);
    return text;
}

void EditorPage::dropOfferedTexts()
{
    QMutexLocker lock(&m_offeredLock);
    m_offered.clear();
}

QString EditorPage::pageOrigin()
{
    return QStringLiteral("brackwell://editor/");
}
