#include "AppTestSupport.h"
#include "TestSupport.h"
#include "app/GoToPathDialog.h"
#include "app/MainWindow.h"
#include "app/OutlineModel.h"
#include "app/OutlineView.h"
#include "app/SearchField.h"
#include "model/Notifications.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <algorithm>

namespace {

const QString kFruits =
    QStringLiteral("{\"count\":3,\"fruits\":[\"apple\",\"Banana\",\"cherry\"],\"owner\":{\"name\":\"Ann\"}}");
const QString kRecentSearchesKey = QStringLiteral("BrackwellRecentSearches");
const QString kLoadFailure = QStringLiteral("Something went wrong!: JSON content doesn't appear to be valid.");

// A launched controller whose alerts are recorded, whose questions come from a script and whose settings live
// in a temporary file.
struct Session
{
    TemporarySettings settings;
    AlertRecorder alerts;
    ScriptedPrompts prompts;
    AppDelegate delegate;

    Session()
    {
        delegate.applicationDidFinishLaunching();
        delegate.setPrompts(&prompts);
    }
    OutlineModel* model() const { return delegate.outlineModel(); }
    OutlineView* view() const { return delegate.window()->outlineView(); }
    QString subtitle() const { return delegate.windowSubtitle(); }
    QString json() const { return QString::fromUtf8(delegate.TheDocument()->root()->jsonText().value_or("?")); }
    QString cell(int row, int column) const { return model()->data(model()->index(row, column)).toString(); }
    QStringList rowNames() const
    {
        QStringList names;
        for (int row = 0; row < model()->rowCount(); ++row)
            names << cell(row, OutlineModel::NameColumn);
        return names;
    }
    // The rows whose node carries the selected flag.
    QList<int> flaggedRows() const
    {
        QList<int> rows;
        for (int row = 0; row < model()->rowCount(); ++row)
            if (model()->nodeAt(row)->isSelected())
                rows << row;
        return rows;
    }
    QStringList alertTexts() const
    {
        QStringList texts;
        for (const Alert& alert : alerts.alerts)
            texts << alert.title + QStringLiteral(": ") + alert.message;
        return texts;
    }
    bool openAndWait(const QString& path)
    {
        delegate.openDocumentURL(path);
        return QTest::qWaitFor([this] { return !delegate.isLoading(); }, 5000);
    }
};

} // namespace

class TestAppDelegate : public QObject
{
    Q_OBJECT
private slots:
    // The launch document is an unsaved empty object; text that is not JSON changes nothing but alerts once.
    void launchAndLoadText()
    {
        Session s;
        Document* launched = s.delegate.TheDocument();
        QCOMPARE(s.json(), QStringLiteral("{}"));
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled*"));
        QVERIFY(s.delegate.window()->windowTitle().contains(QStringLiteral("Untitled")));
        QVERIFY(s.delegate.windowShouldClose());
        QVERIFY(s.prompts.saveQuestions.isEmpty());

        QVERIFY(!s.delegate.loadJSONString(QStringLiteral("{\"a\": [1,")));
        QCOMPARE(s.alertTexts(), QStringList{kLoadFailure});
        QCOMPARE(s.delegate.TheDocument(), launched);
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled*"));

        QVERIFY(s.delegate.loadJSONString(QStringLiteral("[1,2]")));
        QCOMPARE(s.json(), QStringLiteral("[1,2]"));
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled*"));
        QCOMPARE(s.alerts.alerts.size(), 1);
    }

