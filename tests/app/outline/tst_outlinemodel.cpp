#include "AppTestSupport.h"
#include "model/Notifications.h"
#include "model/SearchSettings.h"
#include "model/TreeNode.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <vector>

namespace {

// Members are sorted on reading, so the outline lists a, b, f, n.
const char* const kDocument = "{\"b\": [1, {\"c\": true}], \"a\": \"x\", \"f\": 1.5, \"n\": null}";

void setSearch(SearchSettings& settings, const QString& text, bool caseSensitive = true, bool regularExpression = false)
{
    settings.text = text;
    settings.caseSensitive = caseSensitive;
    settings.regularExpression = regularExpression;
    settings.compileExpression();
}

// The first row whose Name cell reads `name`, or -1.
int rowNamed(const OutlineModel& model, const QString& name)
{
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.index(row, OutlineModel::NameColumn).data().toString() == name)
            return row;
    return -1;
}

// Every row as "indent marker name|kind|value": two spaces per depth, "- " for an open row, "+ " for a closed
// one. A row whose node is not a child of the nearest row one level up, or that rowOf() does not find again,
// is marked, so a wrong flattening shows in the comparison.
QStringList rowTexts(const OutlineModel& model)
{
    QStringList rows;
    std::vector<const TreeNode*> ancestors;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex name = model.index(row, OutlineModel::NameColumn);
        const int depth = name.data(OutlineModel::DepthRole).toInt();
        const TreeNode* node = model.nodeAt(row);
        const char* marker = !name.data(OutlineModel::ExpandableRole).toBool() ? "  "
                             : name.data(OutlineModel::ExpandedRole).toBool()  ? "- "
                                                                               : "+ ";
        QString text = QString(2 * depth, QLatin1Char(' ')) + QLatin1String(marker) + name.data().toString() + '|' +
                       model.index(row, OutlineModel::KindColumn).data().toString() + '|' +
                       model.index(row, OutlineModel::ValueColumn).data().toString();
        ancestors.resize(size_t(depth));
        if (depth > 0 && node->parent() != ancestors[size_t(depth) - 1])
            text += QStringLiteral(" (misplaced)");
        if (model.rowOf(node) != row)
            text += QStringLiteral(" (rowOf %1)").arg(model.rowOf(node));
        ancestors.push_back(node);
        rows << text;
    }
    return rows;
}

QStringList fullRows()
{
    return {
        "- root|Object|(4 items)",    "    a|String|x",         "  - b|Array|(2 items)", "      [0]|Number|1",
        "    - [1]|Object|(1 items)", "        c|Boolean|true", "    f|Number|1.5",      "    n|Null|",
    };
}

// Runs outline commands as a user would: "collapse NAME", "expand NAME", "collapseAll", "expandAll",
// "kind NAME LABEL" (through the Kind cell), "search TEXT", "isearch TEXT" (ignoring case) and "regex TEXT" (into
// `search`, the settings of the tree shown).
bool apply(OutlineModel& model, const QStringList& commands, SearchSettings* search = nullptr)
{
    for (const QString& command : commands) {
        const QString verb = command.section(' ', 0, 0);
        const QString argument = command.mid(verb.size() + 1);
        bool done = true;
        if (verb == "collapseAll") {
            model.collapseAll();
        } else if (verb == "expandAll") {
            model.expandAll();
        } else if (verb == "collapse" || verb == "expand") {
            const int row = rowNamed(model, argument);
            done = row >= 0;
            model.setExpanded(row, verb == "expand");
        } else if (verb == "kind") {
            const int row = rowNamed(model, argument.section(' ', 0, -2));
            done = model.setData(model.index(row, OutlineModel::KindColumn), argument.section(' ', -1));
        } else if (search && (verb == "search" || verb == "isearch" || verb == "regex")) {
            setSearch(*search, argument, verb != "isearch", verb == "regex");
            model.refresh();
        } else {
            done = false;
        }
        if (!done) {
            qWarning() << "command failed:" << command;
            return false;
        }
    }
    return true;
}

