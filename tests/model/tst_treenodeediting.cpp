#include "TestSupport.h"
#include "model/Document.h"
#include "model/Log.h"
#include "model/Notifications.h"
#include "model/TreeNode.h"

#include <QSignalSpy>
#include <QTest>
#include <limits>
#include <vector>

namespace {

TreeNode* member(const TreeNode* node, const QString& name)
{
    for (TreeNode* child : node->children())
        if (child->name() == name)
            return child;
    return nullptr;
}

QString kindWord(qint64 kind)
{
    switch (kind) {
    case qint64(NodeKind::Array):
        return QStringLiteral("array");
    case qint64(NodeKind::Object):
        return QStringLiteral("object");
    case qint64(NodeKind::Integer):
        return QStringLiteral("integer");
    case qint64(NodeKind::Float):
        return QStringLiteral("float");
    case qint64(NodeKind::Boolean):
        return QStringLiteral("boolean");
    case qint64(NodeKind::String):
        return QStringLiteral("string");
    case qint64(NodeKind::Null):
        return QStringLiteral("null");
    default:
        return QStringLiteral("kind %1").arg(kind);
    }
}

// What a node holds, as one readable text: "integer 42", "float 2.5", "string Value", "null", "array",
// "float (no value)"; a value that does not belong to the kind shows as "integer holding float 2.5".
QString state(const TreeNode* node)
{
    const QString kind = kindWord(node->kind());
    QString held;
    QString heldKind;
    switch (node->valueType()) {
    case TreeNode::NoValue:
        return node->isCollection() ? kind : kind + QStringLiteral(" (no value)");
    case TreeNode::IntegerValue:
        heldKind = QStringLiteral("integer");
        held = QString::number(node->integerValue());
        break;
    case TreeNode::FloatValue:
        heldKind = QStringLiteral("float");
        held = QString::number(node->floatValue(), 'g', 17);
        break;
    case TreeNode::BooleanValue:
        heldKind = QStringLiteral("boolean");
        held = node->boolValue() ? QStringLiteral("true") : QStringLiteral("false");
        break;
    case TreeNode::StringValue:
        heldKind = QStringLiteral("string");
        held = node->value().toString();
        break;
    case TreeNode::NullValue:
        heldKind = QStringLiteral("null");
        break;
    }
    const QString text = held.isNull() ? heldKind : heldKind + QLatin1Char(' ') + held;
    return heldKind == kind ? text : kind + QStringLiteral(" holding ") + text;
}

// "label: state" of every child, checking on the way that each child links back to its holder.
QStringList childStates(const TreeNode* node)
{
    QStringList states;
    for (const TreeNode* child : node->children())
        states << child->nameLabel() + QStringLiteral(": ") + state(child) +
                      (child->parent() == node ? QString() : QStringLiteral(" (wrong parent)"));
    return states;
}

// Records the notifications in the order they arrive; the filtered-children pair notes the child count the
// node has at that moment, so that "about" shows the old children and "did" the new ones.
class NotificationLog
{
public:
    explicit NotificationLog(const TreeNode* watched) : m_watched(watched)
    {
        Notifications* n = Notifications::instance();
        m_connections.push_back(
            QObject::connect(n, &Notifications::treeDataChanged, [this] { events << QStringLiteral("data"); }));
        m_connections.push_back(
            QObject::connect(n, &Notifications::reloadCurrentRow, [this] { events << QStringLiteral("reload"); }));
        m_connections.push_back(QObject::connect(n, &Notifications::filteredChildrenAboutToChange,
                                                 [this](TreeNode* node) { events << describe("about", node); }));
        m_connections.push_back(QObject::connect(n, &Notifications::filteredChildrenChanged,
                                                 [this](TreeNode* node) { events << describe("did", node); }));
    }
    ~NotificationLog()
    {
        for (const auto& connection : m_connections)
            QObject::disconnect(connection);
    }
    NotificationLog(const NotificationLog&) = delete;
    NotificationLog& operator=(const NotificationLog&) = delete;

    QStringList events;

private:
    QString describe(const char* what, const TreeNode* node) const
    {
        if (node != m_watched)
            return QLatin1String(what) + QStringLiteral(" on another node");
        return QLatin1String(what) + QLatin1Char(' ') + QString::number(node->childCount());
    }

    const TreeNode* m_watched;
    std::vector<QMetaObject::Connection> m_connections;
};

} // namespace

