#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// A ready-made jq filter: the menu text and the filter put into the command field. Placeholders in a
// template are a name between "<" and ">".
struct JQRecipe
{
    QString title;
    QString templateText;
};

struct JQRecipeGroup
{
    QString title;
    std::vector<JQRecipe> recipes;
};

namespace JqRecipes {

// The catalogue: 8 groups, 77 recipes, in menu order.
const std::vector<JQRecipeGroup>& jqRecipeGroups();

constexpr int maxRecentRecipes = 5;
// The templates picked last, newest first, under "JQRecentRecipes".
QStringList recentRecipes();
// Moves (or adds) `templateText` to the front of the recent list, keeping at most five.
void recordRecent(const QString& templateText);

struct Selection
{
    int start;
    int length;
};
// What to select after a pick: the first placeholder, angle brackets included, or the caret at the end.
// Positions count UTF-16 units, as the text field does.
Selection placeholderSelection(const QString& templateText);

} // namespace JqRecipes
