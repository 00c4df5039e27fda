#include "TestSupport.h"
#include "model/Log.h"
#include "model/Notifications.h"
#include "model/TreeNode.h"

#include <QTest>
#include <algorithm>
#include <limits>
#include <vector>

namespace {

// The tree of {"v": value}: its one member is the node under test.
OwnedTree holding(const QString& value)
{
    return treeFromText(QStringLiteral("{\"v\":%1}").arg(value));
}

// What a node holds, its value as the outline shows it: "integer 42", "float 1000.0", "string x", "null", "array",
// "float (no value)"; a value that does not belong to the node's kind shows as "kind 42 holding string x".
QString state(const TreeNode* node)
{
    static const char* const kinds[] = {"array", "object", "integer", "float", "boolean", "string", "null"};
    static const char* const types[] = {"", "integer ", "float ", "boolean ", "string ", "null"};
    const QString kind = node->nodeKind() ? kinds[node->kind()] : QStringLiteral("kind %1").arg(node->kind());
    if (!node->hasValue())
        return node->isCollection() ? kind : kind + " (no value)";
    const QString held =
        types[node->valueType()] +
        (node->valueType() == TreeNode::StringValue ? node->value().toString() : node->leafValueText());
    return held.startsWith(kind) ? held : kind + " holding " + held;
}

// "label: state" of every child, checking on the way that each child links back to its holder.
QStringList childStates(const TreeNode* node)
{
    QStringList states;
    for (const TreeNode* child : node->children())
        states << child->nameLabel() + ": " + state(child) + (child->parent() == node ? "" : " (wrong parent)");
    return states;
}

// The notifications of the watched node's tree in order: "data", "reload", and "about N" / "did N" with the watched
// node's child count at that moment (so "about" sees the old children); text() ends with how far the tree's
// generation advanced.
class Recorder
{
public:
    explicit Recorder(const TreeNode* watched) : m_watched(watched), m_generation(watched->treeGeneration())
    {
        const Notifications* n = &watched->notifications();
        const auto note = [this, watched](const char* what, const TreeNode* node) {
            m_events << what + (node == watched ? QStringLiteral(" %1").arg(node->childCount()) : " elsewhere");
        };
        QObject::connect(n, &Notifications::treeDataChanged, &m_context, [this] { m_events << "data"; });
        QObject::connect(n, &Notifications::reloadCurrentRow, &m_context, [this] { m_events << "reload"; });
        QObject::connect(n, &Notifications::filteredChildrenAboutToChange, &m_context,
                         [note](TreeNode* node) { note("about", node); });
        QObject::connect(n, &Notifications::filteredChildrenChanged, &m_context,
                         [note](TreeNode* node) { note("did", node); });
    }
    QString text() const
    {
        return (m_events + QStringList{QStringLiteral("+%1").arg(m_watched->treeGeneration() - m_generation)})
            .join(' ');
    }

private:
    const TreeNode* m_watched;
    qint64 m_generation;
    QStringList m_events;
    QObject m_context; // its end disconnects everything above
};

} // namespace

class TestTreeNodeEditing : public QObject
{
    Q_OBJECT
private slots:
    // The name and children setters take what they are given as it is, re-sort nothing and announce each time; two
    // members of one name stay two nodes, and the text holds one member with the later child's value.
    void plainSetters()
    {
        const auto root = treeFromText(R"({"a":1,"b":2,"c":3})");
        QVERIFY(root);
        Recorder seen(root.get());
        root->child(0)->setNameLabel(QStringLiteral("z"));
        root->child(1)->setNameLabel(QStringLiteral("c"));
        QCOMPARE(childStates(root.get()), (QStringList{"z: integer 1", "c: integer 2", "c: integer 3"}));
        const auto text = root->jsonText();
        QVERIFY(text);
        QCOMPARE(QString::fromUtf8(*text), QStringLiteral(R"({"c":3,"z":1})"));
        root->setChildren(std::vector<TreeNode*>(root->children().rbegin(), root->children().rend()));
        QCOMPARE(childStates(root.get()), (QStringList{"c: integer 3", "c: integer 2", "z: integer 1"}));
        root->setChildren(root->children().subspan(1)); // a part of the node's own list
        QCOMPARE(childStates(root.get()), (QStringList{"c: integer 2", "z: integer 1"}));
        root->setChildren({});
        QCOMPARE(root->valueLabel(), QStringLiteral("(0 items)"));
        QCOMPARE(seen.text(), QStringLiteral("data data data data data +5"));
    }