class TestTreeNodeEditing : public QObject
{
    Q_OBJECT
private slots:
    // The name setter takes any text as it is, re-sorts nothing, advances the generation and posts.
    void setNameLabel_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("labels");
        const auto row = [](const char* tag, const QString& name, const QStringList& labels) {
            QTest::newRow(tag) << name << labels;
        };
        row("plain", "z", QStringList{"z", "b", "c"});
        row("sibling's name", "b", QStringList{"b", "b", "c"});
        row("empty", "", QStringList{"[0]", "b", "c"});
        row("punctuation", "x.[0] = y", QStringList{"x.[0] = y", "b", "c"});
        row("line break", "two\nlines", QStringList{"two\nlines", "b", "c"});
        row("non-ascii", "naïve ✓", QStringList{"naïve ✓", "b", "c"});
    }
    void setNameLabel()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, labels);
        const auto root = treeFromText(R"({"a":1,"b":2,"c":3})");
        QVERIFY(root);
        TreeNode* a = root->child(0);
        QSignalSpy data(Notifications::instance(), &Notifications::treeDataChanged);
        QSignalSpy reload(Notifications::instance(), &Notifications::reloadCurrentRow);
        const qint64 generation = TreeNode::treeGeneration();

        a->setNameLabel(name);

        QCOMPARE(a->name(), name);
        QCOMPARE(a->isArrayChild(), name.isEmpty());
        QCOMPARE(root->child(0), a);
        QStringList shown;
        for (const TreeNode* child : root->children())
            shown << child->nameLabel();
        QCOMPARE(shown, labels);
        QCOMPARE(state(a), QStringLiteral("integer 1"));
        QCOMPARE(TreeNode::treeGeneration(), generation + 1);
        QCOMPARE(data.count(), 1);
        QCOMPARE(reload.count(), 0);
    }

    // The children setter installs the list as given, advances the generation and posts.
    void setChildren()
    {
        const auto root = treeFromText(R"({"a":1,"b":2,"c":3})");
        QVERIFY(root);
        QSignalSpy data(Notifications::instance(), &Notifications::treeDataChanged);
        QSignalSpy reload(Notifications::instance(), &Notifications::reloadCurrentRow);
        qint64 generation = TreeNode::treeGeneration();

        std::vector<TreeNode*> reversed(root->children().rbegin(), root->children().rend());
        root->setChildren(reversed);
        QCOMPARE(childStates(root.get()), (QStringList{"c: integer 3", "b: integer 2", "a: integer 1"}));
        QCOMPARE(TreeNode::treeGeneration(), generation + 1);
        QCOMPARE(data.count(), 1);

        // A part of the node's own list, as removing the first row passes it.
        root->setChildren(root->children().subspan(1));
        QCOMPARE(childStates(root.get()), (QStringList{"b: integer 2", "a: integer 1"}));
        QCOMPARE(TreeNode::treeGeneration(), generation + 2);
        QCOMPARE(data.count(), 2);

        root->setChildren({});
        QCOMPARE(root->childCount(), qsizetype(0));
        QCOMPARE(root->valueLabel(), QStringLiteral("(0 items)"));
        QCOMPARE(TreeNode::treeGeneration(), generation + 3);
        QCOMPARE(data.count(), 3);
        QCOMPARE(reload.count(), 0);
    }

    // The value setter parses the text by kind; an integer node becomes a float for any non-integer text.
    void setValueLabel_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("valueLabel");
        const auto row = [](const char* tag, const QString& value, const QString& text, const QString& after,
                            const QString& valueLabel) { QTest::newRow(tag) << value << text << after << valueLabel; };
        row("integer: integer", "1", "42", "integer 42", "42");
        row("integer: negative", "1", "-7", "integer -7", "-7");
        row("integer: plus sign", "1", "+5", "integer 5", "5");
        row("integer: leading zeros", "1", "007", "integer 7", "7");
        row("integer: fraction", "1", "2.5", "float 2.5", "2.5");
        row("integer: exponent", "1", "1e3", "float 1000", "1000.0");
        row("integer: integral fraction", "1", "2.0", "float 2", "2.0");
        row("integer: beyond 64 bits", "1", "9223372036854775808", "float 9.2233720368547758e+18",
            "9.223372036854776e+18");
        row("integer: text", "1", "abc", "float (no value)", "");
        row("integer: empty", "1", "", "float (no value)", "");
        row("float: integer text stays float", "2.5", "5", "float 5", "5.0");
        row("float: fraction", "2.5", "-0.25", "float -0.25", "-0.25");
        row("float: hexadecimal", "2.5", "0x10", "float 16", "16.0");
        row("float: text", "2.5", "abc", "float (no value)", "");
        row("boolean: false", "true", "false", "boolean false", "false");
        row("boolean: true", "false", "true", "boolean true", "true");
        row("boolean: capital", "true", "True", "boolean (no value)", "");
        row("boolean: one", "false", "1", "boolean (no value)", "");
        row("boolean: padded", "false", " true", "boolean (no value)", "");
        row("string: any text", "\"old\"", "any text", "string any text", "any text");
        row("string: number text", "\"old\"", "42", "string 42", "42");
        row("string: empty", "\"old\"", "", "string ", "");
        row("string: line break", "\"old\"", "a\nb", "string a\nb", "a\nb");
        row("null: unchanged", "null", "5", "null", "");
        row("array: unchanged", "[1,2]", "5", "array", "(2 items)");
        row("object: unchanged", "{\"k\":1}", "5", "object", "(1 items)");
    }
    void setValueLabel()
    {
        QFETCH(QString, value);
        QFETCH(QString, text);
        QFETCH(QString, after);
        QFETCH(QString, valueLabel);
        const auto root = treeFromText(QStringLiteral("{\"v\":%1}").arg(value));
        QVERIFY(root);
        TreeNode* node = root->child(0);
        const qsizetype children = node->childCount();
        QSignalSpy data(Notifications::instance(), &Notifications::treeDataChanged);
        QSignalSpy reload(Notifications::instance(), &Notifications::reloadCurrentRow);
        const qint64 generation = TreeNode::treeGeneration();

        node->setValueLabel(text);

        QCOMPARE(state(node), after);
        QCOMPARE(node->valueLabel(), valueLabel);
        QCOMPARE(node->childCount(), children);
        QCOMPARE(TreeNode::treeGeneration(), generation + 1);
        QCOMPARE(data.count(), 1);
        QCOMPARE(reload.count(), 0);
    }

    // Validation rewrites unacceptable typed values of "valueLabel" and never rejects anything.
    void validateValue_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("proposed");
        QTest::addColumn<QVariant>("validated");
        const auto row = [](const char* tag, const QString& value, const QString& key, const QVariant& proposed,
                            const QVariant& validated) { QTest::newRow(tag) << value << key << proposed << validated; };
        const QString valueKey = QStringLiteral("valueLabel");
        auto text = [](const char* s) { return QVariant(QString::fromUtf8(s)); };
        row("boolean: true", "false", valueKey, text("true"), text("true"));
        row("boolean: false", "true", valueKey, text("false"), text("false"));
        row("boolean: x", "true", valueKey, text("x"), text("false"));
        row("boolean: capital", "true", valueKey, text("True"), text("false"));
        row("boolean: empty", "true", valueKey, text(""), text("false"));
        row("integer: integer", "1", valueKey, text("12"), text("12"));
        row("integer: exponent", "1", valueKey, text("1e3"), text("1e3"));
        row("integer: fraction", "1", valueKey, text("2.5"), text("2.5"));
        row("integer: hexadecimal", "1", valueKey, text("0x10"), text("0x10"));
        row("integer: x", "1", valueKey, text("x"), text("0"));
        row("integer: padded", "1", valueKey, text(" 5"), text("0"));
        row("integer: empty", "1", valueKey, text(""), text("0"));
        row("integer: inf", "1", valueKey, text("inf"), text("0"));
        row("integer: nan", "1", valueKey, text("nan"), text("0"));
        row("integer: overflowing exponent", "1", valueKey, text("1e999"), text("0"));
        row("integer: beyond 64 bits", "1", valueKey, text("9223372036854775808"), text("9223372036854775808"));
        row("float: fraction", "2.5", valueKey, text("-0.5"), text("-0.5"));
        row("float: integer", "2.5", valueKey, text("5"), text("5"));
        row("float: x", "2.5", valueKey, text("x"), text("0.0"));
        row("float: infinity", "2.5", valueKey, text("-Infinity"), text("0.0"));
        row("float: nan", "2.5", valueKey, text("NaN"), text("0.0"));
        row("float: overflowing exponent", "2.5", valueKey, text("1e999"), text("0.0"));
        row("string: anything", "\"s\"", valueKey, text("x"), text("x"));
        row("null: anything", "null", valueKey, text("x"), text("x"));
        row("array: anything", "[]", valueKey, text("x"), text("x"));
        row("object: anything", "{}", valueKey, text("x"), text("x"));
        row("other key", "1", "nameLabel", text("x"), text("x"));
        row("kind key", "true", "kindLabel", text("x"), text("x"));
        row("not text", "true", valueKey, QVariant(42), QVariant(42));
        row("absent", "1", valueKey, QVariant(), QVariant());
    }
    void validateValue()
    {
        QFETCH(QString, value);
        QFETCH(QString, key);
        QFETCH(QVariant, proposed);
        QFETCH(QVariant, validated);
        const auto root = treeFromText(QStringLiteral("{\"v\":%1}").arg(value));
        QVERIFY(root);
        const TreeNode* node = root->child(0);
        const QString before = state(node);
        QSignalSpy data(Notifications::instance(), &Notifications::treeDataChanged);
        const qint64 generation = TreeNode::treeGeneration();

        QString error;
        QVERIFY(node->validateValue(proposed, key, &error));
        QCOMPARE(proposed, validated);
        QCOMPARE(proposed.typeId(), validated.typeId());
        QVERIFY(error.isEmpty());
        // Validation only looks; the setter does the change.
        QCOMPARE(state(node), before);
        QCOMPARE(data.count(), 0);
        QCOMPARE(TreeNode::treeGeneration(), generation);
    }

    // What the outline commits: the validated text goes through the value setter.
    void validateThenCommit_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        const auto row = [](const char* tag, const QString& value, const QString& typed, const QString& after) {
            QTest::newRow(tag) << value << typed << after;
        };
        row("x into boolean", "true", "x", "boolean false");
        row("x into integer", "5", "x", "integer 0");
        row("1e3 into integer", "5", "1e3", "float 1000");
        row("inf into integer", "5", "inf", "integer 0");
        row("x into float", "2.5", "x", "float 0");
        row("nan into float", "2.5", "nan", "float 0");
        row("1e999 into float", "2.5", "1e999", "float 0");
        row("text into string", "\"s\"", "inf", "string inf");
    }
    void validateThenCommit()
    {
        QFETCH(QString, value);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        const auto root = treeFromText(QStringLiteral("{\"v\":%1}").arg(value));
        QVERIFY(root);
        TreeNode* node = root->child(0);
        QVariant proposed(typed);
        QVERIFY(node->validateValue(proposed, QStringLiteral("valueLabel")));
        node->setValueLabel(proposed.toString());
        QCOMPARE(state(node), after);
        // The document stays writable.
        QVERIFY(root->jsonText());
    }

    // A node of no known kind: the value setter changes nothing but still announces; a kind change fixes it.
    void editUnknownKind()
    {
        const auto root = treeFromText(R"({"k":"text"})");
        QVERIFY(root);
        TreeNode* node = root->child(0);
        node->setKind(42);
        QSignalSpy data(Notifications::instance(), &Notifications::treeDataChanged);
        const qint64 generation = TreeNode::treeGeneration();
        node->setValueLabel(QStringLiteral("5"));
        QCOMPARE(node->kind(), qint64(42));
        QCOMPARE(node->value(), QVariant(QStringLiteral("text")));
        QCOMPARE(TreeNode::treeGeneration(), generation + 1);
        QCOMPARE(data.count(), 1);

        node->setKindLabel(QStringLiteral("String"));
        QCOMPARE(state(node), QStringLiteral("string Value"));
    }

    // Kind changes convert the value by the old kind; collections are rebuilt with one new child.
    void setKindLabel_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QStringList>("children");
        const auto row = [](const char* tag, const QString& value, const QString& label, const QString& after,
                            const QStringList& children) { QTest::newRow(tag) << value << label << after << children; };
        const QStringList none;
        const QStringList newElement{"[0]: string New Value"};
        const QStringList newMember{"New Key: string New Value"};

        row("string to Array", "\"abc\"", "Array", "array", newElement);
        row("string to Object", "\"abc\"", "Object", "object", newMember);
        row("number to Array", "7", "Array", "array", newElement);
        row("null to Object", "null", "Object", "object", newMember);
        row("array to Array", "[1,2,3]", "Array", "array", newElement);
        row("object to Object", "{\"a\":1,\"b\":2}", "Object", "object", newMember);
        row("object with New Key to Object", "{\"New Key\":1}", "Object", "object", newMember);
        row("array to Object", "[\"a\"]", "Object", "object", newMember);
        row("object to Array", "{\"a\":1}", "Array", "array", newElement);

        row("string 42 to Number", "\"42\"", "Number", "integer 42", none);
        row("string -0 to Number", "\"-0\"", "Number", "integer 0", none);
        row("string +5 to Number", "\"+5\"", "Number", "integer 5", none);
        row("string 4.5 to Number", "\"4.5\"", "Number", "float 4.5", none);
        row("string 1e3 to Number", "\"1e3\"", "Number", "float 1000", none);
        row("string 0x1A to Number", "\"0x1A\"", "Number", "float 26", none);
        row("string abc to Number", "\"abc\"", "Number", "integer 0", none);
        row("string padded to Number", "\" 42\"", "Number", "integer 0", none);
        row("string empty to Number", "\"\"", "Number", "integer 0", none);
        row("string inf to Number", "\"inf\"", "Number", "integer 0", none);
        row("string nan to Number", "\"nan\"", "Number", "integer 0", none);
        row("string 1e999 to Number", "\"1e999\"", "Number", "integer 0", none);
        row("integer to Number", "7", "Number", "integer 0", none);
        row("float to Number", "2.5", "Number", "integer 0", none);
        row("boolean to Number", "true", "Number", "integer 0", none);
        row("null to Number", "null", "Number", "integer 0", none);
        row("array to Number", "[1]", "Number", "integer 0", none);

        row("string true to Boolean", "\"true\"", "Boolean", "boolean true", none);
        row("string false to Boolean", "\"false\"", "Boolean", "boolean false", none);
        row("string True to Boolean", "\"True\"", "Boolean", "boolean false", none);
        row("string yes to Boolean", "\"yes\"", "Boolean", "boolean false", none);
        row("boolean true to Boolean", "true", "Boolean", "boolean false", none);
        row("integer 1 to Boolean", "1", "Boolean", "boolean false", none);
        row("float to Boolean", "2.5", "Boolean", "boolean false", none);
        row("object to Boolean", "{\"a\":true}", "Boolean", "boolean false", none);

        row("float 2.5 to String", "2.5", "String", "string 2.5", none);
        row("small float to String", "0.00001", "String", "string 1e-05", none);
        row("integer -3 to String", "-3", "String", "string -3", none);
        row("true to String", "true", "String", "string true", none);
        row("false to String", "false", "String", "string false", none);
        row("string to String", "\"Hello\"", "String", "string Value", none);
        row("null to String", "null", "String", "string Value", none);
        row("object to String", "{\"a\":1,\"b\":[2]}", "String", "string Value", none);
        row("array to String", "[1,2]", "String", "string Value", none);

        row("null to Null", "null", "Null", "null", none);
        row("integer to Null", "5", "Null", "null", none);
        row("string to Null", "\"s\"", "Null", "null", none);
        row("object to Null", "{\"a\":1}", "Null", "null", none);
    }
    void setKindLabel()
    {
        QFETCH(QString, value);
        QFETCH(QString, label);
        QFETCH(QString, after);
        QFETCH(QStringList, children);
        const auto root = treeFromText(QStringLiteral("{\"v\":%1}").arg(value));
        QVERIFY(root);
        TreeNode* node = root->child(0);

        node->setKindLabel(label);

        QCOMPARE(state(node), after);
        QCOMPARE(childStates(node), children);
        QCOMPARE(node->kindLabel(), label);
        QCOMPARE(node->name(), QStringLiteral("v"));
    }

    // Which notifications each kind change sends, in order, and how far the generation advances. The
    // filtered-children pair brackets the children change: "about" still sees the old children.
    void kindChangeNotifications_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("advance");
        const auto row = [](const char* tag, const QString& value, const QString& label, const QStringList& events,
                            int advance) { QTest::newRow(tag) << value << label << events << advance; };
        const QStringList toCollection0{"about 0", "data", "data", "did 1", "reload"};
        row("string to Array", "\"abc\"", "Array", toCollection0, 2);
        row("null to Object", "null", "Object", toCollection0, 2);
        row("array to Array", "[1,2]", "Array", QStringList{"about 2", "data", "data", "did 1", "reload"}, 2);
        row("object to Array", "{\"a\":1,\"b\":2,\"c\":3}", "Array",
            QStringList{"about 3", "data", "data", "did 1", "reload"}, 2);
        const QStringList fromCollection2{"about 2", "data", "did 0", "reload"};
        row("array to String", "[1,2]", "String", fromCollection2, 1);
        row("array to Number", "[1,2]", "Number", fromCollection2, 1);
        row("object to Boolean", "{\"a\":1,\"b\":2}", "Boolean", fromCollection2, 1);
        row("object to Null", "{\"a\":1,\"b\":2}", "Null", fromCollection2, 1);
        row("empty array to Null", "[]", "Null", QStringList{"about 0", "data", "did 0", "reload"}, 1);
        // Leaf to leaf changes the document's text too, so it is announced like any edit.
        const QStringList leafToLeaf{"data", "reload"};
        row("string to Number", "\"42\"", "Number", leafToLeaf, 1);
        row("integer to String", "5", "String", leafToLeaf, 1);
        row("boolean to Null", "true", "Null", leafToLeaf, 1);
        row("float to Boolean", "2.5", "Boolean", leafToLeaf, 1);
        row("string to String", "\"s\"", "String", leafToLeaf, 1);
        row("null to Null", "null", "Null", leafToLeaf, 1);
    }
    void kindChangeNotifications()
    {
        QFETCH(QString, value);
        QFETCH(QString, label);
        QFETCH(QStringList, events);
        QFETCH(int, advance);
        const auto root = treeFromText(QStringLiteral("{\"v\":%1}").arg(value));
        QVERIFY(root);
        TreeNode* node = root->child(0);
        QSignalSpy data(Notifications::instance(), &Notifications::treeDataChanged);
        QSignalSpy reload(Notifications::instance(), &Notifications::reloadCurrentRow);
        const qint64 generation = TreeNode::treeGeneration();
        NotificationLog log(node);

        node->setKindLabel(label);

        QCOMPARE(log.events, events);
        QCOMPARE(data.count(), int(events.count(QStringLiteral("data"))));
        QCOMPARE(reload.count(), 1);
        QCOMPARE(TreeNode::treeGeneration(), generation + advance);
    }

    // A label outside the six is logged and otherwise ignored, apart from the row reload.
    void unknownKindLabel_data()
    {
        QTest::addColumn<QString>("label");
        const auto row = [](const char* tag, const QString& label) { QTest::newRow(tag) << label; };
        row("other word", "Banana");
        row("lower case", "number");
        row("kind name, not label", "Integer");
        row("kind name float", "Float");
        row("padded", "String ");
        row("empty", "");
    }
    void unknownKindLabel()
    {
        QFETCH(QString, label);
        const auto root = treeFromText(R"({"o":{"a":1},"s":"text"})");
        QVERIFY(root);
        for (TreeNode* node : {member(root.get(), "o"), member(root.get(), "s")}) {
            const QString before = state(node);
            const QStringList childrenBefore = childStates(node);
            QSignalSpy data(Notifications::instance(), &Notifications::treeDataChanged);
            const qint64 generation = TreeNode::treeGeneration();
            NotificationLog events(node);
            LogRecorder log;

            node->setKindLabel(label);

            QCOMPARE(log.lines, QStringList{QStringLiteral("\u26D4\uFE0F kindLabel] \nshouldn't reach here")});
            QCOMPARE(events.events, QStringList{"reload"});
            QCOMPARE(data.count(), 0);
            QCOMPARE(TreeNode::treeGeneration(), generation);
            QCOMPARE(state(node), before);
            QCOMPARE(childStates(node), childrenBefore);
        }
    }

    // New children go where the index says; -1 and the child count both append.
    void insertNewChild_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("position");
        QTest::addColumn<QStringList>("children");
        const auto row = [](const char* tag, const QString& value, int index, int position,
                            const QStringList& children) {
            QTest::newRow(tag) << value << index << position << children;
        };
        row("append with -1", "[1,2,3]", -1, 3,
            QStringList{"[0]: integer 1", "[1]: integer 2", "[2]: integer 3", "[3]: string New Value"});
        row("append with count", "[1,2,3]", 3, 3,
            QStringList{"[0]: integer 1", "[1]: integer 2", "[2]: integer 3", "[3]: string New Value"});
        row("insert at 0", "[1,2,3]", 0, 0,
            QStringList{"[0]: string New Value", "[1]: integer 1", "[2]: integer 2", "[3]: integer 3"});
        row("insert in the middle", "[1,2,3]", 2, 2,
            QStringList{"[0]: integer 1", "[1]: integer 2", "[2]: string New Value", "[3]: integer 3"});
        row("empty array, -1", "[]", -1, 0, QStringList{"[0]: string New Value"});
        row("empty array, 0", "[]", 0, 0, QStringList{"[0]: string New Value"});
        row("object at 0", "{\"b\":1,\"c\":2}", 0, 0,
            QStringList{"New Key: string New Value", "b: integer 1", "c: integer 2"});
        row("object appended", "{\"b\":1,\"c\":2}", -1, 2,
            QStringList{"b: integer 1", "c: integer 2", "New Key: string New Value"});
    }
    void insertNewChild()
    {
        QFETCH(QString, value);
        QFETCH(int, index);
        QFETCH(int, position);
        QFETCH(QStringList, children);
        const auto root = treeFromText(QStringLiteral("{\"v\":%1}").arg(value));
        QVERIFY(root);
        TreeNode* node = root->child(0);
        QSignalSpy data(Notifications::instance(), &Notifications::treeDataChanged);
        QSignalSpy reload(Notifications::instance(), &Notifications::reloadCurrentRow);
        const qint64 generation = TreeNode::treeGeneration();

        TreeNode* added = node->insertNewChild(index);

        QVERIFY(added);
        QCOMPARE(node->child(position), added);
        QCOMPARE(childStates(node), children);
        QCOMPARE(TreeNode::treeGeneration(), generation + 1);
        QCOMPARE(data.count(), 1);
        QCOMPARE(reload.count(), 0);
    }

    // An index outside -1 and 0 … count is refused without touching anything.
    void insertNewChildRefused_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<qsizetype>("index");
        const auto row = [](const char* tag, const QString& value, qsizetype index) {
            QTest::newRow(tag) << value << index;
        };
        row("-2", "[1,2,3]", qsizetype(-2));
        row("count + 1", "[1,2,3]", qsizetype(4));
        row("far beyond", "[1,2,3]", qsizetype(1000));
        row("most negative", "[1,2,3]", std::numeric_limits<qsizetype>::min());
        row("empty object, 1", "{}", qsizetype(1));
        row("empty object, -2", "{}", qsizetype(-2));
    }
    void insertNewChildRefused()
    {
        QFETCH(QString, value);
        QFETCH(qsizetype, index);
        const auto root = treeFromText(QStringLiteral("{\"v\":%1}").arg(value));
        QVERIFY(root);
        TreeNode* node = root->child(0);
        const std::vector<TreeNode*> before(node->children().begin(), node->children().end());
        QSignalSpy data(Notifications::instance(), &Notifications::treeDataChanged);
        QSignalSpy reload(Notifications::instance(), &Notifications::reloadCurrentRow);
        const qint64 generation = TreeNode::treeGeneration();

        QVERIFY(!node->insertNewChild(index));

        const std::vector<TreeNode*> after(node->children().begin(), node->children().end());
        QVERIFY(after == before);
        QCOMPARE(TreeNode::treeGeneration(), generation);
        QCOMPARE(data.count(), 0);
        QCOMPARE(reload.count(), 0);
    }

    // New members of an object get unique names; a name freed by a rename is taken again.
    void insertNewChildNames()
    {
        const auto root = treeFromText(R"({"o":{}})");
        QVERIFY(root);
        TreeNode* o = root->child(0);
        QVERIFY(o->insertNewChild(-1));
        QVERIFY(o->insertNewChild(-1));
        QVERIFY(o->insertNewChild(-1));
        QCOMPARE(childStates(o), (QStringList{"New Key: string New Value", "New Key 2: string New Value",
                                              "New Key 3: string New Value"}));
        o->child(1)->setNameLabel(QStringLiteral("Other"));
        TreeNode* fourth = o->insertNewChild(0);
        QVERIFY(fourth);
        QCOMPARE(fourth->name(), QStringLiteral("New Key 2"));
        QCOMPARE(o->insertNewChild(-1)->name(), QStringLiteral("New Key 4"));
    }

    // New elements of an array are unnamed and labelled by their place.
    void insertNewChildIntoArray()
    {
        const auto root = treeFromText(R"([[]])");
        QVERIFY(root);
        TreeNode* list = root->child(0);
        for (int i = 0; i < 3; ++i) {
            TreeNode* added = list->insertNewChild(i == 1 ? 0 : -1);
            QVERIFY(added);
            QVERIFY(added->isArrayChild());
        }
        QCOMPARE(childStates(list),
                 (QStringList{"[0]: string New Value", "[1]: string New Value", "[2]: string New Value"}));
        QCOMPARE(list->child(2)->path(), QStringLiteral("root[0][2]"));
    }

    // A child added to a leaf stays under it, named "New Key" like any non-array child.
    void insertNewChildIntoLeaf()
    {
        const auto root = treeFromText(R"({"a":1})");
        QVERIFY(root);
        root->setKindLabel(QStringLiteral("String"));
        QCOMPARE(state(root.get()), QStringLiteral("string Value"));
        QCOMPARE(root->childCount(), qsizetype(0));

        TreeNode* first = root->insertNewChild(-1);
        QVERIFY(first);
        TreeNode* second = root->insertNewChild(-1);
        QVERIFY(second);
        QCOMPARE(childStates(root.get()), (QStringList{"New Key: string New Value", "New Key: string New Value"}));
        QCOMPARE(first->path(), QStringLiteral("root.New Key"));
        QCOMPARE(state(root.get()), QStringLiteral("string Value"));
        QVERIFY(!root->jsonText());
    }

    // The smallest free "base n" from 2 on, comparing names exactly.
    void uniqueChildName_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("unique");
        const auto row = [](const char* tag, const QString& value, const QString& base, const QString& unique) {
            QTest::newRow(tag) << value << base << unique;
        };
        row("no children", "{}", "New Key", "New Key");
        row("free", "{\"a\":1}", "New Key", "New Key");
        row("taken", "{\"New Key\":1}", "New Key", "New Key 2");
        row("two taken", "{\"New Key\":1,\"New Key 2\":2}", "New Key", "New Key 3");
        row("gap", "{\"New Key\":1,\"New Key 3\":2}", "New Key", "New Key 2");
        row("only numbered taken", "{\"New Key 2\":1}", "New Key", "New Key");
        row("longer names", "{\"New Keyboard\":1,\"New Key\":2,\"New Key 22\":3}", "New Key", "New Key 2");
        row("case-sensitive", "{\"new key\":1}", "New Key", "New Key");
        row("other base", "{\"x\":1,\"x 2\":2,\"x 3\":3}", "x", "x 4");
        row("non-ascii base", "{\"Clé\":1}", "Clé", "Clé 2");
        row("array elements", "[1,2]", "New Key", "New Key");
    }
    void uniqueChildName()
    {
        QFETCH(QString, value);
        QFETCH(QString, base);
        QFETCH(QString, unique);
        const auto root = treeFromText(QStringLiteral("{\"v\":%1}").arg(value));
        QVERIFY(root);
        QCOMPARE(root->child(0)->uniqueChildName(base), unique);
    }

    // Two members of one name stay two nodes; the text holds one member with the later child's value.
    void siblingName_data()
    {
        QTest::addColumn<int>("renamed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("json");
        const auto row = [](const char* tag, int renamed, const QString& name, const QString& json) {
            QTest::newRow(tag) << renamed << name << json;
        };
        row("second takes first's name", 1, "a", R"({"a":2})");
        row("first takes second's name", 0, "b", R"({"b":2})");
    }
    void siblingName()
    {
        QFETCH(int, renamed);
        QFETCH(QString, name);
        QFETCH(QString, json);
        const auto root = treeFromText(R"({"a":1,"b":2})");
        QVERIFY(root);
        root->child(renamed)->setNameLabel(name);
        QCOMPARE(childStates(root.get()),
                 (QStringList{name + QStringLiteral(": integer 1"), name + QStringLiteral(": integer 2")}));
        const auto text = root->jsonText();
        QVERIFY(text);
        QCOMPARE(QString::fromUtf8(*text), json);
    }
};

QTEST_GUILESS_MAIN(TestTreeNodeEditing)
#include "tst_treenodeediting.moc"