// The sample document in a model shown by an exposed view.
struct ShownOutline
{
    OwnedTree tree = treeFromText(QString::fromUtf8(kDocument));
    OutlineModel model;
    OutlineView view;

    bool show()
    {
        model.setRoot(tree.get());
        view.setOutlineModel(&model);
        view.resize(600, 400);
        view.show();
        return QTest::qWaitForWindowExposed(&view);
    }
};

} // namespace

class TestOutlineModel : public QObject
{
    Q_OBJECT
private slots:
    // Every change of the rows (expansion, search, kind edits that replace children) keeps the model
    // consistent for views and leaves the rows the current expansion and search show.
    void rowsFollowChanges_data()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QStringList>("rows");

        const QString doc = QString::fromUtf8(kDocument);
        const QString york = QStringLiteral("{\"New York\": \"x\", \"b\": 1}");
        const auto add = [doc](const char* tag, const QStringList& commands, const QStringList& rows,
                               const QString& document = {}) {
            QTest::newRow(tag) << (document.isEmpty() ? doc : document) << commands << rows;
        };
        QStringList innerClosed = fullRows();
        innerClosed[4] = "    + [1]|Object|(1 items)";
        innerClosed.removeAt(5);
        const QStringList rootOnly{"+ root|Object|(4 items)"};
        const QStringList rootOpened{"- root|Object|(4 items)", "    a|String|x", "  + b|Array|(2 items)",
                                     "    f|Number|1.5", "    n|Null|"};
        const QStringList trueRows{"- root|Object|(1 items)", "  - b|Array|(1 items)", "    - [1]|Object|(1 items)",
                                   "        c|Boolean|true"};

        add("nothing done", {}, fullRows());
        add("collapse inner", {"collapse [1]"}, innerClosed);
        add("reopening keeps inner state", {"collapse [1]", "collapse b", "expand b"}, innerClosed);
        add("collapse root", {"collapse root"}, rootOnly);
        add("collapse all", {"collapse [1]", "collapseAll"}, rootOnly);
        add("open root after collapse all", {"collapseAll", "expand root"}, rootOpened);
        add("reopen root after collapse all",
            {"collapseAll", "expand root", "expand b", "collapse root", "expand root"}, innerClosed);
        add("expand all", {"collapse b", "collapseAll", "expandAll"}, fullRows());

        QStringList stringToObject = fullRows();
        stringToObject[1] = "  - a|Object|(1 items)";
        stringToObject.insert(2, "      New Key|String|New Value");
        add("string becomes object", {"kind a Object"}, stringToObject);
        const QStringList arrayToNumber{"- root|Object|(4 items)", "    a|String|x", "    b|Number|0",
                                        "    f|Number|1.5", "    n|Null|"};
        add("array becomes number", {"kind b Number"}, arrayToNumber);
        add("closed array becomes number", {"collapse b", "kind b Number"}, arrayToNumber);
        add("array becomes object", {"kind b Object"},
            {"- root|Object|(4 items)", "    a|String|x", "  - b|Object|(1 items)", "      New Key|String|New Value",
             "    f|Number|1.5", "    n|Null|"});
        QStringList objectToString = fullRows();
        objectToString[4] = "      [1]|String|Value";
        objectToString.removeAt(5);
        add("element object becomes string", {"kind [1] String"}, objectToString);
        add("root becomes array", {"kind root Array"}, {"- root|Array|(1 items)", "    [0]|String|New Value"});

