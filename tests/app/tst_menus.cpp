#include "AppTestSupport.h"
#include "app/MainWindow.h"
#include "app/MenuPlacement.h"
#include "app/OutlineModel.h"
#include "app/OutlineView.h"
#include "app/SearchField.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHash>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QTest>
#include <memory>

namespace {

// The menu's items as "Title|Shortcut", "-" for a separator and "Title>" for a submenu.
QStringList listing(const QMenu* menu)
{
    QStringList items;
    for (const QAction* item : menu->actions()) {
        if (item->isSeparator())
            items << QStringLiteral("-");
        else if (item->menu())
            items << item->text() + QLatin1Char('>');
        else
            items << item->text() + QLatin1Char('|') + item->shortcut().toString(QKeySequence::PortableText);
    }
    return items;
}

QStringList titles(const QWidget* menuOrBar)
{
    QStringList texts;
    for (const QAction* item : menuOrBar->actions())
        texts << item->text();
    return texts;
}

QMenu* topMenu(AppDelegate& delegate, const QString& title)
{
    QAction* item = MenuPlacement::topLevelItem(delegate.window()->menuBar(), title);
    return item ? item->menu() : nullptr;
}

QAction* itemTitled(const QMenu* menu, const QString& title)
{
    for (QAction* item : menu->actions())
        if (item->text() == title)
            return item;
    return nullptr;
}

// Every action of the menu and its submenus.
void collectActions(const QMenu* menu, QList<const QAction*>& actions)
{
    for (const QAction* item : menu->actions()) {
        if (item->menu())
            collectActions(item->menu(), actions);
        else if (!item->isSeparator())
            actions << item;
    }
}

// A menu holding one item per title.
std::unique_ptr<QMenu> menuWith(const QStringList& items)
{
    auto menu = std::make_unique<QMenu>();
    for (const QString& title : items)
        menu->addAction(title);
    return menu;
}

} // namespace

class TestMenus : public QObject
{
    Q_OBJECT
private slots:
    // The menu bar reads File, Edit, View, Tools, Help.
    void topLevelOrder()
    {
        LaunchedApp app;
        QCOMPARE(titles(app.delegate.window()->menuBar()), (QStringList{"File", "Edit", "View", "Tools", "Help"}));
        QCOMPARE(topMenu(app.delegate, QStringLiteral("View")), app.delegate.viewMenu());
        QCOMPARE(topMenu(app.delegate, QStringLiteral("Tools")), app.delegate.toolsMenu());
    }

