#include "app/MenuPlacement.h"

#include "app/MenuText.h"

#include <QMenu>
#include <QMenuBar>

namespace MenuPlacement {

QAction* topLevelItem(QMenuBar* bar, const QString& title)
{
    for (QAction* item : bar->actions())
        if (withoutMnemonic(item->text()) == withoutMnemonic(title))
            return item;
    return nullptr;
}

void insertAfter(QMenu* menu, QAction* item, QAction* anchor)
{
    const QList<QAction*> items = menu->actions();
    const qsizetype at = anchor ? items.indexOf(anchor) : -1;
    const qsizetype index = at >= 0 ? at + 1 : std::min<qsizetype>(1, items.size());
    menu->insertAction(index < items.size() ? items.at(index) : nullptr, item);
}

void insertViewMenu(QMenuBar* bar, QMenu* view)
{
    QAction* before = topLevelItem(bar, QStringLiteral("Format"));
    if (!before)
        before = topLevelItem(bar, QStringLiteral("Help"));
    bar->insertMenu(before, view);
}

void insertToolsMenu(QMenuBar* bar, QMenu* tools)
{
    const QList<QAction*> items = bar->actions();
    bar->insertMenu(items.isEmpty() ? nullptr : items.last(), tools);
}

} // namespace MenuPlacement
