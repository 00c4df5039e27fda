#include "model/Settings.h"

namespace {
const QString kRecentDocuments = QStringLiteral("RecentDocuments");
const QString kRecentSearches = QStringLiteral("BrackwellRecentSearches");
const QString kRecentRecipes = QStringLiteral("JQRecentRecipes");
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

void Settings::clearRecentDocuments()
{
    m_settings->remove(kRecentDocuments);
}

QStringList Settings::recentSearches() const
{
    return m_settings->value(kRecentSearches).toStringList();
}

void Settings::setRecentSearches(const QStringList& searches)
{
    m_settings->setValue(kRecentSearches, searches);
}

void Settings::removeRecentSearches()
{
    m_settings->remove(kRecentSearches);
}

QString Settings::newDocumentKey()
{
    return QStringLiteral("new-document");
}

QString Settings::openDocumentKey()
{
    return QStringLiteral("open-document");
}

QString Settings::performedDownloadKey()
{
    return QStringLiteral("performed-download");
}

bool Settings::isSuppressed(const QString& key) const
{
    return !key.isEmpty() && m_settings->value(key, false).toBool();
}

void Settings::setSuppressed(const QString& key)
{
    if (!key.isEmpty())
        m_settings->setValue(key, true);
}

QStringList Settings::jqRecentRecipes() const
{
    return m_settings->value(kRecentRecipes).toStringList();
}

void Settings::setJqRecentRecipes(const QStringList& templates)
{
    m_settings->setValue(kRecentRecipes, templates);
}
