// The search field's side of the controller: the live filter, its options and the recent searches.
#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "app/MenuText.h"
#include "app/OutlineModel.h"
#include "app/SearchField.h"
#include "model/Log.h"
#include "model/Settings.h"

#include <QMenu>

void AppDelegate::setSearchPredicateValue(const QString& value)
{
    if (m_searchValue == value)
        return;
    m_searchValue = value;
    emit SearchPredicateValueChanged();
    searchPredicateChanged();
}

void AppDelegate::setSearchPredicateCaseSensitive(bool on)
{
    if (m_searchCaseSensitive == on)
        return;
    m_searchCaseSensitive = on;
    m_searchSettings.caseSensitive = on;
    searchOptionsChanged();
    emit SearchPredicateCaseSensitiveChanged();
}

void AppDelegate::setSearchPredicateRegularExpressions(bool on)
{
    if (m_searchRegularExpressions == on)
        return;
    m_searchRegularExpressions = on;
    m_searchSettings.regularExpression = on;
    searchOptionsChanged();
    emit SearchPredicateRegularExpressionsChanged();
}

void AppDelegate::searchPredicateChanged()
{
    m_searchSettings.text = m_searchValue;
    searchOptionsChanged();
}

void AppDelegate::searchOptionsChanged()
{
    validateSearchRegex();
    // Re-filters the whole tree and shows every match expanded.
    refreshOutline();
}

void AppDelegate::validateSearchRegex()
{
    const std::optional<QString> message = m_searchSettings.compileExpression();
    const QString error = message ? *message : QString();
    m_window->searchField()->showError(message ? QStringLiteral("Invalid regex: ") + *message : QString());
    if (m_searchError == error && m_searchError.isNull() == error.isNull())
        return;
    m_searchError = error;
    emit SearchErrorMessageChanged();
}

void AppDelegate::addRecentSearch(const QString& text)
{
    if (text.isEmpty())
        return;
    m_recentSearches.removeOne(text);
    m_recentSearches.prepend(text);
    while (m_recentSearches.size() > maxRecentSearches())
        m_recentSearches.removeLast();
    Settings::instance().setRecentSearches(m_recentSearches);
    emit recentSearchesChanged();
}

void AppDelegate::selectRecentSearch(const QString& title)
{
    m_window->searchField()->setText(title);
    setSearchPredicateValue(title);
    addRecentSearch(title);
    updateSearchMenu();
}

void AppDelegate::clearRecentSearches()
{
    m_recentSearches.clear();
    Settings::instance().removeRecentSearches();
    emit recentSearchesChanged();
    updateSearchMenu();
}

void AppDelegate::setupSearchMenu()
{
    updateSearchMenu();
    connect(m_window->searchField(), &SearchField::editingBegan, this, &AppDelegate::searchFieldClicked,
            Qt::UniqueConnection);
}

void AppDelegate::updateSearchMenu()
{
    auto menu = std::make_unique<QMenu>(QStringLiteral("Recent Searches"));
    menu->setTitle(QStringLiteral("Recent Searches"));
    for (const QString& entry : std::as_const(m_recentSearches)) {
        QAction* item = menu->addAction(menuText(entry));
        connect(item, &QAction::triggered, this, [this, entry] { selectRecentSearch(entry); });
    }
    if (!m_recentSearches.isEmpty()) {
        menu->addSeparator();
        connect(menu->addAction(QStringLiteral("&Clear Recent Searches")), &QAction::triggered, this,
                &AppDelegate::clearRecentSearches);
    }
    m_window->searchField()->setSearchMenu(menu.get());
    // The old menu may be the one whose item is being handled right now.
    if (QMenu* old = m_searchMenu.release())
        old->deleteLater();
    m_searchMenu = std::move(menu);
}

void AppDelegate::setSearchIsShown(bool shown)
{
    if (m_searchIsShown == shown)
        return;
    m_searchIsShown = shown;
    updateSearchPanelLayout();
    emit SearchIsShownChanged();
}

void AppDelegate::updateSearchPanelLayout()
{
    BW_LOG_WARNING("updateSearchPanelLayout()",
                   QStringLiteral("SearchIsShown = %1").arg(m_searchIsShown ? "true" : "false"));
    // The outline takes over the search bar's strip while the bar is hidden.
    QWidget* bar = m_window->searchBar();
    bar->setEnabled(m_searchIsShown);
    bar->setVisible(m_searchIsShown);
    if (m_searchIsShown)
        m_window->searchField()->setFocus();
}
