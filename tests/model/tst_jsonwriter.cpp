#include "TestSupport.h"
#include "model/Document.h"
#include "model/JsonValue.h"
#include "model/JsonWriter.h"
#include "model/Log.h"
#include "model/TreeNode.h"

#include <QTest>
#include <cctype>
#include <functional>
#include <limits>

Q_DECLARE_METATYPE(JsonValue)

namespace {

// A private copy of the bytes, so that these checks do not depend on how the reader treats a buffer its
// caller still holds (tst_jsonreader checks that).
QByteArray unshared(const QByteArray& bytes)
{
    return QByteArray(bytes.constData(), bytes.size());
}

OwnedTree tree(const QByteArray& text)
{
    auto document = Document::documentFromBytes(unshared(text));
    return document ? document->takeRoot() : OwnedTree();
}

// Reads written text back into a fresh tree and takes its value.
std::optional<JsonValue> parsed(const QByteArray& utf8)
{
    const auto document = Document::documentFromBytes(unshared(utf8));
    if (!document)
        return std::nullopt;
    return document->root()->jsonObject();
}

QByteArray literal(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    std::string out;
    JsonWriter::appendString(out, std::string_view(utf8.constData(), std::size_t(utf8.size())));
    return QByteArray::fromStdString(out);
}

// The hex digits of \uXXXX escapes in lower case: either case is valid JSON.
QByteArray lowerHexEscapes(QByteArray text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '\\')
            continue;
        if (text[i + 1] == 'u')
            for (qsizetype j = i + 2; j < std::min(i + 6, text.size()); ++j)
                text[j] = char(std::tolower(static_cast<unsigned char>(text[j])));
        ++i;
    }
    return text;
}

// Records the log lines written while it lives.

// The node's JSON text, or a marker that no valid text contains, so that failures show both texts.
QByteArray textOf(const TreeNode* node)
{
    return node->jsonText().value_or(QByteArrayLiteral("<no text>"));
}

QByteArray textOf(const OwnedTree& tree)
{
    return textOf(tree.get());
}

void reverseChildren(TreeNode* node)
{
    std::vector<TreeNode*> reversed(node->children().rbegin(), node->children().rend());
    node->setChildren(reversed);
}

} // namespace

