#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

class OutlineController;
class QMenu;
class Workspace;

// The search field: the live filter over the outline, its options, and the recent searches.
class SearchController : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxRecentSearches = 10;

    SearchController(Workspace& workspace, OutlineController& outline, QObject* parent = nullptr);
    ~SearchController() override;
    // Reads the recent searches and gives the field its menu.
    void launch();

    QString value() const { return m_value; }
    void setValue(const QString& value);
    bool caseSensitive() const { return m_caseSensitive; }
    void setCaseSensitive(bool on);
    bool regularExpressions() const { return m_regularExpressions; }
    void setRegularExpressions(bool on);
    // Null while the search is valid.
    QString errorMessage() const { return m_error; }

    QStringList recentSearches() const { return m_recentSearches; }
    void addRecentSearch(const QString& text);
    void selectRecentSearch(const QString& title);
    void clearRecentSearches();
    void updateSearchMenu();
    QMenu* searchMenu() const { return m_searchMenu.get(); }

    bool searchIsShown() const { return m_searchIsShown; }
    void setSearchIsShown(bool shown);
    void toggleSearchPanel() { setSearchIsShown(!m_searchIsShown); }

private:
    void optionsChanged();

    Workspace& m_workspace;
    OutlineController& m_outline;
    QString m_value;
    bool m_caseSensitive = true;
    bool m_regularExpressions = false;
    QString m_error;
    QStringList m_recentSearches;
    bool m_searchIsShown = true;
    std::unique_ptr<QMenu> m_searchMenu;
};
