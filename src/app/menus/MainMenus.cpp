#include "app/menus/MainMenus.h"

#include "app/menus/MenuText.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

void MainMenus::build(QMenuBar* bar, QWidget* owner, const std::vector<MenuRow>& table)
{
    // Menus open inside one another; the path names each by its titles.
    std::vector<QMenu*> open;
    QStringList path;
    for (const MenuRow& row : table) {
        QWidget* into = open.empty() ? static_cast<QWidget*>(bar) : open.back();
        switch (row.kind) {
        case MenuRow::Kind::Menu: {
            auto* menu = new QMenu(row.title, open.empty() ? owner : open.back());
            if (open.empty())
                bar->addMenu(menu);
            else
                open.back()->addMenu(menu);
            path << withoutMnemonic(row.title);
            m_menus.insert(path.join(QLatin1Char('/')), menu);
            open.push_back(menu);
            break;
        }
        case MenuRow::Kind::End:
            open.pop_back();
            path.removeLast();
            break;
        default:
            buildInto(into, {row});
        }
    }
}

void MainMenus::buildInto(QWidget* widget, const std::vector<MenuRow>& table)
{
    for (const MenuRow& row : table) {
        switch (row.kind) {
        case MenuRow::Kind::Item: {
            auto* item = new QAction(row.title, widget);
            item->setShortcuts(row.keys);
            item->setCheckable(row.checkable);
            if (row.command == MenuCommand::Quit)
                item->setMenuRole(QAction::QuitRole);
            else if (row.command == MenuCommand::About)
                item->setMenuRole(QAction::AboutRole);
            connect(item, &QAction::triggered, this, row.trigger);
            widget->addAction(item);
            m_actions.insert(row.command, item);
            break;
        }
        case MenuRow::Kind::Separator: {
            auto* separator = new QAction(widget);
            separator->setSeparator(true);
            widget->addAction(separator);
            break;
        }
        case MenuRow::Kind::Action:
            widget->addAction(row.action);
            break;
        case MenuRow::Kind::Submenu:
            widget->addAction(row.submenu->menuAction());
            break;
        case MenuRow::Kind::Menu:
        case MenuRow::Kind::End:
            break;
        }
    }
}
