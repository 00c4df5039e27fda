#include "AppTestSupport.h"
#include "app/AboutDialog.h"
#include "app/menus/MenuText.h"
#include "app/search/SearchField.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTextBrowser>
#include <memory>

namespace {

// The items of a menu or the menu bar as shown, "Title|Shortcut", "-" for a separator and "Title>" for a submenu.
QStringList listing(const QWidget* menuOrBar)
{
    QStringList items;
    for (const QAction* item : menuOrBar->actions()) {
        const QString shown = withoutMnemonic(item->text());
        if (item->isSeparator())
            items << QStringLiteral("-");
        else if (item->menu())
            items << shown + QLatin1Char('>');
        else
            items << shown + QLatin1Char('|') + item->shortcut().toString(QKeySequence::PortableText);
    }
    return items;
}

// The menu of that path, such as "File/Export"; "" is the menu bar's own list.
QWidget* menuAt(AppDelegate& delegate, const QString& path)
{
    QWidget* at = delegate.window()->menuBar();
    for (const QString& title : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const QList<QAction*> items = at->actions();
        const auto found = std::find_if(items.begin(), items.end(),
                                        [&](QAction* item) { return withoutMnemonic(item->text()) == title; });
        if (found == items.end() || !(*found)->menu())
            return nullptr;
        at = (*found)->menu();
        // Open Recent fills itself as it opens.
        emit static_cast<QMenu*>(at)->aboutToShow();
    }
    return at;
}

QAction* itemTitled(const QMenu* menu, const QString& title)
{
    for (QAction* item : menu->actions())
        if (withoutMnemonic(item->text()) == title)
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

} // namespace

class TestMenus : public QObject
{
    Q_OBJECT
private slots:
    // The menu bar reads File, Edit, View, Tools, Help; every menu shows its items in order with their shortcuts;
    // "&" marks no mnemonic where it is shown.
    void menuContents_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("menu bar") << "" << QStringList{"File>", "Edit>", "View>", "Tools>", "Help>"};
        QTest::newRow("file") << "File"
                              << QStringList{"New|Ctrl+N",
                                             "Open…|Ctrl+O",
                                             "Open from Clipboard|Ctrl+Shift+V",
                                             "Open Recent>",
                                             "-",
                                             "Save|Ctrl+S",
                                             "Save As…|Ctrl+Shift+S",
                                             "Export>",
                                             "-",
                                             "Quit|" + QKeySequence(QKeySequence::Quit).toString()};
        QTest::newRow("open recent") << "File/Open Recent" << QStringList{"No Recent Documents|", "-", "Clear Menu|"};
        QTest::newRow("export") << "File/Export" << QStringList{"XML…|",
                                                                "YAML…|",
                                                                "-",
                                                                "Property List (XML)…|",
                                                                "Property List (Binary)…|",
                                                                "Property List (OpenStep)…|"};
        QTest::newRow("edit") << "Edit"
                              << QStringList{"Undo|Ctrl+Z",
                                             "Redo|" + QKeySequence(QKeySequence::Redo).toString(),
                                             "-",
                                             "Cut|Ctrl+X",
                                             "Copy|Ctrl+C",
                                             "Paste|Ctrl+V",
                                             "-",
                                             "Add Row|Ctrl+=",
                                             "Remove Row|Ctrl+Backspace",
                                             "-",
                                             "Find & Replace…|Ctrl+Alt+F",
                                             "-",
                                             "Copy Path As>",
                                             "Go to Path…|Ctrl+L"};
        QTest::newRow("copy path as") << "Edit/Copy Path As" << QStringList{"jq|", "JSON Pointer|", "JSONPath|"};
        QTest::newRow("view") << "View"
                              << QStringList{"Toggle Search Panel|Ctrl+Shift+F", "Toggle Code Editor|Ctrl+Shift+E", "-",
                                             "Expand All|Ctrl+Shift+Right",      "Collapse All|Ctrl+Shift+Left",    "-",
                                             "Show Row Icons|Ctrl+Shift+I"};
        QTest::newRow("tools") << "Tools" << QStringList{"JQ Panel…|Ctrl+Shift+J", "Download from URL…|Ctrl+Shift+D"};
        QTest::newRow("help") << "Help"
                              << QStringList{"Check for Updates…|", "About Brackwell|", "-",
                                             "Subscribe to Newsletter…|"};
    }
    void menuContents()
    {
        QFETCH(QString, menu);
        QFETCH(QStringList, items);
        LaunchedApp app;
        const QWidget* shown = menuAt(app.delegate, menu);
        QVERIFY(shown);
        QCOMPARE(listing(shown), items);
        // Both tools are there to use.
        if (menu == QLatin1String("Tools")) {
            const auto* tools = static_cast<const QMenu*>(shown);
            QVERIFY(itemTitled(tools, QStringLiteral("JQ Panel…"))->isEnabled());
            QVERIFY(itemTitled(tools, QStringLiteral("Download from URL…"))->isEnabled());
        }
    }

