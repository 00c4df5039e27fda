#include "TestSupport.h"
#include "model/TreeNode.h"

#include <QCborArray>
#include <QCborMap>
#include <QTest>

namespace {

// Every archived field of a subtree as text; "!" marks a child that is not linked to its holder.
QString fields(const TreeNode* node)
{
    const int flags = node->nameIsEditable() * 4 + node->kindIsEditable() * 2 + node->valueIsEditable();
    QString text = QStringLiteral("%1|%2|%3|%4|%5[")
                       .arg(node->name(), QString::number(node->kind()), QString::number(flags),
                            QString::number(node->valueType()),
                            node->valueType() == TreeNode::FloatValue ? QString::number(node->floatValue(), 'g', 17)
                                                                      : node->value().toString());
    for (const TreeNode* child : node->children())
        text += (child->parent() == node ? QString() : QStringLiteral("!")) + fields(child) + QLatin1Char(',');
    return text + QLatin1Char(']');
}

QCborMap node(const QString& name, qint64 kind, const QCborValue& value = QCborValue(QCborValue::Undefined),
              const QCborArray& children = {})
{
    QCborMap map{{QStringLiteral("name"), name},         {QStringLiteral("nameIsEditable"), true},
                 {QStringLiteral("kind"), kind},         {QStringLiteral("kindIsEditable"), true},
                 {QStringLiteral("children"), children}, {QStringLiteral("valueIsEditable"), true}};
    if (!value.isUndefined())
        map.insert(QStringLiteral("value"), value);
    return map;
}

// An object root holding `child`, as archive bytes.
QByteArray underRoot(const QCborValue& child)
{
    return QCborValue(node(QStringLiteral("root"), 1, QCborValue(QCborValue::Undefined), {child})).toCbor();
}

// Where an archived subtree breaks the form, or nothing: the keys in their fixed order, "value" only for the
// four valued leaf kinds and typed by kind (an integral float still a double), children in the same form.
QString malformed(const QCborMap& map)
{
    QStringList keys;
    for (const QCborValue& key : map.keys())
        keys << key.toString();
    const qint64 kind = map.value(QStringLiteral("kind")).toInteger(-1);
    const QCborValue value = map.value(QStringLiteral("value"));
    const bool typed = kind == 2   ? value.isInteger()
                       : kind == 3 ? value.isDouble()
                       : kind == 4 ? value.isBool()
                       : kind == 5 ? value.isString()
                                   : value.isUndefined();
    QStringList expected{"name", "nameIsEditable", "kind", "kindIsEditable", "children", "valueIsEditable"};
    if (kind >= 2 && kind <= 5)
        expected.insert(4, QStringLiteral("value"));
    if (keys != expected || !typed || !map.value(QStringLiteral("kind")).isInteger())
        return keys.join(QLatin1Char(',')) + QStringLiteral(" of kind %1").arg(kind);
    for (const QCborValue& child : map.value(QStringLiteral("children")).toArray()) {
        if (const QString inner = malformed(child.toMap()); !inner.isEmpty())
            return inner;
    }
    return QString();
}

} // namespace

class TestArchive : public QObject
{
    Q_OBJECT
private slots:
    // The archive has its fixed form; a round trip keeps every archived field and the child order, and links each
    // child to its holder.
    void roundTrip()
    {
        auto original =
            treeFromText(QStringLiteral(R"({"arr":[1,-2.5,true,"s",null,{"x":[]},[]],)"
                                        R"("big":9223372036854775807,"small":-9223372036854775808,)"
                                        "\"tiny\":5e-324,\"str\":\"caf\\u00e9 \\\"q\\\" \\\\ \\/ \\n \\ud83d\\ude00\","
                                        // A leading U+FEFF is content, in names and values alike.
                                        "\"\\ufeffz\":\"\\ufeffv\"}"));
        QVERIFY(original);
        TreeNode* arr = original->child(0);
        arr->child(1)->setValueLabel(QStringLiteral("5")); // a float with an integral value stays a float
        QVERIFY(original->insertNewChild(0));              // child order that is not the sorted one
        original->setNameIsEditable(false);
        arr->setKindIsEditable(false);
        arr->child(3)->setValueIsEditable(false);
        arr->child(5)->child(0)->setValueIsEditable(false);
        QCOMPARE(malformed(QCborValue::fromCbor(original->encode()).toMap()), QString());
        auto read = TreeNode::decode(original->encode());
        QVERIFY2(read, qPrintable(read ? QString() : read.error().message));
        const OwnedTree decoded = std::move(*read);
        QVERIFY(!decoded->parent());
        QCOMPARE(fields(decoded.get()), fields(original.get()));
        // Checks against the source text, so that a loss shared by building and decoding shows too.
        QCOMPARE(decoded->child(0)->name(), QStringLiteral("New Key"));
        QCOMPARE(decoded->child(1)->child(1)->value(), QVariant(5.0));
        QCOMPARE(decoded->child(2)->value(), QVariant(std::numeric_limits<qint64>::max()));
        QCOMPARE(decoded->child(3)->value(), QVariant(std::numeric_limits<qint64>::min()));
        QCOMPARE(decoded->child(4)->value(), QVariant(QStringLiteral("caf\u00E9 \"q\" \\ / \n \U0001F600")));
        QCOMPARE(decoded->child(6)->name(), QStringLiteral("\uFEFFz"));
        QCOMPARE(decoded->child(6)->value(), QVariant(QStringLiteral("\uFEFFv")));
        QCOMPARE(decoded->child(5)->value(), QVariant(5e-324));
        QVERIFY(!decoded->nameIsEditable() && decoded->kindIsEditable());
        QVERIFY(!decoded->child(1)->kindIsEditable() && !decoded->child(1)->child(3)->valueIsEditable());
        QCOMPARE(decoded->jsonText().value_or("?"), original->jsonText().value_or("!"));
    }

