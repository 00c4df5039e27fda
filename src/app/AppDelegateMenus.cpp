// The controller's additions to the window's menus, and the outline's right-click menu.
#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "app/MenuPlacement.h"
#include "app/OutlineView.h"

#include <QMenu>
#include <QMenuBar>

namespace {

QAction* addItem(QMenu* menu, const QString& title, QKeyCombination key, QObject* target,
                 const std::function<void()>& action)
{
    QAction* item = menu->addAction(title);
    item->setShortcut(QKeySequence(key));
    QObject::connect(item, &QAction::triggered, target, action);
    return item;
}

} // namespace

void AppDelegate::setupMainMenu()
{
    QMenuBar* bar = m_window->menuBar();
    if (!bar || m_viewMenu)
        return;

    if (QAction* file = MenuPlacement::topLevelItem(bar, tr("File")); file && file->menu()) {
        auto* item = new QAction(tr("Open from &Clipboard"), file->menu());
        item->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
        connect(item, &QAction::triggered, this, &AppDelegate::openFromClipboard);
        MenuPlacement::insertAfter(file->menu(), item, m_window->openAction());
        m_openFromClipboardAction = item;
    }

    if (QAction* edit = MenuPlacement::topLevelItem(bar, tr("Edit")); edit && edit->menu()) {
        // Ctrl+Backspace removes the selected row; text fields keep it for deleting a word (eventFilter).
        if (edit->menu()->actions().contains(m_window->removeRowAction()))
            m_window->removeRowAction()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Backspace));
        edit->menu()->addSeparator();
        m_findReplaceAction = addItem(edit->menu(), tr("Find && &Replace…"), Qt::CTRL | Qt::ALT | Qt::Key_F, this,
                                      [this] { showFindReplace(); });
        edit->menu()->addSeparator();
        edit->menu()->addMenu(copyPathAsMenu());
        addItem(edit->menu(), tr("&Go to Path…"), Qt::CTRL | Qt::Key_L, this, [this] { showGoToPath(); });
    }

    m_viewMenu = new QMenu(tr("&View"), m_window.get());
    addItem(m_viewMenu, tr("Toggle &Search Panel"), Qt::CTRL | Qt::SHIFT | Qt::Key_F, this,
            [this] { toggleSearchPanel(); });
    addItem(m_viewMenu, tr("Toggle Code &Editor"), Qt::CTRL | Qt::SHIFT | Qt::Key_E, this,
            [this] { toggleCodePanel(); });
    m_viewMenu->addSeparator();
    addItem(m_viewMenu, tr("E&xpand All"), Qt::CTRL | Qt::SHIFT | Qt::Key_Right, this, [this] { expandAllRows(); });
    addItem(m_viewMenu, tr("&Collapse All"), Qt::CTRL | Qt::SHIFT | Qt::Key_Left, this, [this] { collapseAllRows(); });
    m_viewMenu->addSeparator();
    m_rowIconsAction = addItem(m_viewMenu, tr("Show Row &Icons"), Qt::CTRL | Qt::SHIFT | Qt::Key_I, this,
                               [this] { toggleRowIcons(); });
    m_rowIconsAction->setCheckable(true);
    m_rowIconsAction->setChecked(m_showRowIcons);
    connect(this, &AppDelegate::ShowRowIconsChanged, m_rowIconsAction,
            [this] { m_rowIconsAction->setChecked(m_showRowIcons); });
    MenuPlacement::insertViewMenu(bar, m_viewMenu);

    m_toolsMenu = new QMenu(tr("&Tools"), m_window.get());
    addItem(m_toolsMenu, tr("&JQ Panel…"), Qt::CTRL | Qt::SHIFT | Qt::Key_J, this, [this] { showJQPanel(); });
    addItem(m_toolsMenu, tr("&Download from URL…"), Qt::CTRL | Qt::SHIFT | Qt::Key_D, this,
            [this] { showDownloaderMenu(); });
    MenuPlacement::insertToolsMenu(bar, m_toolsMenu);
}

void AppDelegate::setupOutlineContextMenu()
{
    OutlineView* outline = m_window->outlineView();
    if (!outline->actions().isEmpty())
        return;
    auto* copyPath = new QAction(tr("Copy &Path"), outline);
    connect(copyPath, &QAction::triggered, this, &AppDelegate::copyNodePath);
    auto* copyJson = new QAction(tr("Copy as &JSON"), outline);
    connect(copyJson, &QAction::triggered, this, &AppDelegate::copyNodeAsJSON);
    outline->addAction(copyPath);
    outline->addAction(copyPathAsMenu()->menuAction());
    outline->addAction(copyJson);
    outline->setContextMenuPolicy(Qt::ActionsContextMenu);
}
