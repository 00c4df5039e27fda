#include "TestSupport.h"
#include "model/Document.h"
#include "model/JsonValue.h"
#include "model/JsonWriter.h"
#include "model/TreeNode.h"

#include <QTest>
#include <cctype>
#include <limits>

Q_DECLARE_METATYPE(JsonValue)

namespace {

// The tree of the text, read from a private copy of the bytes (tst_jsonreader checks shared buffers).
OwnedTree tree(const QByteArray& text)
{
    auto document = loaded(Document::documentFromBytes(QByteArray(text.constData(), text.size())));
    return document ? document->takeRoot() : OwnedTree();
}

// Reads written text back into a fresh tree and takes its value.
std::optional<JsonValue> parsed(const QByteArray& utf8)
{
    const auto root = tree(utf8);
    return root ? root->jsonObject() : std::nullopt;
}

// The hex digits of \uXXXX escapes in lower case: either case is valid JSON.
QByteArray lowerHex(QByteArray text)
{
    for (qsizetype i = 0; i + 5 < text.size(); ++i)
        if (text[i] == '\\' && text[++i] == 'u')
            for (qsizetype j = i + 1; j < i + 5; ++j)
                text[j] = char(std::tolower(static_cast<unsigned char>(text[j])));
    return text;
}

// The node's JSON text, or a marker that no valid text contains, so that failures show both texts.
QByteArray textOf(const TreeNode* node)
{
    return node->jsonText().value_or(QByteArrayLiteral("<no text>"));
}

void reverseChildren(TreeNode* node)
{
    node->setChildren(std::vector<TreeNode*>(node->children().rbegin(), node->children().rend()));
}

// Every collection's text reads back as its JSON value, and that value is written as the same text.
void verifyTextMatchesValue(const TreeNode* node)
{
    if (!node->isCollection())
        return;
    const auto text = node->jsonText();
    const auto value = node->jsonObject();
    QVERIFY2(text && value, qPrintable(node->path()));
    const auto back = parsed(*text);
    QVERIFY2(back && *back == *value, qPrintable(node->path()));
    QCOMPARE(TreeNode::fromJsonValue(*value, QStringLiteral("root"))->jsonText().value_or("?"), *text);
    for (const TreeNode* child : node->children())
        verifyTextMatchesValue(child);
}

} // namespace

