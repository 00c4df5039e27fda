#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

// The user's persistent settings, with every key in one place. Tests use an instance on a temporary file so
// that they never touch the real user's settings.
class Settings
{
public:
    static Settings& instance();
    // Replaces the process-wide instance with one stored in `path` (tests).
    static void useFile(const QString& path);

    QStringList recentDocuments() const;
    // Most recent first, without duplicates, at most ten.
    void addRecentDocument(const QString& path);
    void clearRecentDocuments();

    // "BrackwellRecentSearches": the search field's recent searches, most recent first.
    QStringList recentSearches() const;
    void setRecentSearches(const QStringList& searches);
    void removeRecentSearches();

    // "JQRecentRecipes": the jq recipe templates picked last, newest first.
    QStringList jqRecentRecipes() const;
    void setJqRecentRecipes(const QStringList& templates);

    // The confirmation questions a user has silenced, one key per command family.
    static QString newDocumentKey();
    static QString openDocumentKey();
    static QString performedDownloadKey();
    bool isSuppressed(const QString& key) const;
    void setSuppressed(const QString& key);

    QSettings& store() { return *m_settings; }

private:
    explicit Settings(std::unique_ptr<QSettings> settings);
    std::unique_ptr<QSettings> m_settings;
};
