#include "model/Settings.h"

namespace {
const QString kRecentDocuments = QStringLiteral("RecentDocuments");
constexpr int kMaxRecentDocuments = 10;

std::unique_ptr<Settings>& slot()
{
    static std::unique_ptr<Settings> settings;
    return settings;
}
} // namespace

Settings::Settings(std::unique_ptr<QSettings> settings) : m_settings(std::move(settings)) {}

Settings& Settings::instance()
{
    auto& settings = slot();
    if (!settings)
        settings.reset(new Settings(std::make_unique<QSettings>()));
    return *settings;
}

void Settings::useFile(const QString& path)
{
    slot().reset(new Settings(std::make_unique<QSettings>(path, QSettings::IniFormat)));
}

QStringList Settings::recentDocuments() const
{
    return m_settings->value(kRecentDocuments).toStringList();
}

void Settings::addRecentDocument(const QString& path)
{
    QStringList list = recentDocuments();
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > kMaxRecentDocuments)
        list.removeLast();
    m_settings->setValue(kRecentDocuments, list);
}
