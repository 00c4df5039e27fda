#include "AppTestSupport.h"
#include "app/search/SearchField.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

class TestOutlineCommands : public QObject
{
    Q_OBJECT
private slots:
    // The selected row drives CurrentNode, CurrentPath and the one node flagged as selected.
    void selection_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("path");
        QTest::newRow("root") << 0 << "root";
        QTest::newRow("member") << 1 << "root.a";
        QTest::newRow("element") << 3 << "root.a.b[0]";
        QTest::newRow("member of an element") << 5 << "root.a.b[1].c";
        QTest::newRow("last row") << 6 << "root.z";
    }
    void selection()
    {
        QFETCH(int, row);
        QFETCH(QString, path);
        LaunchedApp s;
        QVERIFY(s.delegate.loadJSONString(QStringLiteral("{\"a\":{\"b\":[1,{\"c\":2}]},\"z\":null}")));
        s.view()->selectRow(2);
        s.view()->selectRow(row);
        QCOMPARE(s.delegate.CurrentNode(), s.model()->nodeAt(row));
        QCOMPARE(s.delegate.CurrentPath(), path);
        QCOMPARE(s.delegate.CurrentNode()->path(), path);
        QCOMPARE(s.flaggedRows(), QList<int>{row});

        s.view()->selectRow(-1);
        QVERIFY(s.delegate.CurrentPath().isNull());
        QVERIFY(!s.delegate.CurrentNode());
        QVERIFY(s.flaggedRows().isEmpty());
    }

    // Renaming a member in place moves the selected path with it.
    void renameKeepsCurrentPath()
    {
        LaunchedApp s;
        QVERIFY(s.delegate.loadJSONString(QStringLiteral("{\"a\":{\"b\":1}}")));
        s.view()->selectRow(2);
        QCOMPARE(s.delegate.CurrentPath(), QStringLiteral("root.a.b"));
        QVERIFY(s.model()->setData(s.model()->index(1, OutlineModel::NameColumn), QStringLiteral("x")));
        QCOMPARE(s.delegate.CurrentPath(), QStringLiteral("root.x.b"));
    }

    // A cell's editor committed with the text it opened with changes nothing, whatever the row's label: the
    // member named "" is labelled by its position, and its editor opens empty.
    void unchangedCommitChangesNothing_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("opensWith");
        // Rows: root, "", f, k.
        QTest::newRow("empty name") << 1 << int(OutlineModel::NameColumn) << QString();
        QTest::newRow("ordinary name") << 3 << int(OutlineModel::NameColumn) << QStringLiteral("k");
        QTest::newRow("number value") << 2 << int(OutlineModel::ValueColumn) << QStringLiteral("1.5");
        QTest::newRow("string value") << 3 << int(OutlineModel::ValueColumn) << QStringLiteral(" v ");
    }
    void unchangedCommitChangesNothing()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, opensWith);
        LaunchedApp s;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("doc.json"));
        const QByteArray bytes = "{\"\":2,\"f\":1.5,\"k\":\" v \"}";
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QVERIFY(s.openAndWait(path));
        s.delegate.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(s.delegate.window()));
        QVERIFY(s.delegate.TheDocument()->saved());
        QCOMPARE(s.cell(1, OutlineModel::NameColumn), QStringLiteral("[0]"));

        const QModelIndex cell = s.model()->index(row, column);
        s.view()->setCurrentIndex(cell);
        s.view()->edit(cell);
        QPointer<QLineEdit> editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        QCOMPARE(editor->text(), opensWith);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!editor); // closed and gone
        QCOMPARE(s.delegate.TheDocument()->root()->jsonText().value_or("?"), bytes);
        QVERIFY(s.delegate.TheDocument()->saved());
        QCOMPARE(s.subtitle(), QStringLiteral("doc.json"));
    }

    // Closing the window while a name is being edited: the editor commits on its way out, and that must not
    // reach the controller being torn down.
    void closeWhileEditing()
    {
        auto s = std::make_unique<LaunchedApp>();
        QVERIFY(s->delegate.loadJSONString(QStringLiteral("{\"a\":1}")));
        s->delegate.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(s->delegate.window()));
        s->view()->edit(s->model()->index(1, OutlineModel::NameColumn));
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->setText(QStringLiteral("b"));
        s.reset();
    }

    // Changing the kind of the selected row keeps the rows, the selection and the document in step.
    void kindChangeOfSelectedRow_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("json");
        QTest::newRow("string to object") << 4 << "Object" << QStringList{"root", "a", "x", "y", "s", "New Key"}
                                          << "{\"a\":{\"x\":1,\"y\":2},\"s\":{\"New Key\":\"New Value\"}}";
        QTest::newRow("object to string")
            << 1 << "String" << QStringList{"root", "a", "s"} << "{\"a\":\"Value\",\"s\":\"v\"}";
        QTest::newRow("object to array") << 1 << "Array" << QStringList{"root", "a", "[0]", "s"}
                                         << "{\"a\":[\"New Value\"],\"s\":\"v\"}";
    }
    void kindChangeOfSelectedRow()
    {
        QFETCH(int, row);
        QFETCH(QString, kind);
        QFETCH(QStringList, rows);
        QFETCH(QString, json);
        LaunchedApp s;
        QVERIFY(s.delegate.loadJSONString(QStringLiteral("{\"a\":{\"x\":1,\"y\":2},\"s\":\"v\"}")));
        s.view()->selectRow(row);
        TreeNode* node = s.delegate.CurrentNode();
        const QString path = s.delegate.CurrentPath();
        QVERIFY(s.model()->setData(s.model()->index(row, OutlineModel::KindColumn), kind));
        QCOMPARE(s.rowNames(), rows);
        QCOMPARE(s.json(), json);
        QCOMPARE(s.delegate.CurrentNode(), node);
        QCOMPARE(s.delegate.CurrentPath(), path);
        QCOMPARE(s.flaggedRows(), QList<int>{row});
        for (int r = 1; r < s.model()->rowCount(); ++r)
            QVERIFY2(s.model()->rowOf(s.model()->nodeAt(r)->parent()) < r, qPrintable(s.cell(r, 0)));
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled*"));
    }

    // Add inserts a default child after the selected row (or at the end of the root) and selects it.
    void addRows_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("adds");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("selected");
        QTest::newRow("nothing selected")
            << "{\"b\":1,\"a\":2}" << -1 << 1 << QStringList{"root", "a", "b", "New Key"} << "root";
        QTest::newRow("twice after a member")
            << "{\"a\":1,\"b\":2}" << 1 << 2 << QStringList{"root", "a", "New Key", "New Key 2", "b"}
            << "root.New Key 2";
        QTest::newRow("after an element")
            << "[10,20]" << 1 << 1 << QStringList{"root", "[0]", "[1]", "[2]"} << "root[1]";
        QTest::newRow("root selected") << "{\"a\":1}" << 0 << 1 << QStringList{"root", "a"} << "root.a";
        QTest::newRow("childless root selected") << "{}" << 0 << 1 << QStringList{"root"} << "root";
    }
    void addRows()
    {
        QFETCH(QString, json);
        QFETCH(int, row);
        QFETCH(int, adds);
        QFETCH(QStringList, rows);
        QFETCH(QString, selected);
        LaunchedApp s;
        QVERIFY(s.delegate.loadJSONString(json));
        s.view()->selectRow(row);
        for (int i = 0; i < adds; ++i)
            s.delegate.outline()->addForSelectedRow();
        QCOMPARE(s.rowNames(), rows);
        QCOMPARE(s.delegate.CurrentPath(), selected);
        QCOMPARE(s.flaggedRows(), QList<int>{s.view()->selectedRow()});
        // New members hold "New Value"; a new element has no name of its own.
        for (TreeNode* added : s.delegate.TheDocument()->root()->children())
            if (added->isString())
                QVERIFY(added->value() == QStringLiteral("New Value") && added->isArrayChild() == json.startsWith('['));
    }

    // Remove takes the selected row out and selects the row now in its place, or the one above; never the root.
    void removeRows_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("selected");
        const QString abc = QStringLiteral("{\"a\":1,\"b\":2,\"c\":3}");
        QTest::newRow("middle row") << abc << 2 << QStringList{"root", "a", "c"} << "root.c";
        QTest::newRow("last row") << abc << 3 << QStringList{"root", "a", "b"} << "root.b";
        QTest::newRow("collection with its rows")
            << "{\"a\":{\"x\":1},\"b\":2}" << 1 << QStringList{"root", "b"} << "root.b";
        QTest::newRow("element renumbers the rest") << "[1,2,3]" << 1 << QStringList{"root", "[0]", "[1]"} << "root[0]";
        QTest::newRow("only nested element") << "[[5]]" << 2 << QStringList{"root", "[0]"} << "root[0]";
        QTest::newRow("nothing selected") << abc << -1 << QStringList{"root", "a", "b", "c"} << QString();
        QTest::newRow("root") << abc << 0 << QStringList{"root", "a", "b", "c"} << "root";
    }
    void removeRows()
    {
        QFETCH(QString, json);
        QFETCH(int, row);
        QFETCH(QStringList, rows);
        QFETCH(QString, selected);
        LaunchedApp s;
        QVERIFY(s.delegate.loadJSONString(json));
        s.delegate.TheDocument()->setSaved(true);
        s.view()->selectRow(row);
        s.delegate.outline()->removeSelectedRow();
        QCOMPARE(s.rowNames(), rows);
        QCOMPARE(s.delegate.CurrentPath(), selected);
        QCOMPARE(s.delegate.CurrentPath().isNull(), selected.isNull());
        QCOMPARE(s.flaggedRows().size(), selected.isNull() ? 0 : 1);
        QCOMPARE(s.delegate.TheDocument()->saved(), row <= 0);
        QCOMPARE(s.alertTexts(), row == 0 ? QStringList{"Ooops!: We cannot delete the root node!"} : QStringList());
    }

    // Hiding the search bar gives its strip to the outline; hiding the code pane gives its width to the left pane.
    void panelToggles()
    {
        LaunchedApp s;
        MainWindow* window = s.delegate.window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        OutlineView* outline = window->outlineView();
        const QRect before = outline->geometry();
        s.delegate.search()->toggleSearchPanel();
        QVERIFY(!window->searchBar()->isVisible());
        QVERIFY(!window->searchBar()->isEnabled());
        QTRY_COMPARE(outline->height(), before.height() + MainWindow::searchBarHeight);
        QCOMPARE(outline->y(), before.y() - MainWindow::searchBarHeight);
        s.delegate.search()->toggleSearchPanel();
        QVERIFY(window->searchBar()->isVisible() && window->searchBar()->isEnabled());
        QTRY_COMPARE(outline->geometry(), before);

        QSplitter* splitter = window->splitter();
        QWidget* left = window->leftHandSideView();
        // The user dragged the divider; showing the pane again still splits evenly.
        splitter->setSizes({splitter->width() * 3 / 4, splitter->width() / 4});
        s.delegate.editor()->toggleCodePanel();
        QVERIFY(!window->codePane()->isVisible());
        QTRY_COMPARE(left->width(), splitter->width());
        s.delegate.editor()->toggleCodePanel();
        QVERIFY(window->codePane()->isVisible());
        const int slack = splitter->handleWidth() + 2;
        QTRY_VERIFY2(qAbs(left->width() - splitter->width() / 2) <= slack,
                     qPrintable(QStringLiteral("left %1 of %2").arg(left->width()).arg(splitter->width())));
    }
};

QTEST_MAIN(TestOutlineCommands)
#include "tst_outlinecommands.moc"