    // The menus the controller builds hold their items in order with their shortcuts.
    void menuContents_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("view") << "View"
                              << QStringList{"Toggle Search Panel|Ctrl+Shift+F", "Toggle Code Editor|Ctrl+Shift+E", "-",
                                             "Expand All|Ctrl+Shift+Right",      "Collapse All|Ctrl+Shift+Left",    "-",
                                             "Show Row Icons|Ctrl+Shift+I"};
        QTest::newRow("tools") << "Tools" << QStringList{"JQ Panel…|Ctrl+Shift+J", "Download from URL…|Ctrl+Shift+D"};
        QTest::newRow("export") << "Export" << QStringList{"XML…|",
                                                           "YAML…|",
                                                           "-",
                                                           "Property List (XML)…|",
                                                           "Property List (Binary)…|",
                                                           "Property List (OpenStep)…|"};
    }
    void menuContents()
    {
        QFETCH(QString, menu);
        QFETCH(QStringList, items);
        LaunchedApp app;
        const QMenu* shown =
            menu == QLatin1String("Export") ? app.delegate.window()->exportMenu() : topMenu(app.delegate, menu);
        QVERIFY(shown);
        QCOMPARE(listing(shown), items);
        if (menu == QLatin1String("Export"))
            QVERIFY(listing(topMenu(app.delegate, QStringLiteral("File"))).contains(QStringLiteral("Export>")));
        // Both tools are there to use.
        if (menu == QLatin1String("Tools")) {
            QVERIFY(itemTitled(shown, QStringLiteral("JQ Panel…"))->isEnabled());
            QVERIFY(itemTitled(shown, QStringLiteral("Download from URL…"))->isEnabled());
        }
    }

    // The additions to File and Edit sit where users look for them.
    void fileAndEditAdditions()
    {
        LaunchedApp app;
        const QStringList file = titles(topMenu(app.delegate, QStringLiteral("File")));
        QCOMPARE(file.indexOf(QStringLiteral("Open from Clipboard")), file.indexOf(QStringLiteral("Open…")) + 1);
        QCOMPARE(app.delegate.openFromClipboardAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+V")));

        const QStringList edit = titles(topMenu(app.delegate, QStringLiteral("Edit")));
        QCOMPARE(edit.mid(0, 3), (QStringList{"Undo", "Redo", ""}));
        const QList<QAction*> undoRedo = topMenu(app.delegate, QStringLiteral("Edit"))->actions().mid(0, 2);
        QCOMPARE(undoRedo[0]->shortcuts(), QKeySequence::keyBindings(QKeySequence::Undo));
        QCOMPARE(undoRedo[1]->shortcuts(), QKeySequence::keyBindings(QKeySequence::Redo));
        QVERIFY(undoRedo[1]->shortcuts().contains(QKeySequence(QStringLiteral("Ctrl+Shift+Z"))));

        const QStringList items = listing(topMenu(app.delegate, QStringLiteral("Edit")));
        QVERIFY2(items.contains(QStringLiteral("Remove Row|Ctrl+Backspace")), qPrintable(items.join(", ")));
        QCOMPARE(items.mid(items.size() - 2), (QStringList{"-", "Find & Replace…|Ctrl+Alt+F"}));
        QCOMPARE(app.delegate.findReplaceAction()->text(), QStringLiteral("Find & Replace…"));
    }

    // A shortcut given to two actions of the window triggers neither.
    void shortcutsAreUnique()
    {
        LaunchedApp app;
        QList<const QAction*> actions;
        for (QAction* top : app.delegate.window()->menuBar()->actions())
            collectActions(top->menu(), actions);
        QHash<QString, QString> owners;
        for (const QAction* item : actions) {
            const QString keys = item->shortcut().toString(QKeySequence::PortableText);
            if (keys.isEmpty())
                continue;
            QVERIFY2(!owners.contains(keys), qPrintable(keys + ": " + owners.value(keys) + ", " + item->text()));
            owners.insert(keys, item->text());
        }
        QVERIFY(owners.size() >= 15);
    }

    // insertAfter: directly after the anchor; without it in the menu at index 1, or 0 in an empty menu.
    void insertAfter_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<int>("anchor");
        QTest::addColumn<QStringList>("result");
        const QStringList abc{"A", "B", "C"};
        QTest::newRow("after the first") << abc << 0 << QStringList{"A", "X", "B", "C"};
        QTest::newRow("after the middle") << abc << 1 << QStringList{"A", "B", "X", "C"};
        QTest::newRow("after the last") << abc << 2 << QStringList{"A", "B", "C", "X"};
        QTest::newRow("no anchor") << abc << -1 << QStringList{"A", "X", "B", "C"};
        QTest::newRow("anchor of another menu") << abc << -2 << QStringList{"A", "X", "B", "C"};
        QTest::newRow("no anchor, one item") << QStringList{"A"} << -1 << QStringList{"A", "X"};
        QTest::newRow("no anchor, empty menu") << QStringList() << -1 << QStringList{"X"};
    }
    void insertAfter()
    {
        QFETCH(QStringList, items);
        QFETCH(int, anchor);
        QFETCH(QStringList, result);
        const auto menu = menuWith(items);
        QAction foreign(QStringLiteral("F"));
        QAction* anchorItem = anchor >= 0 ? menu->actions().at(anchor) : anchor == -2 ? &foreign : nullptr;
        auto* item = new QAction(QStringLiteral("X"), menu.get());
        MenuPlacement::insertAfter(menu.get(), item, anchorItem);
        QCOMPARE(titles(menu.get()), result);
    }

    // View goes before Format, else before Help, else last; Tools just before the last menu, or first.
    void topLevelPlacement_data()
    {
        QTest::addColumn<QStringList>("bar");
        QTest::addColumn<QStringList>("withView");
        QTest::addColumn<QStringList>("withTools");
        QTest::newRow("format and help") << QStringList{"File", "Edit", "Format", "Window", "Help"}
                                         << QStringList{"File", "Edit", "View", "Format", "Window", "Help"}
                                         << QStringList{"File", "Edit", "Format", "Window", "Tools", "Help"};
        QTest::newRow("help only") << QStringList{"File", "Edit", "Help"} << QStringList{"File", "Edit", "View", "Help"}
                                   << QStringList{"File", "Edit", "Tools", "Help"};
        QTest::newRow("neither") << QStringList{"File", "Edit"} << QStringList{"File", "Edit", "View"}
                                 << QStringList{"File", "Tools", "Edit"};
        QTest::newRow("one menu") << QStringList{"File"} << QStringList{"File", "View"} << QStringList{"Tools", "File"};
        QTest::newRow("empty bar") << QStringList() << QStringList{"View"} << QStringList{"Tools"};
    }
    void topLevelPlacement()
    {
        QFETCH(QStringList, bar);
        QFETCH(QStringList, withView);
        QFETCH(QStringList, withTools);
        for (bool view : {true, false}) {
            QMenuBar menuBar;
            for (const QString& title : bar)
                menuBar.addMenu(title);
            auto* added = new QMenu(view ? QStringLiteral("View") : QStringLiteral("Tools"), &menuBar);
            if (view)
                MenuPlacement::insertViewMenu(&menuBar, added);
            else
                MenuPlacement::insertToolsMenu(&menuBar, added);
            QCOMPARE(titles(&menuBar), view ? withView : withTools);
        }
    }

    // The View and Edit items act on the window.
    void triggeringItems()
    {
        LaunchedApp app;
        QVERIFY(app.delegate.loadJSONString(QStringLiteral("{\"a\":{\"x\":1},\"b\":2}")));
        QMenu* view = app.delegate.viewMenu();
        OutlineModel* model = app.delegate.outlineModel();

        QVERIFY(app.delegate.SearchIsShown());
        itemTitled(view, QStringLiteral("Toggle Search Panel"))->trigger();
        QVERIFY(!app.delegate.SearchIsShown());
        itemTitled(view, QStringLiteral("Toggle Search Panel"))->trigger();
        QVERIFY(app.delegate.SearchIsShown());
        QVERIFY(app.delegate.CodeIsShown());
        itemTitled(view, QStringLiteral("Toggle Code Editor"))->trigger();
        QVERIFY(!app.delegate.CodeIsShown());

        QAction* icons = itemTitled(view, QStringLiteral("Show Row Icons"));
        QVERIFY(icons->isCheckable() && !icons->isChecked());
        icons->trigger();
        QVERIFY(app.delegate.ShowRowIcons());
        QVERIFY(icons->isChecked());
        app.delegate.setShowRowIcons(false);
        QVERIFY(!icons->isChecked());

        QCOMPARE(model->rowCount(), 4);
        itemTitled(view, QStringLiteral("Collapse All"))->trigger();
        QVERIFY(model->rowCount() < 4);
        itemTitled(view, QStringLiteral("Expand All"))->trigger();
        QCOMPARE(model->rowCount(), 4);

        app.delegate.window()->outlineView()->selectRow(1);
        app.delegate.window()->removeRowAction()->trigger();
        QCOMPARE(app.json(), QStringLiteral("{\"b\":2}"));
        QCOMPARE(app.delegate.CurrentPath(), QStringLiteral("root.b"));

        QGuiApplication::clipboard()->setText(QStringLiteral("[5]"));
        app.prompts.confirmationAnswers.push_back({true, false});
        app.delegate.openFromClipboardAction()->trigger();
        QCOMPARE(app.json(), QStringLiteral("[5]"));
        QVERIFY(app.prompts.unexpected.isEmpty());
    }

    // Ctrl+Backspace removes the selected row, but in a text field it still deletes the word before the cursor.
    void removeRowShortcut()
    {
        LaunchedApp app;
        MainWindow* window = app.delegate.window();
        // The field must lose the focus while the controller is whole (see teardownWhileSearching in
        // tst_documentcommands.cpp).
        const auto hide = qScopeGuard([window] { window->hide(); });
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QVERIFY(app.delegate.loadJSONString(QStringLiteral("{\"a\":1,\"b\":2,\"c\":\"big two\"}")));
        OutlineView* outline = window->outlineView();
        outline->setFocus();
        outline->selectRow(1);
        QTest::keyClick(outline, Qt::Key_Backspace, Qt::ControlModifier);
        const QString remaining = QStringLiteral("{\"b\":2,\"c\":\"big two\"}");
        QCOMPARE(app.json(), remaining);

        SearchField* field = window->searchField();
        field->setFocus();
        QTest::keyClicks(field, QStringLiteral("big two"));
        outline->selectRow(1);
        QCOMPARE(app.delegate.CurrentPath(), QStringLiteral("root.c"));
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Backspace, Qt::ControlModifier);
        QCOMPARE(app.json(), remaining);
        QCOMPARE(field->text(), QStringLiteral("big "));
    }
};

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