class TestJsonWriter : public QObject
{
    Q_OBJECT
private slots:
    // Compact form: no whitespace between tokens, array order kept, numbers normalised. Members are written in
    // ascending order of their names by code point after canonical normalisation, whatever the children's order.
    // In names and values alike, quote, backslash and solidus get a backslash, control characters are escaped, and
    // everything else (non-ASCII included) is written as UTF-8.
    void text_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* tag, const QString& input, const QString& expected) {
            QTest::newRow(tag) << input << expected;
        };
        row("empty collections", "\n{ \"b\" : { }, \"a\" : [ ]\n}\n", R"({"a":[],"b":{}})");
        row("array", "[ 3 , 1 , \" a  b \" , true , false , null ]", R"([3,1," a  b ",true,false,null])");
        row("numbers", "{\r\n\t\"k\":-12,\"l\":[0.5, 2.0, 1e3, -9223372036854775808, 9223372036854775807]\r\n}",
            R"({"k":-12,"l":[0.5,2,1000,-9223372036854775808,9223372036854775807]})");
        row("ascii names", R"({"a9":1,"ab":2,"a":3,"B":4,"a10":5})", R"({"B":4,"a":3,"a10":5,"a9":1,"ab":2})");
        row("accent after ascii", QStringLiteral("{\"\u00E9\":1,\"z\":2}"), QStringLiteral("{\"z\":2,\"\u00E9\":1}"));
        // By code point, not by UTF-16 unit: U+FF61 comes before U+1F600.
        row("astral after bmp", QStringLiteral("{\"\U0001F600\":1,\"\uFF61\":2}"),
            QStringLiteral("{\"\uFF61\":2,\"\U0001F600\":1}"));
        // A leading U+FEFF is part of the name and sorts by its code point.
        row("leading U+FEFF", QStringLiteral("{\"\uFEFFa\":1,\"b\":2}"), QStringLiteral("{\"b\":2,\"\uFEFFa\":1}"));
        // A decomposed A with ring sorts as the composed character, and keeps its own spelling.
        row("canonical form", QStringLiteral("{\"A\u030A\":1,\"B\":2}"), QStringLiteral("{\"B\":2,\"A\u030A\":1}"));
        row("nested", R"({"z":{"b":1,"a":2},"a":[{"d":1,"c":2}]})", R"({"a":[{"c":2,"d":1}],"z":{"a":2,"b":1}})");
        row("empty name first", R"({"x":"","":2})", R"({"":2,"x":""})");
        // Plain literals here: moc misreads raw strings holding these escapes.
        row("punctuation", "{\"\\\"\\\\/\":\"a\\\"b\\\\u0041 http://c/\"}",
            "{\"\\\"\\\\\\/\":\"a\\\"b\\\\u0041 http:\\/\\/c\\/\"}");
        row("short escapes", R"({"\n\t":"\r\b\f"})", R"({"\n\t":"\r\b\f"})");
        row("other controls", R"({"\u0000\u001F":"\u0001\u000B\u001b"})", R"({"\u0000\u001f":"\u0001\u000b\u001b"})");
        row("as is", QStringLiteral("{\"\u007F\":\" caf\u00E9\u20AC\U0001F600\u2028\"}"),
            QStringLiteral("{\"\u007F\":\" caf\u00E9\u20AC\U0001F600\u2028\"}"));
        row("byte order mark", QStringLiteral("{\"\uFEFF\":\"\uFEFF\"}"), QStringLiteral("{\"\uFEFF\":\"\uFEFF\"}"));
    }
    void text()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const auto root = tree(input.toUtf8());
        QVERIFY(root);
        QCOMPARE(lowerHex(textOf(root.get())), expected.toUtf8());
        verifyTextMatchesValue(root.get());
        // The writer sorts by itself: members in reverse order give the same text.
        if (root->isObject()) {
            reverseChildren(root.get());
            QCOMPARE(lowerHex(textOf(root.get())), expected.toUtf8());
        }
    }

    // Renamed members are written under their new names, and children sharing a name give one member holding the
    // value of the later child while both stay in the tree. Array elements and the root are written unnamed.
    void renamed_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("names"); // new name per child, comma-separated; "-" keeps the name
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char* tag, const char* input, const char* names, const char* expected) {
            QTest::newRow(tag) << QByteArray(input) << QString::fromUtf8(names) << QByteArray(expected);
        };
        row("later renamed", R"({"a":1,"b":2})", "-,a", R"({"a":2})");
        row("earlier renamed", R"({"a":1,"b":2})", "b,-", R"({"b":2})");
        row("not adjacent", R"({"a":1,"m":2,"z":3})", "-,-,a", R"({"a":3,"m":2})");
        row("three alike", R"({"a":1,"b":2,"c":3})", "x,x,x", R"({"x":3})");
        row("empty names", R"({"a":1,"b":{"c":true}})", ",", R"({"":{"c":true}})");
        row("array elements", R"([1,{"k":[2,3]}])", "x,x", R"([1,{"k":[2,3]}])");
    }
    void renamed()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, names);
        QFETCH(QByteArray, expected);
        const auto root = tree(input);
        QVERIFY(root);
        root->setNameLabel(QStringLiteral("renamed root"));
        const QStringList newNames = names.split(QLatin1Char(','));
        for (qsizetype i = 0; i < newNames.size(); ++i)
            if (newNames[i] != QLatin1String("-"))
                root->child(i)->setNameLabel(newNames[i]);
        QCOMPARE(root->childCount(), newNames.size());
        QCOMPARE(textOf(root.get()), expected);
        verifyTextMatchesValue(root.get());
    }

    // A root that became a leaf, a number JSON cannot hold, a leaf left without a value, or a node whose kind is
    // no kind make the write of every collection above it fail, with the reason logged once under jsonText,
    // instead of producing text that no reader accepts. A writable value makes the document writable again.
    void unwritable_data()
    {
        QTest::addColumn<QByteArray>("input"); // the edit applies to the first leaf, or to an empty root
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("argument");
        const auto row = [](const char* tag, const char* input, const char* edit, const char* argument) {
            QTest::newRow(tag) << QByteArray(input) << QString::fromUtf8(edit) << QString::fromUtf8(argument);
        };
        row("string root", "{}", "kind", "String");
        row("null root", "[]", "kind", "Null");
        row("nan", R"({"a":{"b":[1.5]}})", "value", "nan");
        row("integer typed inf", R"({"a":[1]})", "value", "inf");
        row("float typed text", R"({"a":[1.5]})", "value", "abc");
        row("unknown leaf kind", R"({"a":[1,2],"b":3})", "raw", "42");
        row("unknown root kind", "{}", "raw", "-1");
    }
    void unwritable()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, edit);
        QFETCH(QString, argument);
        const auto root = tree(input);
        QVERIFY(root);
        TreeNode* node = root.get();
        while (node->childCount() > 0)
            node = node->child(0);
        if (edit == QLatin1String("kind"))
            node->setKindLabel(argument);
        else if (edit == QLatin1String("value"))
            node->setValueLabel(argument);
        else
            node->setKind(argument.toLongLong());
        QVERIFY(edit != QLatin1String("raw") || !root->jsonObject()); // no value for a node of no kind
        LogRecorder log;
        const auto text = root->jsonText();
        QVERIFY(!text);
        QCOMPARE(text.error().code, Error::Code::NotWritable);
        QCOMPARE(log.errorsNaming(QStringLiteral("jsonText")), 1);
        QVERIFY(log.lines.back().contains(text.error().message));
        for (const TreeNode* above = node->parent(); above; above = above->parent())
            QVERIFY2(!above->jsonText(), qPrintable(above->path()));
        if (edit == QLatin1String("value")) {
            node->setValueLabel(QStringLiteral("2.5"));
            verifyTextMatchesValue(root.get());
        }
        QVERIFY(!JsonWriter::write(nullptr));
    }

    // Floats are written in a form that reads back as the same double, and as a float.
    void floats()
    {
        const JsonValue::Array values{
            1.0 / 3,           -0.5, 1e-5, 5e-324, std::numeric_limits<double>::max(), 18446744073709551616.0,
            4503599627370495.5};
        const auto root = TreeNode::fromJsonValue(JsonValue(values), QStringLiteral("root"));
        for (const TreeNode* child : root->children())
            QCOMPARE(child->kind(), qint64(NodeKind::Float));
        const auto back = parsed(textOf(root.get()));
        // Equality compares the variant: a float never equals the same value held as an integer.
        QVERIFY2(back && *back == JsonValue(values), textOf(root.get()).constData());
    }

    // A whole number typed into a float node keeps it a float, and an integer node given a fraction becomes a
    // float; both are written as the number typed.
    void numberTyped()
    {
        const auto root = tree("[2.5,1]");
        QVERIFY(root);
        root->child(0)->setValueLabel(QStringLiteral("5"));
        root->child(1)->setValueLabel(QStringLiteral("2.5"));
        QCOMPARE(root->child(0)->kind(), qint64(NodeKind::Float));
        QCOMPARE(root->child(1)->kind(), qint64(NodeKind::Float));
        QCOMPARE(textOf(root.get()), QByteArray("[5,2.5]"));
    }

    // A member the user appends is written at its sorted place, arrays keep their order, and after every kind of
    // edit the JSON value of each node and its JSON text denote the same thing.
    void edits()
    {
        const auto root = tree(R"({"b":{"d":2,"c":3},"d":"42","e":1,"f":{"k":1},"z":[[1]]})");
        QVERIFY(root);
        TreeNode* added = root->insertNewChild(-1);
        QVERIFY(added && root->child(5) == added);
        added->setNameLabel(QStringLiteral("c"));
        QVERIFY(root->child(4)->insertNewChild(0) && root->child(4)->insertNewChild(-1));
        QCOMPARE(textOf(root.get()), QByteArray(R"({"b":{"c":3,"d":2},"c":"New Value","d":"42","e":1,"f":{"k":1},)"
                                                R"("z":["New Value",[1],"New Value"]})"));
        reverseChildren(root->child(0));
        root->child(0)->setNameLabel(QStringLiteral("d")); // a duplicate name
        root->child(1)->setKindLabel(QStringLiteral("Number"));
        root->child(2)->setKindLabel(QStringLiteral("String"));
        root->child(3)->setKindLabel(QStringLiteral("Array"));
        root->child(4)->child(1)->child(0)->setNameLabel(QStringLiteral("n")); // a named array element
        reverseChildren(root.get());
        verifyTextMatchesValue(root.get());
    }
};

QTEST_GUILESS_MAIN(TestJsonWriter)
#include "tst_jsonwriter.moc"