class TestJsonWriter : public QObject
{
    Q_OBJECT
private slots:
    // Compact form: no whitespace between tokens and no trailing newline.
    void compact_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("empty array") << QByteArray(" [ ] ") << QByteArray("[]");
        QTest::newRow("empty object") << QByteArray("\n{\n}\n") << QByteArray("{}");
        QTest::newRow("mixed") << QByteArray("[ 1 , { \"a\" : [ ] , \"b\" : { } } , \"x y\" , true , false , null ]")
                               << QByteArray(R"([1,{"a":[],"b":{}},"x y",true,false,null])");
        QTest::newRow("indented") << QByteArray("{\r\n\t\"k\" : -12 ,\r\n\t\"l\" : [ 0.5 ]\r\n}")
                                  << QByteArray(R"({"k":-12,"l":[0.5]})");
        QTest::newRow("numbers normalised") << QByteArray("[2.0, 2.5, 1e3]") << QByteArray("[2,2.5,1000]");
        QTest::newRow("array order kept") << QByteArray("[3, 1, \"b\", \"a\"]") << QByteArray(R"([3,1,"b","a"])");
        QTest::newRow("spaces inside strings kept") << QByteArray("[\" a  b \"]") << QByteArray("[\" a  b \"]");
    }
    void compact()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, expected);
        const auto root = tree(input);
        QVERIFY(root);
        QCOMPARE(textOf(root), expected);
    }

    // Members are written in ascending order of their names by code point, whatever the order of the children.
    void keyOrder_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("b then a") << R"({"b":1,"a":"x/y"})"
                                  << R"({"a":"x\/y","b":1})";
        QTest::newRow("upper case first") << R"({"a":1,"B":2})"
                                          << R"({"B":2,"a":1})";
        QTest::newRow("digits by character") << R"({"a9":1,"a10":2})"
                                             << R"({"a10":2,"a9":1})";
        QTest::newRow("prefix first") << R"({"ab":1,"a":2})"
                                      << R"({"a":2,"ab":1})";
        QTest::newRow("accent after ascii")
            << QStringLiteral("{\"\u00E9\":1,\"z\":2}") << QStringLiteral("{\"z\":2,\"\u00E9\":1}");
        // By code point, not by UTF-16 unit: U+FF61 comes before U+1F600.
        QTest::newRow("astral after bmp")
            << QStringLiteral("{\"\U0001F600\":1,\"\uFF61\":2}") << QStringLiteral("{\"\uFF61\":2,\"\U0001F600\":1}");
        // A leading U+FEFF is part of the name and sorts by its code point.
        QTest::newRow("leading U+FEFF") << QStringLiteral("{\"\uFEFFa\":1,\"b\":2}")
                                        << QStringLiteral("{\"b\":2,\"\uFEFFa\":1}");
        // A decomposed A with ring sorts as the composed character, and keeps its own spelling.
        QTest::newRow("canonical form") << QStringLiteral("{\"A\u030A\":1,\"B\":2}")
                                        << QStringLiteral("{\"B\":2,\"A\u030A\":1}");
        QTest::newRow("nested") << R"({"z":{"b":1,"a":2},"a":[{"d":1,"c":2}]})"
                                << R"({"a":[{"c":2,"d":1}],"z":{"a":2,"b":1}})";
        QTest::newRow("many") << R"({"e":5,"d":4,"c":3,"b":2,"a":1,"f":6})"
                              << R"({"a":1,"b":2,"c":3,"d":4,"e":5,"f":6})";
    }
    void keyOrder()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const auto root = tree(input.toUtf8());
        QVERIFY(root);
        QCOMPARE(textOf(root), expected.toUtf8());
        // The writer sorts by itself: children in reverse order give the same text.
        reverseChildren(root.get());
        QCOMPARE(textOf(root), expected.toUtf8());
    }

    // A member the user appends at the end of an object is written at its sorted place; arrays keep their order.
    void appendedMembers()
    {
        const auto object = tree(R"({"b":1,"c":2})");
        QVERIFY(object);
        TreeNode* added = object->insertNewChild(-1);
        QVERIFY(added);
        QCOMPARE(object->child(2), added);
        QCOMPARE(textOf(object), QByteArray(R"({"New Key":"New Value","b":1,"c":2})"));
        added->setNameLabel(QStringLiteral("bb"));
        QCOMPARE(textOf(object), QByteArray(R"({"b":1,"bb":"New Value","c":2})"));
        added->setNameLabel(QStringLiteral("a"));
        added->setValueLabel(QStringLiteral("v"));
        QCOMPARE(textOf(object), QByteArray(R"({"a":"v","b":1,"c":2})"));

        const auto array = tree("[1,2]");
        QVERIFY(array);
        QVERIFY(array->insertNewChild(0));
        QVERIFY(array->insertNewChild(-1));
        QCOMPARE(textOf(array), QByteArray(R"(["New Value",1,2,"New Value"])"));
    }

    // String escapes: quote, backslash and solidus get a backslash, control characters are escaped, everything
    // else (non-ASCII included) is written as UTF-8.
    void escapes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("empty") << QString() << QByteArray("\"\"");
        QTest::newRow("plain") << QStringLiteral("abc") << QByteArray("\"abc\"");
        QTest::newRow("solidus") << QStringLiteral("x/y") << QByteArray("\"x\\/y\"");
        QTest::newRow("two solidi") << QStringLiteral("//") << QByteArray("\"\\/\\/\"");
        QTest::newRow("url") << QStringLiteral("http://a.b/c") << QByteArray("\"http:\\/\\/a.b\\/c\"");
        QTest::newRow("quote") << QStringLiteral("a\"b") << QByteArray("\"a\\\"b\"");
        QTest::newRow("backslash") << QStringLiteral("a\\b") << QByteArray("\"a\\\\b\"");
        QTest::newRow("backslash u") << QStringLiteral("\\u0041") << QByteArray("\"\\\\u0041\"");
        QTest::newRow("line feed") << QStringLiteral("a\nb") << QByteArray("\"a\\nb\"");
        QTest::newRow("tab") << QStringLiteral("\t") << QByteArray("\"\\t\"");
        QTest::newRow("carriage return") << QStringLiteral("\r") << QByteArray("\"\\r\"");
        QTest::newRow("backspace") << QStringLiteral("\b") << QByteArray("\"\\b\"");
        QTest::newRow("form feed") << QStringLiteral("\f") << QByteArray("\"\\f\"");
        QTest::newRow("nul") << QString(QChar(0)) << QByteArray("\"\\u0000\"");
        QTest::newRow("U+0001") << QString(QChar(1)) << QByteArray("\"\\u0001\"");
        QTest::newRow("vertical tab") << QString(QChar(0x0B)) << QByteArray("\"\\u000b\"");
        QTest::newRow("escape") << QString(QChar(0x1B)) << QByteArray("\"\\u001b\"");
        QTest::newRow("U+001F") << QString(QChar(0x1F)) << QByteArray("\"\\u001f\"");
        QTest::newRow("space") << QStringLiteral(" ") << QByteArray("\" \"");
        QTest::newRow("delete") << QString(QChar(0x7F)) << QByteArray("\"\x7F\"");
        QTest::newRow("accent") << QStringLiteral("caf\u00E9") << QByteArray("\"caf\xC3\xA9\"");
        QTest::newRow("euro") << QStringLiteral("\u20AC") << QByteArray("\"\xE2\x82\xAC\"");
        QTest::newRow("emoji") << QStringLiteral("\U0001F600") << QByteArray("\"\xF0\x9F\x98\x80\"");
        QTest::newRow("line separator") << QStringLiteral("\u2028") << QByteArray("\"\xE2\x80\xA8\"");
        QTest::newRow("byte order mark") << QStringLiteral("\uFEFF") << QByteArray("\"\xEF\xBB\xBF\"");
        QTest::newRow("mixed") << QStringLiteral("a/\"\\\n\u0001\u00E9</script>")
                               << QByteArray("\"a\\/\\\"\\\\\\n\\u0001\xC3\xA9<\\/script>\"");
    }
    void escapes()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        QCOMPARE(lowerHexEscapes(literal(text)), expected);

        // The same escaping applies to values and names inside a document, and reads back as the text.
        const QString key = QLatin1Char('k') + text;
        const QByteArray keyLiteral = "\"k" + expected.mid(1);
        const JsonValue value(JsonValue::Array{JsonValue(JsonValue::Object{{key, text}})});
        const auto root = TreeNode::fromJsonValue(value, QStringLiteral("root"));
        const auto written = root->jsonText();
        QVERIFY(written);
        QCOMPARE(lowerHexEscapes(*written), "[{" + keyLiteral + ":" + expected + "}]");
        const auto back = parsed(*written);
        QVERIFY(back);
        QVERIFY(*back == value);
    }

    // Children sharing a name give one member holding the value of the later child.
    void duplicateNames_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("names"); // new name per child; "-" keeps the name
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("later renamed") << QByteArray(R"({"a":1,"b":2})") << QStringList{"-", "a"}
                                       << QByteArray(R"({"a":2})");
        QTest::newRow("earlier renamed") << QByteArray(R"({"a":1,"b":2})") << QStringList{"b", "-"}
                                         << QByteArray(R"({"b":2})");
        QTest::newRow("not adjacent") << QByteArray(R"({"a":1,"b":2,"c":3})") << QStringList{"-", "-", "a"}
                                      << QByteArray(R"({"a":3,"b":2})");
        QTest::newRow("three alike") << QByteArray(R"({"a":1,"b":2,"c":3})") << QStringList{"x", "x", "x"}
                                     << QByteArray(R"({"x":3})");
        QTest::newRow("sorted between") << QByteArray(R"({"a":1,"m":2,"z":3})") << QStringList{"-", "-", "a"}
                                        << QByteArray(R"({"a":3,"m":2})");
        QTest::newRow("leaf replaces object")
            << QByteArray(R"({"a":{"p":1},"b":2})") << QStringList{"-", "a"} << QByteArray(R"({"a":2})");
        QTest::newRow("array replaces leaf")
            << QByteArray(R"({"a":1,"b":[1]})") << QStringList{"-", "a"} << QByteArray(R"({"a":[1]})");
        QTest::newRow("nested") << QByteArray(R"({"o":{"a":1,"b":2},"p":0})") << QStringList{"-", "o"}
                                << QByteArray(R"({"o":0})");
    }
    void duplicateNames()
    {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, names);
        QFETCH(QByteArray, expected);
        const auto root = tree(input);
        QVERIFY(root);
        QCOMPARE(root->childCount(), names.size());
        for (qsizetype i = 0; i < names.size(); ++i)
            if (names[i] != QLatin1String("-"))
                root->child(i)->setNameLabel(names[i]);
        // Both nodes stay in the tree; only the text merges them.
        QCOMPARE(root->childCount(), names.size());
        QCOMPARE(textOf(root), expected);
        const auto object = root->jsonObject();
        QVERIFY(object);
        QVERIFY(*object == *parsed(expected));
    }

    // Array elements are written without names, even when the user typed one.
    void arrayElementNames()
    {
        const auto root = tree(R"([1,{"k":[2,3]}])");
        QVERIFY(root);
        root->child(0)->setNameLabel(QStringLiteral("x"));
        root->child(1)->child(0)->child(1)->setNameLabel(QStringLiteral("y"));
        root->setNameLabel(QStringLiteral("renamed root"));
        QCOMPARE(textOf(root), QByteArray(R"([1,{"k":[2,3]}])"));
        QVERIFY(*root->jsonObject() == *parsed(R"([1,{"k":[2,3]}])"));
        // A named collection inside an array too.
        root->child(1)->setNameLabel(QStringLiteral("z"));
        QCOMPARE(textOf(root->child(1)->child(0)), QByteArray("[2,3]"));
        QCOMPARE(textOf(root), QByteArray(R"([1,{"k":[2,3]}])"));
    }

    // A root that became a leaf has no JSON text: the write fails and the reason is logged under jsonText.
    void scalarRootRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("string") << QStringLiteral("String");
        QTest::newRow("number") << QStringLiteral("Number");
        QTest::newRow("boolean") << QStringLiteral("Boolean");
        QTest::newRow("null") << QStringLiteral("Null");
    }
    void scalarRootRefused()
    {
        QFETCH(QString, kind);
        const auto root = tree(R"({"a":1})");
        QVERIFY(root);
        root->setKindLabel(kind);
        QVERIFY(!root->isCollection());
        LogRecorder log;
        QString error;
        QCOMPARE(root->jsonText(&error), std::optional<QByteArray>());
        QVERIFY(!error.trimmed().isEmpty());
        QCOMPARE(log.errorsNaming(QStringLiteral("jsonText")), 1);
        QVERIFY(log.lines.back().contains(error));
        QVERIFY(!JsonWriter::write(root.get()));
        QVERIFY(!JsonWriter::write(nullptr));
    }

    // A number that JSON cannot hold, or a leaf left without a value, makes the write fail instead of
    // producing text that no reader accepts.
    void unwritableLeaf_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("typed");
        QTest::newRow("nan") << QByteArray(R"({"a":{"b":[1.5]}})") << QStringLiteral("nan");
        QTest::newRow("inf") << QByteArray(R"({"a":{"b":[1.5]}})") << QStringLiteral("inf");
        QTest::newRow("minus infinity") << QByteArray(R"({"a":{"b":[1.5]}})") << QStringLiteral("-Infinity");
        QTest::newRow("overflow") << QByteArray(R"({"a":{"b":[1.5]}})") << QStringLiteral("1e999");
        QTest::newRow("integer typed inf") << QByteArray(R"({"a":{"b":[1]}})") << QStringLiteral("inf");
        QTest::newRow("float typed text") << QByteArray(R"({"a":{"b":[1.5]}})") << QStringLiteral("abc");
        QTest::newRow("boolean typed text") << QByteArray(R"({"a":{"b":[true]}})") << QStringLiteral("maybe");
    }
    void unwritableLeaf()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, typed);
        const auto root = tree(input);
        QVERIFY(root);
        TreeNode* leaf = root->child(0)->child(0)->child(0);
        leaf->setValueLabel(typed);
        LogRecorder log;
        QString error;
        QCOMPARE(root->jsonText(&error), std::optional<QByteArray>());
        QVERIFY(!error.trimmed().isEmpty());
        QCOMPARE(log.errorsNaming(QStringLiteral("jsonText")), 1);
        // The subtree holding the leaf cannot be written either; a sibling subtree can.
        QVERIFY(!root->child(0)->child(0)->jsonText());
        // A writable value makes the document writable again.
        if (leaf->isBoolean())
            leaf->setValueLabel(QStringLiteral("true"));
        else
            leaf->setValueLabel(QStringLiteral("2.5"));
        const auto text = root->jsonText();
        QVERIFY(text);
        QVERIFY(*parsed(*text) == *root->jsonObject());
    }

    // A node whose kind is no kind has no JSON value; the write fails rather than guess one.
    void unknownKindRefused()
    {
        const auto root = tree(R"({"a":[1,2],"b":3})");
        QVERIFY(root);
        root->child(0)->child(1)->setKind(42);
        LogRecorder log;
        QString error;
        QCOMPARE(root->jsonText(&error), std::optional<QByteArray>());
        QVERIFY(!error.trimmed().isEmpty());
        QCOMPARE(log.errorsNaming(QStringLiteral("jsonText")), 1);
        QCOMPARE(root->jsonObject(), std::optional<JsonValue>());
        // An unknown collection kind at the top is refused too.
        root->setKind(-1);
        QCOMPARE(root->jsonText(), std::optional<QByteArray>());
    }

    // Integers are written in plain decimal, floats in a form that reads back as the same double.
    void numbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("tenth") << 0.1;
        QTest::newRow("third") << 1.0 / 3;
        QTest::newRow("negative half") << -0.5;
        QTest::newRow("many digits") << 123456.789;
        QTest::newRow("small") << 1e-5;
        QTest::newRow("smaller") << 2.5e-7;
        QTest::newRow("denormal") << 5e-324;
        QTest::newRow("smallest normal") << -2.2250738585072014e-308;
        QTest::newRow("huge") << 1e300;
        QTest::newRow("max") << std::numeric_limits<double>::max();
        QTest::newRow("above 64 bits") << 18446744073709551616.0;
        QTest::newRow("big fraction") << 4503599627370495.5;
    }
    void numbers()
    {
        QFETCH(double, value);
        const auto root = TreeNode::fromJsonValue(JsonValue(JsonValue::Array{value}), QStringLiteral("root"));
        QCOMPARE(root->child(0)->kind(), qint64(NodeKind::Float));
        const auto text = root->jsonText();
        QVERIFY(text);
        const auto back = parsed(*text);
        QVERIFY2(back, text->constData());
        QCOMPARE(back->toArray().at(0).type(), JsonValue::Type::Float);
        QCOMPARE(back->toArray().at(0).toDouble(), value);
    }

    void integers()
    {
        const auto root = tree("[-9223372036854775808,9223372036854775807,0,-1,42]");
        QVERIFY(root);
        QCOMPARE(textOf(root), QByteArray("[-9223372036854775808,9223372036854775807,0,-1,42]"));
    }

    // Typing a whole number into a float node keeps it a float; its text reads back as that number.
    void floatNodeSetToWholeNumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<JsonValue>("readBack");
        QTest::newRow("5") << QStringLiteral("5") << JsonValue(5);
        QTest::newRow("1e3") << QStringLiteral("1e3") << JsonValue(1000);
        QTest::newRow("-7.0") << QStringLiteral("-7.0") << JsonValue(-7);
        QTest::newRow("0x10") << QStringLiteral("0x10") << JsonValue(16);
        QTest::newRow("2.25") << QStringLiteral("2.25") << JsonValue(2.25);
    }
    void floatNodeSetToWholeNumber()
    {
        QFETCH(QString, typed);
        QFETCH(JsonValue, readBack);
        const auto root = tree(R"({"x":2.5})");
        QVERIFY(root);
        TreeNode* node = root->child(0);
        node->setValueLabel(typed);
        QCOMPARE(node->kind(), qint64(NodeKind::Float));
        const auto text = root->jsonText();
        QVERIFY(text);
        const auto back = parsed(*text);
        QVERIFY2(back, text->constData());
        QVERIFY(*back->member(QStringLiteral("x")) == readBack);
    }

    // An integer node given a fraction becomes a float and is written as one.
    void integerNodeSetToFraction()
    {
        const auto root = tree("[1]");
        QVERIFY(root);
        root->child(0)->setValueLabel(QStringLiteral("2.5"));
        QCOMPARE(textOf(root), QByteArray("[2.5]"));
    }

    // The JSON value of a node and its JSON text denote the same thing, for every node that can be written.
    void jsonObjectAgreesWithText()
    {
        struct Case
        {
            const char* name;
            QByteArray input;
            std::function<void(TreeNode*)> edit;
        };
        const std::vector<Case> cases{
            {"read", R"({"b":[1,2.5,"s",null,true,{"y":{},"x":[]}],"a":"x/y","e":""})", [](TreeNode*) {}},
            {"reversed", R"({"b":1,"a":{"d":2,"c":3}})",
             [](TreeNode* root) {
                 reverseChildren(root);
                 reverseChildren(root->child(1));
             }},
            {"duplicates", R"({"a":1,"b":{"c":2},"d":3})",
             [](TreeNode* root) {
                 root->child(1)->setNameLabel(QStringLiteral("a"));
                 root->child(2)->setNameLabel(QStringLiteral("b"));
             }},
            {"kinds changed", R"({"a":"42","b":1,"c":{"k":1}})",
             [](TreeNode* root) {
                 root->child(0)->setKindLabel(QStringLiteral("Number"));
                 root->child(1)->setKindLabel(QStringLiteral("String"));
                 root->child(2)->setKindLabel(QStringLiteral("Array"));
             }},
            {"inserted", R"({"z":[]})",
             [](TreeNode* root) {
                 root->insertNewChild(-1);
                 root->insertNewChild(0);
                 root->child(0)->insertNewChild(-1);
             }},
            {"named elements", R"([[1],[2]])",
             [](TreeNode* root) {
                 root->child(0)->setNameLabel(QStringLiteral("n"));
                 root->child(1)->child(0)->setNameLabel(QStringLiteral("m"));
             }},
        };
        for (const Case& c : cases) {
            const auto root = tree(c.input);
            QVERIFY2(root, c.name);
            c.edit(root.get());
            std::vector<const TreeNode*> pending{root.get()};
            while (!pending.empty()) {
                const TreeNode* node = pending.back();
                pending.pop_back();
                for (const TreeNode* child : node->children())
                    pending.push_back(child);
                if (!node->isCollection())
                    continue;
                const auto text = node->jsonText();
                const auto value = node->jsonObject();
                QVERIFY2(text && value, c.name);
                const auto back = parsed(*text);
                QVERIFY2(back, c.name);
                QVERIFY2(*back == *value, qPrintable(QStringLiteral("%1 at %2").arg(c.name, node->path())));
                QCOMPARE(TreeNode::fromJsonValue(*value, QStringLiteral("root"))->jsonText(), text);
            }
        }
    }

    // The empty name is a name like any other: it sorts first, is escaped as "", and merges with a sibling of
    // the same (empty) name.
    void emptyNames()
    {
        const auto read = tree(R"({"x":1,"":2})");
        QVERIFY(read);
        QCOMPARE(textOf(read), QByteArray(R"({"":2,"x":1})"));
        reverseChildren(read.get());
        QCOMPARE(textOf(read), QByteArray(R"({"":2,"x":1})"));

        const auto cleared = tree(R"({"a":1,"b":{"c":true}})");
        QVERIFY(cleared);
        cleared->child(1)->child(0)->setNameLabel(QString());
        QCOMPARE(textOf(cleared), QByteArray(R"({"a":1,"b":{"":true}})"));
        cleared->child(0)->setNameLabel(QString());
        cleared->child(1)->setNameLabel(QString());
        QCOMPARE(textOf(cleared), QByteArray(R"({"":{"":true}})"));
        QVERIFY(*cleared->jsonObject() == *parsed(R"({"":{"":true}})"));

        QCOMPARE(literal(QString()), QByteArray("\"\""));
    }
};

QTEST_GUILESS_MAIN(TestJsonWriter)
#include "tst_jsonwriter.moc"