    // Alt and a letter open a menu and pick an item: each menu and each item has a letter of its own. Documents
    // in Open Recent have none, so that their names show as they are.
    void mnemonics_data()
    {
        QTest::addColumn<QString>("menu");
        for (const char* menu :
             {"", "File", "File/Open Recent", "File/Export", "Edit", "Edit/Copy Path As", "View", "Tools", "Help"})
            QTest::newRow(*menu ? menu : "menu bar") << QString::fromLatin1(menu);
    }
    void mnemonics()
    {
        QFETCH(QString, menu);
        LaunchedApp app;
        const QWidget* shown = menuAt(app.delegate, menu);
        QVERIFY(shown);
        QHash<QChar, QString> owners;
        for (const QAction* item : shown->actions()) {
            if (item->isSeparator() || item->data().isValid() || item->text() == QLatin1String("No Recent Documents"))
                continue;
            const QChar letter = mnemonicOf(item->text());
            QVERIFY2(!letter.isNull(), qPrintable(item->text()));
            QVERIFY2(!owners.contains(letter), qPrintable(owners.value(letter) + ", " + item->text()));
            owners.insert(letter, item->text());
        }
        QVERIFY(!owners.isEmpty());
    }

    // Alt+E opens the Edit menu even while the search field has the focus, rather than typing "e" into it.
    void altLetterOpensMenu()
    {
        LaunchedApp app;
        MainWindow* window = app.delegate.window();
        const auto hide = qScopeGuard([window] { window->hide(); });
        QVERIFY(app.showActive());
        SearchField* field = window->searchField();
        field->setFocus();
        QTest::keyClick(field, Qt::Key_E, Qt::AltModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(), menuAt(app.delegate, QStringLiteral("Edit")));
        QApplication::activePopupWidget()->close();
        QCOMPARE(field->text(), QString());
    }

    // Undo and Redo take the desktop's keys, Ctrl+Shift+Z among Redo's.
    void undoRedoKeys()
    {
        LaunchedApp app;
        const QList<QAction*> undoRedo = app.delegate.menus()->menu(QStringLiteral("Edit"))->actions().mid(0, 2);
        QCOMPARE(undoRedo[0]->shortcuts(), QKeySequence::keyBindings(QKeySequence::Undo));
        QCOMPARE(undoRedo[1]->shortcuts(), QKeySequence::keyBindings(QKeySequence::Redo));
        QVERIFY(undoRedo[1]->shortcuts().contains(QKeySequence(QStringLiteral("Ctrl+Shift+Z"))));
    }

    // Help → About shows the version and the licence, and opens the third-party notices built into the program.
    void aboutDialog()
    {
        LaunchedApp app;
        app.delegate.menus()->action(MenuCommand::About)->trigger();
        auto* about = app.delegate.window()->findChild<AboutDialog*>();
        QVERIFY(about);
        const auto close = qScopeGuard([about] { about->close(); });
        QVERIFY(about->isVisible());
        QVERIFY2(about->summary()->text().contains(QStringLiteral(BRACKWELL_VERSION)),
                 qPrintable(about->summary()->text()));
        QVERIFY(about->summary()->text().contains(QStringLiteral("MIT License")));
        about->noticesButton()->click();
        QVERIFY(about->noticesView() && about->noticesView()->isVisible());
        const QString notices = about->noticesView()->toPlainText();
        for (const char* name : {"simdjson", "Qt WebEngine", "Chromium", "Oniguruma", "codemirror"})
            QVERIFY2(notices.contains(QLatin1String(name)), name);
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

    // The View and Edit items act on the window.
    void triggeringItems()
    {
        LaunchedApp app;
        QVERIFY(app.delegate.loadJSONString(QStringLiteral("{\"a\":{\"x\":1},\"b\":2}")));
        QMenu* view = app.delegate.menus()->menu(QStringLiteral("View"));
        OutlineModel* model = app.delegate.outlineModel();

        QVERIFY(app.delegate.search()->searchIsShown());
        itemTitled(view, QStringLiteral("Toggle Search Panel"))->trigger();
        QVERIFY(!app.delegate.search()->searchIsShown());
        itemTitled(view, QStringLiteral("Toggle Search Panel"))->trigger();
        QVERIFY(app.delegate.search()->searchIsShown());
        QVERIFY(app.delegate.editor()->codeIsShown());
        itemTitled(view, QStringLiteral("Toggle Code Editor"))->trigger();
        QVERIFY(!app.delegate.editor()->codeIsShown());

        QAction* icons = itemTitled(view, QStringLiteral("Show Row Icons"));
        QVERIFY(icons->isCheckable() && !icons->isChecked());
        icons->trigger();
        QVERIFY(app.delegate.outline()->showRowIcons());
        QVERIFY(icons->isChecked());
        app.delegate.outline()->setShowRowIcons(false);
        QVERIFY(!icons->isChecked());

        QCOMPARE(model->rowCount(), 4);
        itemTitled(view, QStringLiteral("Collapse All"))->trigger();
        QVERIFY(model->rowCount() < 4);
        itemTitled(view, QStringLiteral("Expand All"))->trigger();
        QCOMPARE(model->rowCount(), 4);

        app.delegate.window()->outlineView()->selectRow(1);
        app.delegate.menus()->action(MenuCommand::RemoveRow)->trigger();
        QCOMPARE(app.json(), QStringLiteral("{\"b\":2}"));
        QCOMPARE(app.delegate.CurrentPath(), QStringLiteral("root.b"));

        QGuiApplication::clipboard()->setText(QStringLiteral("[5]"));
        app.prompts.confirmationAnswers.push_back({true, false});
        app.delegate.menus()->action(MenuCommand::OpenFromClipboard)->trigger();
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
        QVERIFY(app.showActive());
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
