#pragma once

#include <QHash>
#include <QKeySequence>
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// The commands of the window's menus, by which the controller and the tests find an item.
enum class MenuCommand {
    New,
    Open,
    OpenFromClipboard,
    Save,
    SaveAs,
    ExportXml,
    ExportYaml,
    ExportPlistXml,
    ExportPlistBinary,
    ExportPlistOpenStep,
    Quit,
    Cut,
    Copy,
    Paste,
    AddRow,
    RemoveRow,
    FindReplace,
    GoToPath,
    ToggleSearchPanel,
    ToggleCodeEditor,
    ExpandAll,
    CollapseAll,
    ShowRowIcons,
    JqPanel,
    DownloadFromUrl,
    CheckForUpdates,
    About,
    CopyPath,
    CopyAsJson,
};

// One line of a menu table: a menu (opened by a title, closed by MenuRow::end()), an item with its command and
// keys, a separator, or an action or submenu that another object owns (Undo, Copy Path As ▸).
struct MenuRow
{
    enum class Kind { Menu, End, Item, Separator, Action, Submenu };
    Kind kind = Kind::Item;
    QString title;
    MenuCommand command = MenuCommand::New;
    QList<QKeySequence> keys;
    std::function<void()> trigger;
    QAction* action = nullptr;
    QMenu* submenu = nullptr;
    bool checkable = false;

    static MenuRow menu(const QString& title) { return make(Kind::Menu, title); }
    static MenuRow end() { return make(Kind::End); }
    static MenuRow separator() { return make(Kind::Separator); }
    static MenuRow item(MenuCommand command, const QString& title, const QKeySequence& keys,
                        std::function<void()> trigger)
    {
        MenuRow row = make(Kind::Item, title);
        row.command = command;
        row.keys = {keys};
        row.trigger = std::move(trigger);
        return row;
    }
    static MenuRow existing(QAction* action)
    {
        MenuRow row = make(Kind::Action);
        row.action = action;
        return row;
    }
    static MenuRow existing(QMenu* submenu)
    {
        MenuRow row = make(Kind::Submenu);
        row.submenu = submenu;
        return row;
    }
    MenuRow checkableItem() &&
    {
        checkable = true;
        return std::move(*this);
    }

private:
    static MenuRow make(Kind kind, const QString& title = {})
    {
        MenuRow row;
        row.kind = kind;
        row.title = title;
        return row;
    }
};

// Builds menus from tables, and finds their items by command or title.
class MainMenus : public QObject
{
    Q_OBJECT
public:
    explicit MainMenus(QObject* parent = nullptr) : QObject(parent) {}

    // Adds the table's menus to `bar` in order, their menus owned by `owner`.
    void build(QMenuBar* bar, QWidget* owner, const std::vector<MenuRow>& table);
    // Adds the table's items straight to `widget` (a context menu's actions, or a menu).
    void buildInto(QWidget* widget, const std::vector<MenuRow>& table);

    QAction* action(MenuCommand command) const { return m_actions.value(command); }
    // The menu of that title path ("File/Open Recent"), mnemonics set aside; nullptr when there is none.
    QMenu* menu(const QString& path) const { return m_menus.value(path); }

private:
    QHash<MenuCommand, QAction*> m_actions;
    QHash<QString, QMenu*> m_menus;
};