    // A file is read in the background: loading state and busy indicator meanwhile, then the file or an alert.
    void openFileInBackground_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("valid");
        QTest::newRow("document") << QByteArray("{\"k\":[1,2]}") << true;
        QTest::newRow("broken") << QByteArray("{\"k\": [1,") << false;
        QTest::newRow("empty file") << QByteArray() << false;
    }
    void openFileInBackground()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, valid);
        Session s;
        QVERIFY(s.delegate.loadJSONString(QStringLiteral("{\"before\":1}")));
        Document* before = s.delegate.TheDocument();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.json"));
        QVERIFY(writeFile(path, content));
        QProgressBar* busy = s.delegate.window()->busyIndicator();
        QSignalSpy loading(&s.delegate, &AppDelegate::isLoadingChanged);

        s.delegate.openDocumentURL(path);
        QVERIFY(s.delegate.isLoading());
        QCOMPARE(s.subtitle(), QStringLiteral("Loading data.json") + QChar(0x2026));
        QVERIFY(busy->isVisibleTo(s.delegate.window()));
        QTRY_COMPARE(loading.count(), 2);
        QVERIFY(!s.delegate.isLoading());
        QVERIFY(!busy->isVisibleTo(s.delegate.window()));
        if (valid) {
            QCOMPARE(s.subtitle(), QStringLiteral("data.json"));
            QCOMPARE(s.json().toUtf8(), content);
            QCOMPARE(Settings::instance().recentDocuments(), QStringList{QFileInfo(path).absoluteFilePath()});
            QVERIFY(s.alerts.alerts.isEmpty());
        } else {
            QCOMPARE(s.delegate.TheDocument(), before);
            QCOMPARE(s.subtitle(), QStringLiteral("Untitled*"));
            QVERIFY(Settings::instance().recentDocuments().isEmpty());
            QCOMPARE(s.alertTexts(), QStringList{kLoadFailure});
        }
    }

    // A file named at launch is read before start-up ends: the empty document stands in, the subtitle keeps
    // saying what is being read, and the file replaces the stand-in without a question.
    void fileNamedAtLaunch()
    {
        TemporarySettings settings;
        AlertRecorder alerts;
        ScriptedPrompts prompts;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("launch.json"));
        QVERIFY(writeFile(path, "[true]"));
        AppDelegate delegate;
        delegate.setPrompts(&prompts);
        delegate.openFiles({path});
        delegate.applicationDidFinishLaunching();
        QCOMPARE(delegate.windowSubtitle(), QStringLiteral("Loading launch.json") + QChar(0x2026));
        QTRY_VERIFY(!delegate.isLoading());
        QCOMPARE(delegate.windowSubtitle(), QStringLiteral("launch.json"));
        QCOMPARE(delegate.TheDocument()->root()->jsonText().value_or("?"), QByteArray("[true]"));
        QVERIFY(prompts.confirmations.isEmpty());
        QVERIFY(alerts.alerts.isEmpty());
    }

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
        Session s;
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
        Session s;
        QVERIFY(s.delegate.loadJSONString(QStringLiteral("{\"a\":{\"b\":1}}")));
        s.view()->selectRow(2);
        QCOMPARE(s.delegate.CurrentPath(), QStringLiteral("root.a.b"));
        QVERIFY(s.model()->setData(s.model()->index(1, OutlineModel::NameColumn), QStringLiteral("x")));
        QCOMPARE(s.delegate.CurrentPath(), QStringLiteral("root.x.b"));
    }

    // Every edit typed into the outline marks the saved document unsaved again; bad values are rewritten.
    void inPlaceEdits_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("json");
        const int name = OutlineModel::NameColumn;
        const int kind = OutlineModel::KindColumn;
        const int value = OutlineModel::ValueColumn;
        QTest::newRow("string value") << 2 << value << "y"
                                      << "{\"n\":1,\"s\":\"y\",\"t\":true}";
        QTest::newRow("member name") << 2 << name << "renamed"
                                     << "{\"n\":1,\"renamed\":\"x\",\"t\":true}";
        QTest::newRow("leaf kind") << 3 << kind << "String"
                                   << "{\"n\":1,\"s\":\"x\",\"t\":\"true\"}";
        QTest::newRow("integer given text") << 1 << value << "abc"
                                            << "{\"n\":0,\"s\":\"x\",\"t\":true}";
        QTest::newRow("boolean given text") << 3 << value << "maybe"
                                            << "{\"n\":1,\"s\":\"x\",\"t\":false}";
    }
    void inPlaceEdits()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, json);
        Session s;
        QVERIFY(s.delegate.loadJSONString(QStringLiteral("{\"n\":1,\"s\":\"x\",\"t\":true}")));
        s.delegate.TheDocument()->setSaved(true);
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled"));
        QVERIFY(s.model()->setData(s.model()->index(row, column), text));
        QCOMPARE(s.json(), json);
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled*"));
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
        Session s;
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
        auto s = std::make_unique<Session>();
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
        Session s;
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
        Session s;
        QVERIFY(s.delegate.loadJSONString(json));
        s.view()->selectRow(row);
        for (int i = 0; i < adds; ++i)
            s.delegate.addForSelectedRow();
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
        Session s;
        QVERIFY(s.delegate.loadJSONString(json));
        s.delegate.TheDocument()->setSaved(true);
        s.view()->selectRow(row);
        s.delegate.removeSelectedRow();
        QCOMPARE(s.rowNames(), rows);
        QCOMPARE(s.delegate.CurrentPath(), selected);
        QCOMPARE(s.delegate.CurrentPath().isNull(), selected.isNull());
        QCOMPARE(s.flaggedRows().size(), selected.isNull() ? 0 : 1);
        QCOMPARE(s.delegate.TheDocument()->saved(), row <= 0);
        QCOMPARE(s.alertTexts(), row == 0 ? QStringList{"Ooops!: We cannot delete the root node!"} : QStringList());
    }

    // Copy puts exactly the path (in the outline's form, or from Copy Path As in jq's, as a JSON Pointer or as a
    // JSONPath) or the compact JSON on the clipboard and shows a notice that closes itself.
    void copy_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("command"); // "path", "json", or an item of Copy Path As
        QTest::addColumn<QString>("copied");
        QTest::addColumn<QString>("notice");
        const QString json = QStringLiteral("JSON Copied: Node JSON has been copied to clipboard");
        QTest::newRow("path of an element") << 3 << "path" << "root.o.a[0]"
                                            << "Path Copied: root.o.a[0]";
        QTest::newRow("jq") << 3 << "jq" << ".o.a[0]" << "Path Copied: .o.a[0]";
        QTest::newRow("JSON Pointer") << 3 << "JSON Pointer" << "/o/a/0" << "Path Copied: /o/a/0";
        QTest::newRow("JSONPath") << 3 << "JSONPath" << "$['o']['a'][0]" << "Path Copied: $['o']['a'][0]";
        QTest::newRow("JSON Pointer of the root") << 0 << "JSON Pointer" << ""
                                                  << "Path Copied: (the empty pointer: the whole document)";
        QTest::newRow("json of an object member") << 1 << "json" << "{\"a\":[1,2]}" << json;
        QTest::newRow("nothing selected, path") << -1 << "path" << "before" << QString();
        QTest::newRow("nothing selected, jq") << -1 << "jq" << "before" << QString();
        QTest::newRow("nothing selected, json") << -1 << "json" << "before" << QString();
    }
    void copy()
    {
        QFETCH(int, row);
        QFETCH(QString, command);
        QFETCH(QString, copied);
        QFETCH(QString, notice);
        Session s;
        QVERIFY(s.delegate.loadJSONString(QStringLiteral("{\"o\":{\"a\":[1,2]},\"s\":\"x\"}")));
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));
        s.view()->selectRow(row);
        if (command == QLatin1String("json")) {
            s.delegate.copyNodeAsJSON();
        } else if (command == QLatin1String("path")) {
            s.delegate.copyNodePath();
        } else {
            // Copy Path As is the same submenu in the outline's menu and in Edit.
            QMenu* pathMenu = s.delegate.copyPathAsMenu();
            QVERIFY(s.view()->actions().contains(pathMenu->menuAction()));
            QVERIFY(s.delegate.window()->editMenu()->actions().contains(pathMenu->menuAction()));
            const QList<QAction*> items = pathMenu->actions();
            const auto item = std::find_if(items.begin(), items.end(), [&](QAction* action) {
                return action->text().remove(QLatin1Char('&')) == command;
            });
            QVERIFY(item != items.end());
            (*item)->trigger();
        }
        QCOMPARE(clipboard->text(), copied);
        QMessageBox* box = s.delegate.transientNotice();
        QCOMPARE(box ? box->windowTitle() + QStringLiteral(": ") + box->text() : QString(), notice);
        QTRY_VERIFY_WITH_TIMEOUT(!s.delegate.transientNotice(), 3000);
    }

    // Go to Path takes any of the path forms, selects the node's row and scrolls to it, opening collapsed
    // ancestors and clearing a search that hides it. A path that leads nowhere keeps the dialog open and says so.
    void goToPath_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("selected"); // the node's outline path, or null when there is none
        QTest::newRow("jq, through a collapsed ancestor") << "" << ".o.a[1]" << "root.o.a[1]";
        QTest::newRow("pointer, hidden by a search") << "x" << "/o/a/0" << "root.o.a[0]";
        QTest::newRow("JSONPath pasted with a line break") << "" << "$['s']\n" << "root.s";
        QTest::newRow("outline form") << "" << "root.o.a" << "root.o.a";
        QTest::newRow("nowhere") << "" << "/o/zz" << QString();
    }
    void goToPath()
    {
        QFETCH(QString, search);
        QFETCH(QString, path);
        QFETCH(QString, selected);
        Session s;
        QVERIFY(s.delegate.loadJSONString(QStringLiteral("{\"o\":{\"a\":[1,2]},\"s\":\"x\"}")));
        s.model()->setExpanded(1, false); // "o"
        s.delegate.setSearchPredicateValue(search);
        s.view()->selectRow(0);
        s.delegate.showGoToPath();
        GoToPathDialog* dialog = s.delegate.goToPathDialog();
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
        QCOMPARE(s.delegate.SearchPredicateValue(), QString());
        QVERIFY(!dialog->isVisible());
    }

    // The search keeps matching leaves with their ancestors and the root; elements keep their own indices.
    void searchFilters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<bool>("regex");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("element value") << "cherry" << true << false << QStringList{"root", "fruits", "[2]"};
        QTest::newRow("member value") << "Ann" << true << false << QStringList{"root", "owner", "name"};
        QTest::newRow("case differs") << "banana" << true << false << QStringList{"root"};
        QTest::newRow("case ignored") << "banana" << false << false << QStringList{"root", "fruits", "[1]"};
        QTest::newRow("expression") << "^(apple|cherry)$" << true << true
                                    << QStringList{"root", "fruits", "[0]", "[2]"};
        QTest::newRow("expression ignoring case") << "^b" << false << true << QStringList{"root", "fruits", "[1]"};
        QTest::newRow("expression taken literally") << "^b" << false << false << QStringList{"root"};
        QTest::newRow("no search") << "" << true << false
                                   << QStringList{"root", "count", "fruits", "[0]", "[1]", "[2]", "owner", "name"};
    }
    void searchFilters()
    {
        QFETCH(QString, text);
        QFETCH(bool, caseSensitive);
        QFETCH(bool, regex);
        QFETCH(QStringList, rows);
        Session s;
        QVERIFY(s.delegate.loadJSONString(kFruits));
        s.delegate.setSearchPredicateCaseSensitive(caseSensitive);
        s.delegate.setSearchPredicateRegularExpressions(regex);
        s.delegate.setSearchPredicateValue(text);
        QCOMPARE(s.rowNames(), rows);
        QVERIFY(s.delegate.SearchErrorMessage().isNull());
        QCOMPARE(s.delegate.window()->searchField()->text(), text);
    }

    // An invalid expression shows its error on the field until expressions are off or the text is gone.
    void searchError_data()
    {
        QTest::addColumn<bool>("clearText");
        QTest::newRow("expressions switched off") << false;
        QTest::newRow("text cleared") << true;
    }
    void searchError()
    {
        QFETCH(bool, clearText);
        Session s;
        SearchField* field = s.delegate.window()->searchField();
        const QColor normal = field->palette().color(QPalette::Text);
        s.delegate.setSearchPredicateRegularExpressions(true);
        s.delegate.setSearchPredicateValue(QStringLiteral("("));
        QVERIFY(!s.delegate.SearchErrorMessage().isNull());
        QVERIFY(field->toolTip().startsWith(QStringLiteral("Invalid regex: ")));
        QVERIFY(field->showsError());
        QCOMPARE(field->palette().color(QPalette::Text), QColor(Qt::red));

        if (clearText)
            s.delegate.setSearchPredicateValue(QString());
        else
            s.delegate.setSearchPredicateRegularExpressions(false);
        QVERIFY(s.delegate.SearchErrorMessage().isNull());
        QVERIFY(field->toolTip().isEmpty());
        QVERIFY(!field->showsError());
        QCOMPARE(field->palette().color(QPalette::Text), normal);
    }

    // Typing filters as the user types; Return makes it a recent search.
    void typingInSearchField()
    {
        Session s;
        QVERIFY(s.delegate.loadJSONString(kFruits));
        SearchField* field = s.delegate.window()->searchField();
        QTest::keyClicks(field, QStringLiteral("cherr"));
        QCOMPARE(s.delegate.SearchPredicateValue(), QStringLiteral("cherr"));
        QCOMPARE(s.rowNames(), (QStringList{"root", "fruits", "[2]"}));
        QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(s.delegate.SearchPredicateValue(), QStringLiteral("cher"));
        QVERIFY(s.delegate.recentSearches().isEmpty());
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(s.delegate.recentSearches(), QStringList{"cher"});
        QCOMPARE(s.delegate.searchMenu()->actions().first()->text(), QStringLiteral("cher"));
    }

    // Recent searches: most recent first, exact duplicates merged, at most ten, kept for the next launch.
    void recentSearchesList()
    {
        Session s;
        for (const char* text : {"alpha", "Alpha", "alpha", ""})
            s.delegate.addRecentSearch(QString::fromLatin1(text));
        QCOMPARE(s.delegate.recentSearches(), (QStringList{"alpha", "Alpha"}));
        QStringList expected;
        for (int i = 0; i < 11; ++i) {
            s.delegate.addRecentSearch(QString::number(i));
            expected.prepend(QString::number(i));
        }
        expected.removeLast();
        QCOMPARE(s.delegate.recentSearches(), expected);
        QCOMPARE(Settings::instance().store().value(kRecentSearchesKey).toStringList(), expected);

        s.settings.reopen();
        AppDelegate next;
        next.applicationDidFinishLaunching();
        QCOMPARE(next.recentSearches(), expected);
        // A longer list stored by someone else is cut to ten at launch.
        Settings::instance().store().setValue(kRecentSearchesKey, expected + QStringList{"x", "y"});
        AppDelegate third;
        third.applicationDidFinishLaunching();
        QCOMPARE(third.recentSearches(), expected);
    }

    // The recent-search menu: entries, a separator, then Clear; choosing an entry searches for it.
    void recentSearchMenu()
    {
        Session s;
        QVERIFY(s.delegate.loadJSONString(kFruits));
        s.delegate.addRecentSearch(QStringLiteral("apple"));
        s.delegate.addRecentSearch(QStringLiteral("cherry"));
        s.delegate.addRecentSearch(QStringLiteral("salt & pepper"));
        s.delegate.updateSearchMenu();
        QCOMPARE(s.delegate.searchMenu()->title(), QStringLiteral("Recent Searches"));
        QList<QAction*> items = s.delegate.searchMenu()->actions();
        QCOMPARE(items.size(), 5);
        QCOMPARE(items[0]->text(), QStringLiteral("salt && pepper")); // shown as it is, without a mnemonic
        QCOMPARE(items[1]->text(), QStringLiteral("cherry"));
        QCOMPARE(items[2]->text(), QStringLiteral("apple"));
        QVERIFY(items[3]->isSeparator());
        QCOMPARE(items[4]->text(), QStringLiteral("&Clear Recent Searches"));

        items[2]->trigger();
        QCOMPARE(s.delegate.recentSearches(), (QStringList{"apple", "salt & pepper", "cherry"}));
        QCOMPARE(s.delegate.SearchPredicateValue(), QStringLiteral("apple"));
        QCOMPARE(s.rowNames(), (QStringList{"root", "fruits", "[0]"}));
        QCOMPARE(s.delegate.searchMenu()->actions().first()->text(), QStringLiteral("apple"));
        s.delegate.searchMenu()->actions().last()->trigger();
        QVERIFY(s.delegate.recentSearches().isEmpty());
        QVERIFY(!Settings::instance().store().contains(kRecentSearchesKey));
        QVERIFY(s.delegate.searchMenu()->actions().isEmpty());
    }

    // Hiding the search bar gives its strip to the outline; hiding the code pane gives its width to the left pane.
    void panelToggles()
    {
        Session s;
        MainWindow* window = s.delegate.window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        OutlineView* outline = window->outlineView();
        const QRect before = outline->geometry();
        s.delegate.toggleSearchPanel();
        QVERIFY(!window->searchBar()->isVisible());
        QVERIFY(!window->searchBar()->isEnabled());
        QTRY_COMPARE(outline->height(), before.height() + MainWindow::searchBarHeight);
        QCOMPARE(outline->y(), before.y() - MainWindow::searchBarHeight);
        s.delegate.toggleSearchPanel();
        QVERIFY(window->searchBar()->isVisible() && window->searchBar()->isEnabled());
        QTRY_COMPARE(outline->geometry(), before);

        QSplitter* splitter = window->splitter();
        QWidget* left = window->leftHandSideView();
        // The user dragged the divider; showing the pane again still splits evenly.
        splitter->setSizes({splitter->width() * 3 / 4, splitter->width() / 4});
        s.delegate.toggleCodePanel();
        QVERIFY(!window->codePane()->isVisible());
        QTRY_COMPARE(left->width(), splitter->width());
        s.delegate.toggleCodePanel();
        QVERIFY(window->codePane()->isVisible());
        const int slack = splitter->handleWidth() + 2;
        QTRY_VERIFY2(qAbs(left->width() - splitter->width() / 2) <= slack,
                     qPrintable(QStringLiteral("left %1 of %2").arg(left->width()).arg(splitter->width())));
    }

    // confirmProceed asks unless the key is silenced; the checkbox silences it whichever button was pressed.
    void confirmProceed_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("silenced");
        QTest::addColumn<bool>("proceed");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<bool>("stored");
        QTest::newRow("silenced key") << "k" << true << true << false << true;
        QTest::newRow("ok") << "k" << false << true << false << false;
        QTest::newRow("cancel") << "k" << false << false << false << false;
        QTest::newRow("cancel with the box ticked") << "k" << false << false << true << true;
        QTest::newRow("no key") << "" << false << true << true << false;
    }
    void confirmProceed()
    {
        QFETCH(QString, key);
        QFETCH(bool, silenced);
        QFETCH(bool, proceed);
        QFETCH(bool, tick);
        QFETCH(bool, stored);
        Session s;
        if (silenced)
            Settings::instance().setSuppressed(key);
        else
            s.prompts.confirmationAnswers.push_back({proceed, tick});
        int ran = 0;
        const auto ask = [&] {
            s.delegate.confirmProceed(QStringLiteral("T"), QStringLiteral("M"), key, [&] { ++ran; });
        };
        ask();
        QCOMPARE(ran, proceed ? 1 : 0);
        QCOMPARE(s.prompts.confirmations.size(), silenced ? 0 : 1);
        if (!silenced) {
            const Prompts::Confirmation& asked = s.prompts.confirmations.first();
            QCOMPARE(asked.title + asked.message, QStringLiteral("TM"));
            QCOMPARE(asked.showsSuppression, !key.isEmpty());
        }
        QCOMPARE(Settings::instance().isSuppressed(key), stored);
        if (key.isEmpty())
            QVERIFY(Settings::instance().store().allKeys().isEmpty());
        if (stored) {
            ask();
            QCOMPARE(ran, proceed ? 2 : 1);
        }
        QVERIFY(s.prompts.unexpected.isEmpty());
    }

    // New and Open ask before replacing the unsaved launch document and do only what the answer allows.
    void unsavedDocumentAsks_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("proceed");
        for (const char* command : {"new", "open file", "open panel"}) {
            QTest::addRow("%s, ok", command) << command << true;
            QTest::addRow("%s, cancel", command) << command << false;
        }
    }
    void unsavedDocumentAsks()
    {
        QFETCH(QString, command);
        QFETCH(bool, proceed);
        Session s;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.json"));
        QVERIFY(writeFile(path, "{\"k\":1}"));
        Document* launched = s.delegate.TheDocument();
        s.prompts.confirmationAnswers.push_back({proceed, false});
        s.prompts.openPaths.push_back(path);
        if (command == QLatin1String("new"))
            s.delegate.window()->newAction()->trigger();
        else if (command == QLatin1String("open file"))
            s.delegate.openFile(path);
        else
            s.delegate.window()->openAction()->trigger();
        QCOMPARE(s.prompts.confirmations.size(), 1);
        QCOMPARE(s.prompts.confirmations.first().title, QStringLiteral("Are you sure you want to proceed?"));
        QCOMPARE(s.prompts.confirmations.first().message,
                 QStringLiteral("All of your changes to the current project will not be saved!"));
        QTRY_VERIFY(!s.delegate.isLoading());
        QCOMPARE(s.delegate.TheDocument() != launched, proceed);
        if (proceed && command != QLatin1String("new"))
            QCOMPARE(s.subtitle(), QStringLiteral("data.json"));
        QCOMPARE(s.prompts.openPaths.size(), proceed && command == QLatin1String("open panel") ? 0 : 1);
    }

    // Of several files handed over at once only the first is opened; a saved document is replaced unasked.
    void openFilesThenReplaceSaved()
    {
        Session s;
        QTemporaryDir dir;
        QStringList paths;
        for (const char* name : {"a.json", "b.json", "c.json"}) {
            paths << dir.filePath(QString::fromLatin1(name));
            QVERIFY(writeFile(paths.last(), "[]"));
        }
        s.prompts.confirmationAnswers.push_back({true, false});
        s.delegate.openFiles(paths);
        QTRY_VERIFY(!s.delegate.isLoading());
        QCOMPARE(s.subtitle(), QStringLiteral("a.json"));
        QCOMPARE(Settings::instance().recentDocuments(), QStringList{QFileInfo(paths.first()).absoluteFilePath()});
        // a.json is saved now: neither Open nor New asks again.

        s.delegate.openFile(paths[2]);
        QTRY_VERIFY(!s.delegate.isLoading());
        QCOMPARE(s.subtitle(), QStringLiteral("c.json"));
        s.delegate.newDocument();
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled*"));
        QCOMPARE(s.prompts.confirmations.size(), 1);
    }

    // Silencing the question for New leaves the one for Open in place.
    void silencingIsPerCommand()
    {
        Session s;
        Settings::instance().setSuppressed(QStringLiteral("new-document"));
        Document* launched = s.delegate.TheDocument();
        s.delegate.newDocument();
        QVERIFY(s.delegate.TheDocument() != launched);
        QVERIFY(s.prompts.confirmations.isEmpty());
        s.prompts.confirmationAnswers.push_back({false, false});
        s.delegate.openFile(QStringLiteral("/nonexistent/data.json"));
        QCOMPARE(s.prompts.confirmations.size(), 1);
        QVERIFY(!s.delegate.isLoading());
    }

    // Closing with unsaved edits asks first; Save writes the edit to the document's file.
    void windowClose_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("cancel") << int(Prompts::SaveChoice::Cancel) << false << QByteArray("{\"k\":\"old\"}");
        QTest::newRow("don't save") << int(Prompts::SaveChoice::DontSave) << true << QByteArray("{\"k\":\"old\"}");
        QTest::newRow("save") << int(Prompts::SaveChoice::Save) << true << QByteArray("{\"k\":\"new\"}");
    }
    void windowClose()
    {
        QFETCH(int, choice);
        QFETCH(bool, closes);
        QFETCH(QByteArray, written);
        Session s;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.json"));
        QVERIFY(writeFile(path, "{\"k\":\"old\"}"));
        QVERIFY(s.openAndWait(path));
        QVERIFY(s.delegate.windowShouldClose());
        QVERIFY(s.model()->setData(s.model()->index(1, OutlineModel::ValueColumn), QStringLiteral("new")));
        s.prompts.saveAnswers.push_back(Prompts::SaveChoice(choice));
        QCOMPARE(s.delegate.window()->close(), closes);
        QCOMPARE(s.prompts.saveQuestions, QStringList{"data.json"});
        QCOMPARE(readFile(path), written);
        QVERIFY(s.prompts.unexpected.isEmpty());
    }

    // The notifications of the document's tree: a reload without a selection is harmless, a data change marks the
    // edit.
    void notifications()
    {
        Session s;
        QVERIFY(s.delegate.loadJSONString(kFruits));
        s.delegate.TheDocument()->setSaved(true);
        Notifications& notifications = s.delegate.TheDocument()->root()->notifications();
        notifications.postReloadCurrentRow();
        QCOMPARE(s.model()->rowCount(), 8);
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled"));
        notifications.postTreeDataChanged();
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled*"));
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