    // The value setter parses the text by kind and always announces; a text the kind cannot hold leaves no value (an
    // integer node becoming a float first); collections and null keep theirs. Accepted texts: see validateValue.
    void setValueLabel_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("after");
        const auto row = [](const char* value, const char* text, const char* after) {
            QTest::addRow("%s <- %s", value, text) << value << text << after;
        };
        row("1", "abc", "float (no value)");
        row("2.5", "5", "float 5.0");
        row("2.5", "abc", "float (no value)");
        row("false", "True", "boolean (no value)");
        row("\"old\"", "42", "string 42");
        row("null", "5", "null");
        row("[1,2]", "5", "array");
    }
    void setValueLabel()
    {
        QFETCH(QString, value);
        QFETCH(QString, text);
        QFETCH(QString, after);
        const auto root = holding(value);
        QVERIFY(root);
        TreeNode* node = root->child(0);
        const qsizetype children = node->childCount();
        Recorder seen(node);
        node->setValueLabel(text);
        QCOMPARE(seen.text(), QStringLiteral("data +1"));
        QCOMPARE(state(node), after);
        QCOMPARE(node->childCount(), children);
    }

    // Validation rewrites typed "valueLabel" texts the kind cannot hold (inf and nan included), never rejects and
    // changes nothing itself; committing its result through the value setter (an integer node becomes a float for
    // any non-integer text) leaves a writable document.
    void validateValue_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("proposed");
        QTest::addColumn<QVariant>("validated");
        QTest::addColumn<QString>("after"); // state after committing; empty: not committed
        const auto row = [](const char* value, const char* typed, const char* validated, const char* after) {
            QTest::addRow("%s <- %s", value, typed) << value << "valueLabel" << QVariant(QString::fromUtf8(typed))
                                                    << QVariant(QString::fromUtf8(validated)) << after;
        };
        const auto untouched = [](const char* tag, const char* key, const QVariant& proposed) {
            QTest::newRow(tag) << "1" << key << proposed << proposed << "";
        };
        row("false", "true", "true", "boolean true");
        row("true", "x", "false", "boolean false");
        row("1", "12", "12", "integer 12");
        row("1", "1e3", "1e3", "float 1000.0");
        row("1", "9223372036854775808", "9223372036854775808", "float 9.223372036854776e+18");
        row("1", "x", "0", "integer 0");
        row("1", "inf", "0", "integer 0");
        row("1", "nan", "0", "integer 0");
        row("1", "1e999", "0", "integer 0");
        row("2.5", "-0.5", "-0.5", "float -0.5");
        row("2.5", "x", "0.0", "float 0.0");
        row("2.5", "-Infinity", "0.0", "float 0.0");
        row("2.5", "NaN", "0.0", "float 0.0");
        row("2.5", "1e999", "0.0", "float 0.0");
        row("\"s\"", "inf", "inf", "string inf");
        untouched("other key", "nameLabel", QVariant(QStringLiteral("x")));
        untouched("not text", "valueLabel", QVariant(42));
        untouched("absent", "valueLabel", QVariant());
    }
    void validateValue()
    {
        QFETCH(QString, value);
        QFETCH(QString, key);
        QFETCH(QVariant, proposed);
        QFETCH(QVariant, validated);
        QFETCH(QString, after);
        const auto root = holding(value);
        QVERIFY(root);
        TreeNode* node = root->child(0);
        const QString before = state(node);
        Recorder seen(node);
        QVERIFY(node->validateValue(proposed, key));
        QCOMPARE(proposed, validated);
        QCOMPARE(proposed.typeId(), validated.typeId());
        QCOMPARE(state(node), before);
        QCOMPARE(seen.text(), QStringLiteral("+0"));
        if (!after.isEmpty()) {
            node->setValueLabel(proposed.toString());
            QCOMPARE(seen.text(), QStringLiteral("data +1"));
            QCOMPARE(state(node), after);
            QVERIFY(root->jsonText());
        }
    }

    // Every kind change: the value is converted by the old kind (only strings give numbers and booleans, only numbers
    // and booleans keep their text as a string); a collection gets one new child. What it announces, in order: a
    // leaf-to-leaf change posts data like any edit; a children change is bracketed by the filtered-children pair.
    void setKindLabel_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QStringList>("children");
        QTest::addColumn<QString>("seen");
        const auto row = [](const char* value, const char* label, const char* after, const QStringList& children,
                            const char* seen) {
            QTest::addRow("%s to %s", value, label) << value << label << after << children << seen;
        };
        const QStringList none, element{"[0]: string New Value"}, member{"New Key: string New Value"};
        const char* leaf = "data reload +1";
        row("\"abc\"", "Array", "array", element, "about 0 data data did 1 reload +2");
        row("{\"New Key\":1}", "Object", "object", member, "about 1 data data did 1 reload +2");
        row("{\"a\":1,\"b\":2,\"c\":3}", "Array", "array", element, "about 3 data data did 1 reload +2");
        row("\"42\"", "Number", "integer 42", none, leaf);
        row("\"4.5\"", "Number", "float 4.5", none, leaf);
        row("\"abc\"", "Number", "integer 0", none, leaf);
        row("\"inf\"", "Number", "integer 0", none, leaf);
        row("7", "Number", "integer 0", none, leaf);
        row("[1,2]", "Number", "integer 0", none, "about 2 data did 0 reload +1");
        row("\"true\"", "Boolean", "boolean true", none, leaf);
        row("\"True\"", "Boolean", "boolean false", none, leaf);
        row("true", "Boolean", "boolean false", none, leaf);
        row("0.00001", "String", "string 1e-05", none, leaf);
        row("false", "String", "string false", none, leaf);
        row("\"Hello\"", "String", "string Value", none, leaf);
        row("[1,2]", "String", "string Value", none, "about 2 data did 0 reload +1");
        row("5", "Null", "null", none, leaf);
        row("null", "Null", "null", none, leaf);
    }
    void setKindLabel()
    {
        QFETCH(QString, value);
        QFETCH(QString, label);
        QFETCH(QString, after);
        QFETCH(QStringList, children);
        QFETCH(QString, seen);
        const auto root = holding(value);
        QVERIFY(root);
        TreeNode* node = root->child(0);
        Recorder recorder(node);
        node->setKindLabel(label);
        QCOMPARE(recorder.text(), seen);
        QCOMPARE(state(node), after);
        QCOMPARE(childStates(node), children);
        QCOMPARE(node->kindLabel(), label);
        QCOMPARE(node->name(), QStringLiteral("v"));
    }

    // A kind label outside the six is logged and otherwise ignored apart from the row reload. A node of no known
    // kind keeps its value through the value setter (which still announces) until a kind change repairs it.
    void unknownKinds()
    {
        const auto root = treeFromText(R"({"o":{"a":1},"s":"text"})");
        QVERIFY(root);
        for (const QString label : {"Banana", "number", "Integer", ""}) {
            for (TreeNode* node : root->children()) {
                const QString before = state(node);
                const QStringList childrenBefore = childStates(node);
                Recorder seen(node);
                LogRecorder log;
                node->setKindLabel(label);
                QCOMPARE(log.lines, QStringList{QStringLiteral("\u26D4\uFE0F kindLabel] \nshouldn't reach here")});
                QCOMPARE(seen.text(), QStringLiteral("reload +0"));
                QCOMPARE(state(node), before);
                QCOMPARE(childStates(node), childrenBefore);
            }
        }
        TreeNode* s = root->child(1);
        s->setKind(42);
        Recorder seen(s);
        s->setValueLabel(QStringLiteral("5"));
        QCOMPARE(state(s), QStringLiteral("kind 42 holding string text"));
        QCOMPARE(seen.text(), QStringLiteral("data +1"));
        s->setKindLabel(QStringLiteral("String"));
        QCOMPARE(state(s), QStringLiteral("string Value"));
    }

    // New children go where the index says (-1 and the child count append); an index outside that is refused
    // without touching anything.
    void insertNewChild_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<qsizetype>("index");
        QTest::addColumn<QStringList>("children");
        const auto row = [](const char* value, qsizetype index, const QStringList& children) {
            QTest::addRow("%s at %lld", value, qlonglong(index)) << value << index << children;
        };
        const QString one = "[0]: integer 1", two = "[1]: integer 2";
        row("[1,2]", -1, {one, two, "[2]: string New Value"});
        row("[1,2]", 2, {one, two, "[2]: string New Value"});
        row("[1,2]", 0, {"[0]: string New Value", "[1]: integer 1", "[2]: integer 2"});
        row("[1,2]", 1, {one, "[1]: string New Value", "[2]: integer 2"});
        row("[]", 0, {"[0]: string New Value"});
        row("{\"b\":1}", 0, {"New Key: string New Value", "b: integer 1"});
        row("[1,2]", -2, {one, two});
        row("[1,2]", 3, {one, two});
        row("[1,2]", std::numeric_limits<qsizetype>::min(), {one, two});
    }
    void insertNewChild()
    {
        QFETCH(QString, value);
        QFETCH(qsizetype, index);
        QFETCH(QStringList, children);
        const auto root = holding(value);
        QVERIFY(root);
        TreeNode* node = root->child(0);
        const qsizetype before = node->childCount();
        Recorder seen(node);
        const TreeNode* added = node->insertNewChild(index);
        QCOMPARE(childStates(node), children);
        QCOMPARE(bool(added), children.size() > before);
        QCOMPARE(seen.text(), added ? QStringLiteral("data +1") : QStringLiteral("+0"));
        QVERIFY(!added || std::ranges::count(node->children(), added) == 1);
    }

    // New members of an object get unique names, a name freed by a rename is taken again; children added to a leaf
    // (which keeps its value) are all named "New Key". Unique names: the smallest free "base n" from 2 on, comparing
    // whole names exactly.
    void childNames()
    {
        const auto root = treeFromText(R"({"o":{},"s":"x"})");
        QVERIFY(root);
        for (TreeNode* node : root->children()) {
            for (int i = 0; i < 3; ++i)
                QVERIFY(node->insertNewChild(-1));
        }
        TreeNode* o = root->child(0);
        QCOMPARE(childStates(o), (QStringList{"New Key: string New Value", "New Key 2: string New Value",
                                              "New Key 3: string New Value"}));
        o->child(1)->setNameLabel(QStringLiteral("Other"));
        QCOMPARE(o->insertNewChild(0)->name(), QStringLiteral("New Key 2"));
        QCOMPARE(o->insertNewChild(-1)->name(), QStringLiteral("New Key 4"));
        const TreeNode* s = root->child(1);
        QCOMPARE(state(s), QStringLiteral("string x"));
        QCOMPARE(childStates(s), QStringList(3, QStringLiteral("New Key: string New Value")));
        QCOMPARE(s->child(0)->path(), QStringLiteral("root.s.New Key"));

        const auto others = treeFromText(R"({"New Key 2":1,"New Keyboard":2,"new key":3,"Clé":4})");
        QVERIFY(others);
        QCOMPARE(others->uniqueChildName(QStringLiteral("New Key")), QStringLiteral("New Key"));
        QCOMPARE(others->uniqueChildName(QStringLiteral("Clé")), QStringLiteral("Clé 2"));
        const auto taken = treeFromText(R"({"New Key":1,"New Key 2":2,"New Key 22":3,"New Keyboard":4})");
        QVERIFY(taken);
        QCOMPARE(taken->uniqueChildName(QStringLiteral("New Key")), QStringLiteral("New Key 3"));
    }
};

QTEST_GUILESS_MAIN(TestTreeNodeEditing)
#include "tst_treenodeediting.moc"