        add("search keeps ancestors", {"search true"}, trueRows);
        add("search ignoring case", {"isearch TRUE"}, trueRows);
        add("regular expression", {"regex ^[a-c] = "},
            {"- root|Object|(2 items)", "    a|String|x", "  - b|Array|(1 items)", "    - [1]|Object|(1 items)",
             "        c|Boolean|true"});
        add("empty search shows everything", {"search true", "search "}, fullRows());
        add("search reopens every row", {"collapseAll", "search true"}, trueRows);
        add("collapse under a search", {"search true", "collapse b"},
            {"- root|Object|(1 items)", "  + b|Array|(1 items)"});
        add("kind change under a search drops old children", {"search true", "kind [1] Array"},
            {"- root|Object|(1 items)", "  - b|Array|(1 items)", "      [1]|Array|(0 items)"});
        add("kind change under a search lists matching child", {"search New", "kind New York Object"},
            {"- root|Object|(1 items)", "  - New York|Object|(1 items)", "      New Key|String|New Value"}, york);
        add("kind change under a search hides missing child", {"search x", "kind New York Object"},
            {"- root|Object|(1 items)", "    New York|Object|(0 items)"}, york);
    }
    void rowsFollowChanges()
    {
        QFETCH(QString, document);
        QFETCH(QStringList, commands);
        QFETCH(QStringList, rows);
        OwnedTree tree = treeFromText(document);
        QVERIFY(tree);
        SearchSettings search;
        tree->setSearchSettings(&search);
        OutlineModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setRoot(tree.get());
        QVERIFY(apply(model, commands, &search));
        QCOMPARE(rowTexts(model), rows);
    }

    // A new root replaces every row and forgets the old tree's expansion; no root shows nothing.
    void setRootReplacesRows()
    {
        OwnedTree first = treeFromText(QString::fromUtf8(kDocument));
        OwnedTree second = treeFromText(QStringLiteral("[true]"));
        OutlineModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setRoot(first.get());
        const TreeNode* c = model.nodeAt(rowNamed(model, "c"));
        QVERIFY(apply(model, {"collapse b"}));
        QCOMPARE(model.rowOf(c), -1);
        model.setRoot(second.get());
        QCOMPARE(rowTexts(model), (QStringList{"- root|Array|(1 items)", "    [0]|Boolean|true"}));
        QCOMPARE(model.rowOf(first.get()), -1);
        model.setRoot(nullptr);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.nodeAt(0), nullptr);
        QCOMPARE(model.rowOf(nullptr), -1);
    }

    // Typed values are validated before they are committed; only a real change is announced.
    void valueEdits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("kind");

        const auto add = [](const char* tag, const char* name, const char* typed, bool changed, const char* value,
                            NodeKind kind) {
            QTest::newRow(tag) << QString(name) << QString(typed) << changed << QString(value) << int(kind);
        };
        add("integer given text", "i", "abc", true, "0", NodeKind::Integer);
        add("integer unchanged", "i", "5", false, "5", NodeKind::Integer);
        add("integer given a fraction", "i", "1.5", true, "1.5", NodeKind::Float);
        add("float unchanged", "f", "2.5", false, "2.5", NodeKind::Float);
        add("boolean unchanged", "b", "true", false, "true", NodeKind::Boolean);
        add("string unchanged", "s", "x", false, "x", NodeKind::String);
        add("string changed", "s", "y z", true, "y z", NodeKind::String);
        add("string emptied", "s", "", true, "", NodeKind::String);
    }
    void valueEdits()
    {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(bool, changed);
        QFETCH(QString, value);
        QFETCH(int, kind);
        OwnedTree tree = treeFromText(QStringLiteral("{\"i\": 5, \"f\": 2.5, \"b\": true, \"s\": \"x\"}"));
        OutlineModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setRoot(tree.get());
        const int row = rowNamed(model, name);
        const QModelIndex cell = model.index(row, OutlineModel::ValueColumn);
        QSignalSpy posted(&tree->notifications(), &Notifications::treeDataChanged);
        QSignalSpy redrawn(&model, &QAbstractItemModel::dataChanged);

        QCOMPARE(model.setData(cell, typed), changed);
        QCOMPARE(posted.size(), changed ? 1 : 0);
        QCOMPARE(redrawn.size(), changed ? 1 : 0);
        if (changed)
            QCOMPARE(redrawn.first().at(0).toModelIndex().row(), row);
        QCOMPARE(cell.data().toString(), value);
        QCOMPARE(model.nodeAt(row)->valueLabel(), value);
        QCOMPARE(cell.data(OutlineModel::NodeKindRole).toInt(), kind);
    }

    // Only cells a user may type into are editable: no element index, no root key, no item count, no null.
    void editableCells_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("editable");

        const auto add = [](const char* tag, const char* name, OutlineModel::Column column, bool editable) {
            QTest::newRow(tag) << QString(name) << int(column) << editable;
        };
        add("root name", "root", OutlineModel::NameColumn, false);
        add("member name", "arr", OutlineModel::NameColumn, true);
        add("member value", "k", OutlineModel::ValueColumn, true);
        add("element name", "[0]", OutlineModel::NameColumn, false);
        add("element value", "[0]", OutlineModel::ValueColumn, true);
        add("null value", "[1]", OutlineModel::ValueColumn, false);
        add("empty array value", "[2]", OutlineModel::ValueColumn, false);
        add("object value", "o", OutlineModel::ValueColumn, false);
        add("null kind", "[1]", OutlineModel::KindColumn, true);
    }
    void editableCells()
    {
        QFETCH(QString, name);
        QFETCH(int, column);
        QFETCH(bool, editable);
        OwnedTree tree = treeFromText(QStringLiteral("{\"o\": {\"k\": 1}, \"arr\": [1, null, [], \"s\"]}"));
        OutlineModel model;
        model.setRoot(tree.get());
        const QModelIndex cell = model.index(rowNamed(model, name), column);
        QVERIFY(cell.isValid());
        QCOMPARE(bool(model.flags(cell) & Qt::ItemIsEditable), editable);
        if (editable)
            return;
        // A cell that cannot be edited refuses the edit and keeps its text.
        const QString before = cell.data().toString();
        QSignalSpy posted(&tree->notifications(), &Notifications::treeDataChanged);
        QVERIFY(!model.setData(cell, QStringLiteral("7")));
        QCOMPARE(cell.data().toString(), before);
        QCOMPARE(posted.size(), 0);
    }

    // A sibling's name is refused (the JSON would keep only one of the two), a name used at another level is no
    // clash, and a new name is one change; the same name or another role is no edit.
    void renameMember()
    {
        OwnedTree tree = treeFromText(QStringLiteral("{\"a\": 1, \"b\": 2, \"c\": {\"a\": 3}}"));
        OutlineModel model;
        model.setRoot(tree.get());
        AlertRecorder alerts;
        QSignalSpy posted(&tree->notifications(), &Notifications::treeDataChanged);
        const int b = rowNamed(model, "b");
        const QModelIndex cell = model.index(b, OutlineModel::NameColumn);
        QVERIFY(!model.setData(cell, QStringLiteral("a")));
        QCOMPARE(posted.size(), 0);
        QCOMPARE(alerts.alerts.size(), 1);
        QCOMPARE(model.nodeAt(b)->name(), QStringLiteral("b"));
        QCOMPARE(tree->jsonText().value_or("?"), QByteArray("{\"a\":1,\"b\":2,\"c\":{\"a\":3}}"));
        QVERIFY(model.setData(model.index(rowNamed(model, "c") + 1, OutlineModel::NameColumn), QStringLiteral("b")));
        QCOMPARE(alerts.alerts.size(), 1);
        QCOMPARE(tree->jsonText().value_or("?"), QByteArray("{\"a\":1,\"b\":2,\"c\":{\"b\":3}}"));

        QVERIFY(model.setData(cell, QStringLiteral("bb")));
        QCOMPARE(posted.size(), 2);
        QCOMPARE(cell.data().toString(), QStringLiteral("bb"));
        QCOMPARE(model.nodeAt(b)->nameLabel(), QStringLiteral("bb"));
        QVERIFY(!model.setData(cell, QStringLiteral("other"), Qt::DisplayRole));
        QVERIFY(!model.setData(cell, QStringLiteral("bb")));
        QCOMPARE(posted.size(), 2);
    }

    // Element names come from a cached position; reading rows out of order must still give each its index,
    // and a search must not renumber the elements it keeps.
    void elementNamesOutOfOrder_data()
    {
        QTest::addColumn<QString>("search");
        QTest::newRow("all elements") << QString();
        QTest::newRow("filtered elements") << QStringLiteral("99");
    }
    void elementNamesOutOfOrder()
    {
        QFETCH(QString, search);
        QStringList values;
        int kept = 0;
        for (int i = 0; i < 2000; ++i) {
            values << QString::number(i);
            kept += values.last().contains(search);
        }
        OwnedTree tree = treeFromText('[' + values.join(',') + ']');
        SearchSettings settings;
        setSearch(settings, search);
        tree->setSearchSettings(&settings);
        OutlineModel model;
        model.setRoot(tree.get());
        const int count = model.rowCount();
        QCOMPARE(count, kept + 1);
        for (int row : {count * 3 / 4, 3, count - 1, 4, 5, count / 2, 2, 1, count - 2, count - 1, 1}) {
            const QString value = model.index(row, OutlineModel::ValueColumn).data().toString();
            QCOMPARE(model.index(row, OutlineModel::NameColumn).data().toString(), '[' + value + ']');
        }
    }

    // The disclosure triangle toggles its row at any depth and is redrawn; a click beside it selects the row.
    void clickOnTriangleToggles()
    {
        ShownOutline shown;
        QVERIFY(shown.show());
        OutlineModel& model = shown.model;
        OutlineView& view = shown.view;
        const auto triangle = [&](int row) {
            const QModelIndex name = model.index(row, OutlineModel::NameColumn);
            return OutlineDelegate::branchRect(view.visualRect(name), model.depthAt(row));
        };
        const int b = rowNamed(model, "b");
        const int inner = rowNamed(model, "[1]");
        QSignalSpy redrawn(&model, &QAbstractItemModel::dataChanged);

        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, triangle(inner).center());
        QVERIFY(!model.isExpanded(inner));
        QCOMPARE(model.rowCount(), 7);
        QCOMPARE(redrawn.size(), 1);
        QCOMPARE(redrawn.first().at(0).toModelIndex().row(), inner);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, triangle(b).center());
        QVERIFY(!model.isExpanded(b));
        QCOMPARE(model.rowCount(), 5);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, triangle(b).center());
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, triangle(inner).center());
        QCOMPARE(rowTexts(model), fullRows());
        const QPoint beside = triangle(b).center() + QPoint(3 * OutlineDelegate::indentation, 0);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, beside);
        QVERIFY(model.isExpanded(b));
        QCOMPARE(view.selectedRow(), b);
    }

    // Left closes an open row, or on a closed row or a leaf moves to the parent; Right opens a closed row.
    void arrowKeys_data()
    {
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::newRow("arrow keys") << Qt::KeyboardModifiers();
        // Arrows of the number pad carry the keypad modifier, and they are still plain arrows.
        QTest::newRow("keypad arrows") << Qt::KeyboardModifiers(Qt::KeypadModifier);
    }
    void arrowKeys()
    {
        QFETCH(Qt::KeyboardModifiers, modifiers);
        ShownOutline shown;
        QVERIFY(shown.show());
        OutlineModel& model = shown.model;
        OutlineView& view = shown.view;
        const int b = rowNamed(model, "b");

        view.selectRow(b);
        QTest::keyClick(&view, Qt::Key_Left, modifiers);
        QVERIFY(!model.isExpanded(b));
        QCOMPARE(view.selectedRow(), b);
        QTest::keyClick(&view, Qt::Key_Left, modifiers);
        QCOMPARE(view.selectedRow(), 0);
        view.selectRow(b);
        QTest::keyClick(&view, Qt::Key_Right, modifiers);
        QVERIFY(model.isExpanded(b));
        QCOMPARE(view.selectedRow(), b);
        view.selectRow(rowNamed(model, "c"));
        QTest::keyClick(&view, Qt::Key_Left, modifiers);
        QCOMPARE(view.selectedNode(), model.nodeAt(rowNamed(model, "[1]")));
    }
};

QTEST_MAIN(TestOutlineModel)
#include "tst_outlinemodel.moc"
