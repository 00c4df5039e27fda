#include "app/search/SearchController.h"

#include "app/MainWindow.h"
#include "app/Workspace.h"
#include "app/menus/MenuText.h"
#include "app/outline/OutlineController.h"
#include "app/search/SearchField.h"
#include "model/Log.h"
#include "model/SearchSettings.h"
#include "model/Settings.h"
#include "model/TreeNode.h"

#include <QMenu>
#include <QToolButton>

SearchController::SearchController(Workspace& workspace, OutlineController& outline, QObject* parent)
    : QObject(parent), m_workspace(workspace), m_outline(outline)
{
    // The filter settings start from this controller's initial state.
    SearchSettings& settings = m_workspace.searchSettings();
    settings.text.clear();
    settings.caseSensitive = m_caseSensitive;
    settings.regularExpression = m_regularExpressions;
    settings.compileExpression();

    MainWindow& window = m_workspace.window();
    SearchField* field = window.searchField();
    connect(field, &QLineEdit::textChanged, this, &SearchController::setValue);
    // The filter follows every keystroke; a search counts as made once the user commits it.
    connect(field, &QLineEdit::editingFinished, this, [this] {
        if (!m_value.isEmpty()) {
            addRecentSearch(m_value);
            updateSearchMenu();
        }
    });
    window.caseSensitiveButton()->setChecked(m_caseSensitive);
    connect(window.caseSensitiveButton(), &QToolButton::toggled, this, &SearchController::setCaseSensitive);
    window.regularExpressionButton()->setChecked(m_regularExpressions);
    connect(window.regularExpressionButton(), &QToolButton::toggled, this, &SearchController::setRegularExpressions);
}

SearchController::~SearchController() = default;

void SearchController::launch()
{
    m_recentSearches = Settings::instance().recentSearches();
    while (m_recentSearches.size() > maxRecentSearches)
        m_recentSearches.removeLast();
    updateSearchMenu();
    connect(m_workspace.window().searchField(), &SearchField::editingBegan, this, &SearchController::updateSearchMenu,
            Qt::UniqueConnection);
}

void SearchController::setValue(const QString& value)
{
    if (m_value == value)
        return;
    m_value = value;
    if (SearchField* field = m_workspace.window().searchField(); field->text() != m_value)
        field->setText(m_value);
    m_workspace.searchSettings().text = m_value;
    optionsChanged();
}

void SearchController::setCaseSensitive(bool on)
{
    if (m_caseSensitive == on)
        return;
    m_caseSensitive = on;
    m_workspace.searchSettings().caseSensitive = on;
    optionsChanged();
    m_workspace.window().caseSensitiveButton()->setChecked(on);
}

void SearchController::setRegularExpressions(bool on)
{
    if (m_regularExpressions == on)
        return;
    m_regularExpressions = on;
    m_workspace.searchSettings().regularExpression = on;
    optionsChanged();
    m_workspace.window().regularExpressionButton()->setChecked(on);
}

void SearchController::optionsChanged()
{
    const std::optional<QString> message = m_workspace.searchSettings().compileExpression();
    m_error = message ? *message : QString();
    m_workspace.window().searchField()->showError(message ? QStringLiteral("Invalid regex: ") + *message : QString());
    // Re-filters the whole tree and shows every match expanded.
    m_outline.refresh();
}

void SearchController::addRecentSearch(const QString& text)
{
    if (text.isEmpty())
        return;
    m_recentSearches.removeOne(text);
    m_recentSearches.prepend(text);
    while (m_recentSearches.size() > maxRecentSearches)
        m_recentSearches.removeLast();
    Settings::instance().setRecentSearches(m_recentSearches);
}

void SearchController::selectRecentSearch(const QString& title)
{
    m_workspace.window().searchField()->setText(title);
    setValue(title);
    addRecentSearch(title);
    updateSearchMenu();
}

void SearchController::clearRecentSearches()
{
    m_recentSearches.clear();
    Settings::instance().removeRecentSearches();
    updateSearchMenu();
}

void SearchController::updateSearchMenu()
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
                &SearchController::clearRecentSearches);
    }
    m_workspace.window().searchField()->setSearchMenu(menu.get());
    // The old menu may be the one whose item is being handled right now.
    if (QMenu* old = m_searchMenu.release())
        old->deleteLater();
    m_searchMenu = std::move(menu);
}

void SearchController::setSearchIsShown(bool shown)
{
    if (m_searchIsShown == shown)
        return;
    m_searchIsShown = shown;
    BW_LOG_WARNING("updateSearchPanelLayout()",
                   QStringLiteral("SearchIsShown = %1").arg(m_searchIsShown ? "true" : "false"));
    // The outline takes over the search bar's strip while the bar is hidden.
    QWidget* bar = m_workspace.window().searchBar();
    bar->setEnabled(m_searchIsShown);
    bar->setVisible(m_searchIsShown);
    if (m_searchIsShown)
        m_workspace.window().searchField()->setFocus();
}
