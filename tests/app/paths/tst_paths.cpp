#include "AppTestSupport.h"
#include "app/paths/GoToPathDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

class TestPaths : public QObject
{
    Q_OBJECT
private slots:
    // Copy puts exactly the path (in the outline's form, or from Copy Path As in jq's, as a JSON Pointer or as a
    // JSONPath) or the compact JSON on the clipboard and shows a notice that closes itself.
    void copy_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("command"); // "path", "json", or an item of Copy Path As
        QTest::addColumn<QString>("copied");
        QTest::addColumn<QString>("notice");
        const QString json = QStringLiteral("JSON Copied: Node JSON has been copied to clipboard");
        QTest::newRow("path of an element") << 3 << "path"
                                            << "root.o.a[0]"
                                            << "Path Copied: root.o.a[0]";
        QTest::newRow("jq") << 3 << "jq"
                            << ".o.a[0]"
                            << "Path Copied: .o.a[0]";
        QTest::newRow("JSON Pointer") << 3 << "JSON Pointer"
                                      << "/o/a/0"
                                      << "Path Copied: /o/a/0";
        QTest::newRow("JSONPath") << 3 << "JSONPath"
                                  << "$['o']['a'][0]"
                                  << "Path Copied: $['o']['a'][0]";
        QTest::newRow("JSON Pointer of the root") << 0 << "JSON Pointer"
                                                  << ""
                                                  << "Path Copied: (the empty pointer: the whole document)";
        QTest::newRow("json of an object member") << 1 << "json"
                                                  << "{\"a\":[1,2]}" << json;
        QTest::newRow("nothing selected, path") << -1 << "path"
                                                << "before" << QString();
        QTest::newRow("nothing selected, jq") << -1 << "jq"
                                              << "before" << QString();
        QTest::newRow("nothing selected, json") << -1 << "json"
                                                << "before" << QString();
    }
    void copy()
    {
        QFETCH(int, row);
        QFETCH(QString, command);
        QFETCH(QString, copied);
        QFETCH(QString, notice);
        LaunchedApp s;
        QVERIFY(s.delegate.loadJSONString(QStringLiteral("{\"o\":{\"a\":[1,2]},\"s\":\"x\"}")));
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));
        s.view()->selectRow(row);
        if (command == QLatin1String("json")) {
            s.delegate.outline()->copyNodeAsJSON();
        } else if (command == QLatin1String("path")) {
            s.delegate.paths()->copyNodePath();
        } else {
            // Copy Path As is the same submenu in the outline's menu and in Edit.
            QMenu* pathMenu = s.delegate.paths()->copyPathAsMenu();
            QVERIFY(s.view()->actions().contains(pathMenu->menuAction()));
            QVERIFY(s.delegate.menus()->menu(QStringLiteral("Edit"))->actions().contains(pathMenu->menuAction()));
            const QList<QAction*> items = pathMenu->actions();
            const auto item = std::find_if(items.begin(), items.end(), [&](QAction* action) {
                return action->text().remove(QLatin1Char('&')) == command;
            });
            QVERIFY(item != items.end());
            (*item)->trigger();
        }
        QCOMPARE(clipboard->text(), copied);
        QMessageBox* box = s.delegate.outline()->transientNotice();
        QCOMPARE(box ? box->windowTitle() + QStringLiteral(": ") + box->text() : QString(), notice);
        QTRY_VERIFY_WITH_TIMEOUT(!s.delegate.outline()->transientNotice(), 3000);
    }

    // Go to Path takes any of the path forms, selects the node's row and scrolls to it, opening collapsed
    // ancestors and clearing a search that hides it. A path that leads nowhere keeps the dialog open and says so.
    void goToPath_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("selected"); // the node's outline path, or null when there is none
        QTest::newRow("jq, through a collapsed ancestor") << ""
                                                          << ".o.a[1]"
                                                          << "root.o.a[1]";
        QTest::newRow("pointer, hidden by a search") << "x"
                                                     << "/o/a/0"
                                                     << "root.o.a[0]";
        QTest::newRow("JSONPath pasted with a line break") << ""
                                                           << "$['s']\n"
                                                           << "root.s";
        QTest::newRow("outline form") << ""
                                      << "root.o.a"
                                      << "root.o.a";
        QTest::newRow("nowhere") << ""
                                 << "/o/zz" << QString();
    }
    void goToPath()
    {
        QFETCH(QString, search);
        QFETCH(QString, path);
        QFETCH(QString, selected);
        LaunchedApp s;
        QVERIFY(s.delegate.loadJSONString(QStringLiteral("{\"o\":{\"a\":[1,2]},\"s\":\"x\"}")));
        s.model()->setExpanded(1, false); // "o"
        s.delegate.search()->setValue(search);
        s.view()->selectRow(0);
        s.delegate.paths()->showGoToPath();
        GoToPathDialog* dialog = s.delegate.paths()->goToPathDialog();
        QVERIFY(dialog && dialog->isVisible());
        dialog->pathField()->setText(path);
        dialog->goButton()->click();
        if (selected.isNull()) {
            QCOMPARE(s.delegate.CurrentPath(), QStringLiteral("root"));
            QVERIFY(dialog->isVisible());
            QCOMPARE(dialog->message()->text(), QStringLiteral("No node at this path"));
            return;
        }
        QCOMPARE(s.delegate.CurrentPath(), selected);
        QCOMPARE(s.model()->nodeAt(s.view()->selectedRow()), s.delegate.CurrentNode());
        QCOMPARE(s.delegate.search()->value(), QString());
        QVERIFY(!dialog->isVisible());
    }
};

QTEST_MAIN(TestPaths)
#include "tst_paths.moc"