    // A hand-built archive decodes; one missing a key or holding a value of the wrong type is refused with an error.
    void decoded_data()
    {
        QTest::addColumn<QByteArray>("cbor");
        QTest::addColumn<QByteArray>("json"); // empty: refused
        const QCborMap integer = node(QStringLiteral("n"), 2, 3);
        auto with = [&integer](const char* key, const QCborValue& value) {
            QCborMap map = integer;
            map.remove(QLatin1String(key));
            if (!value.isUndefined())
                map.insert(QLatin1String(key), value);
            return underRoot(map);
        };
        auto refused = [](const char* name, const QByteArray& cbor) { QTest::newRow(name) << cbor << QByteArray(); };
        QTest::newRow("hand-built") << underRoot(integer) << QByteArray(R"({"n":3})");
        refused("child is a number", underRoot(QCborValue(5)));
        for (const char* key : {"name", "nameIsEditable", "kind", "kindIsEditable", "children", "valueIsEditable"})
            QTest::addRow("without %s", key) << with(key, {}) << QByteArray();
        for (qint64 kind = 2; kind <= 5; ++kind)
            QTest::addRow("kind %lld without value", kind)
                << underRoot(node(QStringLiteral("n"), kind)) << QByteArray();
        refused("kind as double", with("kind", 2.0));
        refused("name as integer", with("name", 1));
        refused("nameIsEditable as integer", with("nameIsEditable", 1));
        refused("children as map", with("children", QCborMap()));
        refused("integer holding a fraction", with("value", 2.5));
        refused("float holding text", underRoot(node(QStringLiteral("n"), 3, QStringLiteral("1.5"))));
        refused("boolean holding an integer", underRoot(node(QStringLiteral("n"), 4, 1)));
        refused("string holding an integer", underRoot(node(QStringLiteral("n"), 5, 1)));
        refused("string holding a list", underRoot(node(QStringLiteral("n"), 5, QCborArray())));
    }
    void decoded()
    {
        QFETCH(QByteArray, cbor);
        QFETCH(QByteArray, json);
        const auto tree = TreeNode::decode(cbor);
        QCOMPARE(bool(tree), !json.isEmpty());
        if (tree)
            QCOMPARE((*tree)->jsonText().value_or("?"), json);
        else
            QVERIFY(tree.error().code == Error::Code::BadArchive && !tree.error().message.isEmpty());
    }

    // Cut anywhere or followed by other data, an archive is refused with an error rather than read in part.
    void truncatedOrTrailing()
    {
        const QByteArray bytes = treeFromText(QStringLiteral(R"({"a":[1,2.5,"x",{"b":null}],"c":true})"))->encode();
        QVERIFY(TreeNode::decode(bytes));
        auto refused = [](const QByteArray& archive) {
            const auto tree = TreeNode::decode(archive);
            return !tree && tree.error().code == Error::Code::BadArchive && !tree.error().message.isEmpty();
        };
        for (qsizetype length = 0; length < bytes.size(); ++length)
            QVERIFY2(refused(bytes.first(length)), qPrintable(QString::number(length)));
        // Data after the tree is not part of it: refused rather than silently ignored.
        QVERIFY(refused(bytes + QByteArray(1, '\x01')));
    }

    // A kind this version does not know still decodes, without its value, and is reported in the log.
    void unknownKind()
    {
        LogRecorder log;
        auto read = TreeNode::decode(underRoot(node(QStringLiteral("odd"), 7, 4)));
        QVERIFY2(read, qPrintable(read ? QString() : read.error().message));
        const OwnedTree decoded = std::move(*read);
        const TreeNode* odd = decoded->child(0);
        QCOMPARE(odd->name(), QStringLiteral("odd"));
        QCOMPARE(odd->kind(), qint64(7));
        QVERIFY(!odd->hasValue());
        QCOMPARE(odd->parent(), decoded.get());
        QCOMPARE(log.lines.size(), 1);
        QVERIFY2(log.lines.front().contains(QStringLiteral("init(from:)")), qPrintable(log.lines.front()));
    }

    // A member whose name was cleared keeps its empty name and its place. (Kept last: a writer fault here
    // aborts sanitizer builds, and the other tests should report first.)
    void emptyMemberName()
    {
        auto original = treeFromText(QStringLiteral(R"({"a":{"k":"v","n":null},"b":[{"":1}]})"));
        QVERIFY(original);
        original->child(0)->child(1)->setNameLabel(QString());
        const OwnedTree decoded = TreeNode::decode(original->encode()).value();
        QCOMPARE(fields(decoded.get()), fields(original.get()));
        QCOMPARE(decoded->child(0)->child(1)->nameLabel(), QStringLiteral("[1]"));
        QCOMPARE(decoded->jsonText().value_or("?"), QByteArray(R"({"a":{"":null,"k":"v"},"b":[{"":1}]})"));
    }
};

QTEST_GUILESS_MAIN(TestArchive)
#include "tst_archive.moc"
