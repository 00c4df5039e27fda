#include "TestSupport.h"
#include "model/Document.h"
#include "model/FilterPass.h"
#include "model/JsonReader.h"
#include "model/JsonValue.h"
#include "model/NodeMatcher.h"
#include "model/SearchSettings.h"
#include "model/TreeNode.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

Q_DECLARE_METATYPE(JsonValue)

namespace {

using Type = JsonValue::Type;

// A private copy of the bytes: how the reader treats a buffer it shares with its caller is checked on its
// own (sharedBuffer), so that the other checks do not depend on it.
QByteArray unshared(const QByteArray& bytes)
{
    return QByteArray(bytes.constData(), bytes.size());
}

// The parsed value, or an invalid optional (with the reason in `why`) when the text is refused.
std::optional<JsonValue> parsed(const QByteArray& utf8, ParseError* why = nullptr)
{
    auto result = JsonReader::parseValue(unshared(utf8));
    if (auto* error = std::get_if<ParseError>(&result)) {
        if (why)
            *why = *error;
        return std::nullopt;
    }
    return std::get<JsonValue>(std::move(result));
}

// A readable form of a value for failure messages, types included: [integer 2, float 2.5].
QString debugText(const JsonValue& value)
{
    switch (value.type()) {
    case Type::Null:
        return QStringLiteral("null");
    case Type::Boolean:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case Type::Integer:
        return QStringLiteral("integer %1").arg(value.toInteger());
    case Type::Float:
        return QStringLiteral("float %1").arg(value.toDouble(), 0, 'g', 17);
    case Type::String:
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    case Type::Array: {
        QStringList items;
        for (const JsonValue& item : value.toArray())
            items << debugText(item);
        return QLatin1Char('[') + items.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    case Type::Object: {
        QStringList members;
        for (const auto& [key, member] : value.toObject())
            members << key + QStringLiteral(": ") + debugText(member);
        return QLatin1Char('{') + members.join(QStringLiteral(", ")) + QLatin1Char('}');
    }
    }
    return {};
}

// The first character after JSON whitespace, or 0 when there is none.
char firstSignificant(const QByteArray& bytes)
{
    for (char c : bytes)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return c;
    return 0;
}

QByteArray nestedArrays(int depth, const QByteArray& innermost = QByteArray())
{
    return QByteArray(depth, '[') + innermost + QByteArray(depth, ']');
}

QString testSuiteDir()
{
    return QStringLiteral(BRACKWELL_TESTDATA_DIR "/JSONTestSuite/test_parsing");
}

} // namespace

class TestJsonReader : public QObject
{
    Q_OBJECT
private slots:
    // No search outlives the test that set it.
    void cleanup()
    {
        SearchSettings::current().text.clear();
        TreeNode::compileSearchExpression();
    }

    // Numbers are integers whenever their value is an integer in 64 bits, whatever their form; booleans are
    // never numbers.
    void classification_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<JsonValue>("expected");
        const qint64 max = std::numeric_limits<qint64>::max();
        const qint64 min = std::numeric_limits<qint64>::min();
        QTest::newRow("booleans and numbers")
            << QByteArray("[true,1,0,false]") << JsonValue(JsonValue::Array{true, 1, 0, false});
        QTest::newRow("integral forms") << QByteArray("[2.0,2.5,1e3]") << JsonValue(JsonValue::Array{2, 2.5, 1000});
        QTest::newRow("exponent forms") << QByteArray("[1E2,1e+2,100e-2,12.5e1,0.5e1]")
                                        << JsonValue(JsonValue::Array{100, 100, 1, 125, 5});
        QTest::newRow("minus zero") << QByteArray("[-0,-0.0,-0e5]") << JsonValue(JsonValue::Array{0, 0, 0});
        QTest::newRow("max") << QByteArray("[9223372036854775807]") << JsonValue(JsonValue::Array{max});
        QTest::newRow("min") << QByteArray("[-9223372036854775808]") << JsonValue(JsonValue::Array{min});
        QTest::newRow("min as float") << QByteArray("[-9223372036854775808.0]") << JsonValue(JsonValue::Array{min});
        // Beyond 64 bits: the nearest double.
        QTest::newRow("above max") << QByteArray("[9223372036854775808]")
                                   << JsonValue(JsonValue::Array{9223372036854775808.0});
        QTest::newRow("below min") << QByteArray("[-9223372036854775809]")
                                   << JsonValue(JsonValue::Array{-9223372036854775808.0});
        QTest::newRow("above unsigned") << QByteArray("[18446744073709551616]")
                                        << JsonValue(JsonValue::Array{18446744073709551616.0});
        QTest::newRow("thirty digits") << QByteArray("[123456789012345678901234567890]")
                                       << JsonValue(JsonValue::Array{123456789012345678901234567890.0});
        QTest::newRow("large negative") << QByteArray("[-123456789012345678901234567890]")
                                        << JsonValue(JsonValue::Array{-123456789012345678901234567890.0});
        QTest::newRow("max as float") << QByteArray("[9223372036854775807.0]")
                                      << JsonValue(JsonValue::Array{9223372036854775808.0});
        QTest::newRow("long fraction") << QByteArray("[3.14159265358979323846]")
                                       << JsonValue(JsonValue::Array{3.14159265358979323846});
        QTest::newRow("twenty digits and a fraction")
            << QByteArray("[12345678901234567890.5]") << JsonValue(JsonValue::Array{12345678901234567890.5});
        QTest::newRow("many zero decimals")
            << QByteArray("[1.0000000000000000000,-0.50000000000000000000]") << JsonValue(JsonValue::Array{1, -0.5});
        QTest::newRow("fractions") << QByteArray("[0.1,-2.5,5e-324,1.7976931348623157e308]")
                                   << JsonValue(JsonValue::Array{0.1, -2.5, 5e-324, 1.7976931348623157e308});
        QTest::newRow("other values") << QByteArray(R"({"s":"x","n":null,"a":[],"o":{}})")
                                      << JsonValue(JsonValue::Object{{"s", "x"},
                                                                     {"n", nullptr},
                                                                     {"a", JsonValue::Array{}},
                                                                     {"o", JsonValue::Object{}}});
    }
    void classification()
    {
        QFETCH(QByteArray, text);
        QFETCH(JsonValue, expected);
        ParseError error;
        const auto value = parsed(text, &error);
        QVERIFY2(value, qPrintable(error.description()));
        // Equality compares the variant, so an integer never equals the same value held as a double.
        QVERIFY2(*value == expected, qPrintable(debugText(*value)));

        // The tree classifies alike: every integer value gives an integer node, every double a float node.
        const auto document = Document::documentFromText(QString::fromUtf8(text));
        QVERIFY(document);
        const TreeNode* root = document->root();
        if (expected.isArray()) {
            const auto& items = expected.toArray();
            QCOMPARE(root->childCount(), qsizetype(items.size()));
            for (std::size_t i = 0; i < items.size(); ++i) {
                const TreeNode* node = root->child(qsizetype(i));
                switch (items[i].type()) {
                case Type::Integer:
                    QCOMPARE(node->kind(), qint64(NodeKind::Integer));
                    QCOMPARE(node->value(), QVariant(items[i].toInteger()));
                    break;
                case Type::Float:
                    QCOMPARE(node->kind(), qint64(NodeKind::Float));
                    QCOMPARE(node->value(), QVariant(items[i].toDouble()));
                    break;
                case Type::Boolean:
                    QCOMPARE(node->kind(), qint64(NodeKind::Boolean));
                    QCOMPARE(node->value(), QVariant(items[i].toBool()));
                    break;
                default:
                    QFAIL("unexpected element type in the table");
                }
            }
        }
    }

    // Strings arrive exactly as written, escapes decoded; a leading U+FEFF inside a string is content.
    void strings_data()
    {
        QTest::addColumn<QByteArray>("literal");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QByteArray("\"abc\"") << QStringLiteral("abc");
        QTest::newRow("empty") << QByteArray("\"\"") << QString();
        QTest::newRow("short escapes") << QByteArray("\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"")
                                       << QStringLiteral("\"\\/\b\f\n\r\t");
        QTest::newRow("unicode escape") << QByteArray("\"caf\\u00e9\"") << QStringLiteral("caf\u00E9");
        QTest::newRow("surrogate pair") << QByteArray("\"\\ud83d\\ude00\"") << QStringLiteral("\U0001F600");
        QTest::newRow("escaped nul") << QByteArray("\"a\\u0000b\"") << QString::fromUtf16(u"a\0b", 3);
        QTest::newRow("raw utf-8") << QByteArray("\"\xE2\x82\xAC\"") << QStringLiteral("\u20AC");
        QTest::newRow("escaped leading bom") << QByteArray("\"\\ufeffx\"") << QStringLiteral("\uFEFFx");
        QTest::newRow("raw leading bom") << QByteArray("\"\xEF\xBB\xBFx\"") << QStringLiteral("\uFEFFx");
        QTest::newRow("bom only") << QByteArray("\"\\ufeff\"") << QStringLiteral("\uFEFF");
    }
    void strings()
    {
        QFETCH(QByteArray, literal);
        QFETCH(QString, text);
        const QByteArray document = "[" + literal + ",{" + literal + ":1}]";
        const JsonValue expected(JsonValue::Array{text, JsonValue::Object{{text, 1}}});
        const auto tree = Document::documentFromBytes(unshared(document));
        QVERIFY(tree);
        QCOMPARE(tree->root()->child(0)->value(), QVariant(text));
        QCOMPARE(tree->root()->child(1)->child(0)->name(), text);
        QVERIFY(*tree->root()->jsonObject() == expected);

        ParseError error;
        const auto value = parsed(document, &error);
        QVERIFY2(value, qPrintable(error.description()));
        QCOMPARE(value->toArray().at(0).toString(), text);
        QVERIFY2(*value == expected, qPrintable(debugText(*value)));
    }

    // Numbers too large for a double are refused rather than read as infinity.
    void numberOverflowRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("1e400") << QByteArray("[1e400]");
        QTest::newRow("-1e400") << QByteArray("[-1e400]");
        QTest::newRow("long integer beyond double") << QByteArray("[1" + QByteArray(400, '0') + "]");
    }
    void numberOverflowRefused()
    {
        QFETCH(QByteArray, text);
        ParseError error;
        QVERIFY(!parsed(text, &error));
        QVERIFY(!error.message.isEmpty());
        QVERIFY(!Document::documentFromText(QString::fromUtf8(text)));
    }

    // Only an array or an object may stand at the top level.
    void topLevelScalarRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("number") << QByteArray("5");
        QTest::newRow("string") << QByteArray("\"x\"");
        QTest::newRow("null") << QByteArray("null");
        QTest::newRow("true") << QByteArray("true");
        QTest::newRow("padded number") << QByteArray(" 5 ");
        QTest::newRow("negative") << QByteArray("-1.5");
    }
    void topLevelScalarRefused()
    {
        QFETCH(QByteArray, text);
        ParseError error;
        QVERIFY(!parsed(text, &error));
        QVERIFY(!error.message.isEmpty());
        ParseError documentError;
        QVERIFY(!Document::documentFromText(QString::fromUtf8(text), &documentError));
        QVERIFY(!documentError.message.isEmpty());
    }

    // A parse error says what is wrong and where: byte offset, 1-based line, and column in characters.
    void errorPosition_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::newRow("bad literal on line 3") << QByteArray("{\n  \"a\": 1,\n  \"b\": tru\n}") << qint64(19) << 3 << 8;
        QTest::newRow("bad literal after crlf") << QByteArray("[1,\r\n nul]") << qint64(6) << 2 << 2;
        QTest::newRow("invalid utf-8 after accents")
            << QByteArray("[\"ok\",\n\"\xC3\xA9\xC3\xA9\xFF\"]") << qint64(12) << 2 << 4;
        QTest::newRow("control character in string") << QByteArray("[\n\"ab\tc\"]") << qint64(5) << 2 << 4;
        QTest::newRow("unclosed string") << QByteArray("[1,\n  \"abc") << qint64(6) << 2 << 3;
    }
    void errorPosition()
    {
        QFETCH(QByteArray, text);
        QFETCH(qint64, offset);
        QFETCH(int, line);
        QFETCH(int, column);
        ParseError error;
        QVERIFY(!parsed(text, &error));
        QVERIFY(!error.message.trimmed().isEmpty());
        QCOMPARE(error.offset, offset);
        QCOMPARE(error.line, line);
        QCOMPARE(error.column, column);
        // The description carries the message and the position for the user.
        const QString description = error.description();
        QVERIFY(description.startsWith(error.message));
        QVERIFY(description.contains(QStringLiteral("line %1").arg(line)));
        QVERIFY(description.contains(QStringLiteral("column %1").arg(column)));
    }

    // Every malformed input gives a message and a position inside the text.
    void errorsAreDescribed_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("whitespace") << QByteArray(" \n\t");
        QTest::newRow("unterminated array") << QByteArray("[1,");
        QTest::newRow("missing colon") << QByteArray("{\"a\" 1}");
        QTest::newRow("trailing comma") << QByteArray("[1,]");
        QTest::newRow("trailing text") << QByteArray("{} x");
        QTest::newRow("two documents") << QByteArray("[][]");
        QTest::newRow("single quotes") << QByteArray("['a']");
        QTest::newRow("bad escape") << QByteArray("[\"\\x\"]");
        QTest::newRow("leading zero") << QByteArray("[01]");
        QTest::newRow("bare key") << QByteArray("{a:1}");
        QTest::newRow("nan") << QByteArray("[NaN]");
        QTest::newRow("lone bracket") << QByteArray("]");
    }
    void errorsAreDescribed()
    {
        QFETCH(QByteArray, text);
        ParseError error;
        QVERIFY(!parsed(text, &error));
        QVERIFY(!error.message.trimmed().isEmpty());
        QVERIFY(error.offset >= 0 && error.offset <= text.size());
        QVERIFY(error.line >= 1);
        QVERIFY(error.column >= 1);
    }

    // The byte-order mark picks the encoding; without one the bytes are UTF-8. Content survives exactly.
    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString text = QStringLiteral("{\"cl\u00E9\":[\"caf\u00E9 \u20AC \U0001F600\",1]}");
        QTest::newRow("utf-8") << text.toUtf8();
        QTest::newRow("utf-8 bom") << encoded(text, QStringConverter::Utf8);
        QTest::newRow("utf-16le bom") << encoded(text, QStringConverter::Utf16LE);
        QTest::newRow("utf-16be bom") << encoded(text, QStringConverter::Utf16BE);
        QTest::newRow("utf-32le bom") << encoded(text, QStringConverter::Utf32LE);
        QTest::newRow("utf-32be bom") << encoded(text, QStringConverter::Utf32BE);
    }
    void encodings()
    {
        QFETCH(QByteArray, bytes);
        const JsonValue expected(JsonValue::Object{
            {QStringLiteral("cl\u00E9"), JsonValue::Array{QStringLiteral("caf\u00E9 \u20AC \U0001F600"), 1}}});
        const auto fromBytes = Document::documentFromBytes(unshared(bytes));
        QVERIFY(fromBytes);
        QVERIFY(fromBytes->root()->jsonObject() == expected);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("encoded.json"));
        QVERIFY(writeFile(path, bytes));
        const auto fromFile = Document::documentFromFile(path);
        QVERIFY(fromFile);
        QVERIFY(fromFile->root()->jsonObject() == expected);
    }

    // Bytes that are not valid in their encoding are refused with a reason, never read with substitutes.
    void badEncodingRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("utf-8 stray continuation") << QByteArray("[\"a\x80\"]");
        QTest::newRow("utf-8 truncated sequence") << QByteArray("[\"\xE2\x82\"]");
        QTest::newRow("utf-8 overlong") << QByteArray("[\"\xC0\xAF\"]");
        QTest::newRow("utf-8 surrogate") << QByteArray("[\"\xED\xA0\x80\"]");
        QTest::newRow("utf-8 beyond U+10FFFF") << QByteArray("[\"\xF4\x90\x80\x80\"]");
        QTest::newRow("utf-8 bom then invalid") << QByteArray("\xEF\xBB\xBF[\"\xFF\"]");
        QTest::newRow("latin-1 without bom") << QByteArray("[\"caf\xE9\"]");
        // "[" "\"" U+D800 "\"" "]" in UTF-16LE: a lone high surrogate.
        QTest::newRow("utf-16le lone high surrogate") << QByteArray("\xFF\xFE[\0\"\0\x00\xD8\"\0]\0", 12);
        QTest::newRow("utf-16be lone low surrogate") << QByteArray("\xFE\xFF\0[\0\"\xDC\x00\0\"\0]", 12);
        QTest::newRow("utf-16le odd length") << QByteArray("\xFF\xFE[\0]\0 ", 7);
        QTest::newRow("utf-32le beyond U+10FFFF")
            << QByteArray("\xFF\xFE\0\0[\0\0\0\"\0\0\0\0\0\x11\0\"\0\0\0]\0\0\0", 24);
    }
    void badEncodingRefused()
    {
        QFETCH(QByteArray, bytes);
        ParseError error;
        QVERIFY(!Document::documentFromBytes(unshared(bytes), &error));
        QVERIFY(!error.message.trimmed().isEmpty());

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("bad.json"));
        QVERIFY(writeFile(path, bytes));
        ParseError fileError;
        QVERIFY(!Document::documentFromFile(path, &fileError));
        QVERIFY(!fileError.message.trimmed().isEmpty());
    }

    // The conformance suite's hostile nesting is refused with an error instead of exhausting the stack.
    void openingArraysRefused()
    {
        QByteArray text = readFile(testSuiteDir() + QStringLiteral("/n_structure_100000_opening_arrays.json"));
        QVERIFY(text.size() >= 100000);
        ParseError error;
        QVERIFY(!parsed(text, &error));
        QVERIFY(!error.message.trimmed().isEmpty());
        QVERIFY(!Document::documentFromBytes(unshared(text)));
    }

    // Well-formed nesting beyond the limit is refused too, and the error points at the level that broke it.
    void deepNestingRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint64>("offset");
        QTest::newRow("200000 arrays") << nestedArrays(200000) << qint64(JsonReader::maxDepth);
        QTest::newRow("one array too many")
            << nestedArrays(JsonReader::maxDepth + 1, "1") << qint64(JsonReader::maxDepth);
        QByteArray objects;
        for (int i = 0; i <= JsonReader::maxDepth; ++i)
            objects += "{\"k\":";
        objects += "1" + QByteArray(JsonReader::maxDepth + 1, '}');
        QTest::newRow("one object too many") << objects << qint64(JsonReader::maxDepth * 5);
    }
    void deepNestingRefused()
    {
        QFETCH(QByteArray, text);
        QFETCH(qint64, offset);
        ParseError error;
        QVERIFY(!parsed(text, &error));
        QVERIFY(!error.message.trimmed().isEmpty());
        QCOMPARE(error.offset, offset);
        QCOMPARE(error.line, 1);
        ParseError documentError;
        QVERIFY(!Document::documentFromBytes(unshared(text), &documentError));
        QCOMPARE(documentError.offset, offset);
    }

    // A document exactly at the nesting limit is read, and everything the views do with it works.
    void depthAtLimit_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("leafPath");
        const int depth = JsonReader::maxDepth;
        QString arrayPath = QStringLiteral("root");
        for (int i = 0; i < depth; ++i)
            arrayPath += QStringLiteral("[0]");
        QTest::newRow("arrays") << nestedArrays(depth, "\"needle\"") << arrayPath;
        QByteArray objects;
        QString objectPath = QStringLiteral("root");
        for (int i = 0; i < depth; ++i) {
            objects += "{\"k\":";
            objectPath += QStringLiteral(".k");
        }
        objects.chop(5);
        objects += "{\"k\":\"needle\"" + QByteArray(depth, '}');
        QTest::newRow("objects") << objects << objectPath;
    }
    void depthAtLimit()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, leafPath);
        ParseError error;
        const auto value = parsed(text, &error);
        QVERIFY2(value, qPrintable(error.description()));
        auto document = Document::documentFromBytes(unshared(text), &error);
        QVERIFY2(document, qPrintable(error.description()));
        TreeNode* root = document->root();

        const TreeNode* leaf = root;
        while (leaf->childCount() > 0)
            leaf = leaf->child(0);
        QCOMPARE(leaf->value(), QVariant(QStringLiteral("needle")));
        QCOMPARE(leaf->path(), leafPath);

        // Compact text with one member per object is the input itself.
        QCOMPARE(root->jsonText(), std::optional<QByteArray>(text));
        QVERIFY(root->jsonObject() == *value);
        QVERIFY(root->description().contains(QStringLiteral("needle")));
        QCOMPARE(TreeNode::fromJsonValue(*value, QStringLiteral("root"))->jsonText(), std::optional<QByteArray>(text));

        // Filtering reaches the bottom: the only leaf matches, so every level keeps its one child.
        SearchSettings& settings = SearchSettings::current();
        settings.text = QStringLiteral("needle");
        TreeNode::compileSearchExpression();
        QCOMPARE(root->filteredChildren().size(), std::size_t(1));
        // Every collection on the way down and the leaf itself.
        QCOMPARE(FilterPass::run(root, NodeMatcher()), std::size_t(JsonReader::maxDepth + 1));
        QCOMPARE(FilterPass::keptChildCount(root), qsizetype(1));
        settings.text = QStringLiteral("haystack");
        TreeNode::compileSearchExpression();
        QVERIFY(root->filteredChildren().empty());
    }

    // Real documents survive parse, write, parse: the value is unchanged and the second write repeats the first.
    void corpusRoundTrip_data()
    {
        QTest::addColumn<QString>("path");
        const QDir dir(QStringLiteral(BRACKWELL_TESTDATA_DIR "/corpus"));
        const QStringList files = dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
        QVERIFY(!files.isEmpty());
        for (const QString& file : files)
            QTest::newRow(qPrintable(file)) << dir.filePath(file);
    }
    void corpusRoundTrip()
    {
        QFETCH(QString, path);
        const QByteArray bytes = readFile(path);
        QVERIFY(!bytes.isEmpty());
        ParseError error;
        const auto value = parsed(bytes, &error);
        QVERIFY2(value, qPrintable(error.description()));

        const auto document = Document::documentFromFile(path, &error);
        QVERIFY2(document, qPrintable(error.description()));
        const auto first = document->root()->jsonText();
        QVERIFY(first);
        QCOMPARE(TreeNode::fromJsonValue(*value, QStringLiteral("root"))->jsonText(), first);

        const auto again = parsed(*first, &error);
        QVERIFY2(again, qPrintable(error.description()));
        QVERIFY(*again == *value);

        const auto reread = Document::documentFromBytes(unshared(*first), &error);
        QVERIFY2(reread, qPrintable(error.description()));
        const auto second = reread->root()->jsonText();
        QVERIFY(second);
        QCOMPARE(*second, *first);
    }

    // Conformance: documents with an array or object at the top level are read, every malformed text is
    // refused, and the implementation-defined cases neither crash nor produce text that cannot be read back.
    void testSuite_data()
    {
        QTest::addColumn<QString>("fileName");
        const QStringList files = QDir(testSuiteDir()).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
        QCOMPARE(files.size(), 318);
        for (const QString& file : files)
            QTest::newRow(qPrintable(file)) << file;
    }
    void testSuite()
    {
        QFETCH(QString, fileName);
        const QByteArray bytes = readFile(testSuiteDir() + QLatin1Char('/') + fileName);
        ParseError error;
        const auto value = parsed(bytes, &error);
        ParseError documentError;
        auto document = Document::documentFromBytes(unshared(bytes), &documentError);

        if (fileName.startsWith(QLatin1String("n_"))) {
            QVERIFY(!value);
            QVERIFY(!error.message.trimmed().isEmpty());
            QVERIFY(!document);
            QVERIFY(!documentError.message.trimmed().isEmpty());
            return;
        }
        if (fileName.startsWith(QLatin1String("y_"))) {
            const char first = firstSignificant(bytes);
            if (first != '[' && first != '{') {
                QVERIFY(!value);
                QVERIFY(!document);
                return;
            }
            QVERIFY2(value, qPrintable(error.description()));
            QVERIFY2(document, qPrintable(documentError.description()));
        }
        if (!value && !document)
            return;
        // Whatever is accepted is written as text that reads back as the same value.
        if (value) {
            const auto text = TreeNode::fromJsonValue(*value, QStringLiteral("root"))->jsonText();
            QVERIFY(text);
            const auto again = parsed(*text, &error);
            QVERIFY2(again, qPrintable(error.description()));
            QVERIFY2(*again == *value,
                     qPrintable(debugText(*again) + QStringLiteral(" read back from ") + QString::fromUtf8(*text)));
            QCOMPARE(TreeNode::fromJsonValue(*again, QStringLiteral("root"))->jsonText(), text);
        }
        if (document) {
            const auto text = document->root()->jsonText();
            QVERIFY(text);
            const auto again = parsed(*text, &error);
            QVERIFY2(again, qPrintable(error.description()));
            QVERIFY(*again == *document->root()->jsonObject());
        }
    }

    // The reader may pad the text it is given; a buffer that the caller still holds stays the caller's.
    void sharedBuffer()
    {
        QByteArray text("[1,{\"a\":\"b\"}]");
        text.reserve(4096);
        const QByteArray kept = text;
        const auto value = JsonReader::parseValue(text);
        QVERIFY(std::holds_alternative<JsonValue>(value));
        QVERIFY(std::get<JsonValue>(value) == JsonValue(JsonValue::Array{1, JsonValue::Object{{"a", "b"}}}));
        QCOMPARE(kept, QByteArray("[1,{\"a\":\"b\"}]"));

        const auto document = Document::documentFromBytes(kept);
        QVERIFY(document);
        QCOMPARE(document->root()->jsonText(), std::optional<QByteArray>(kept));
        QCOMPARE(kept, QByteArray("[1,{\"a\":\"b\"}]"));

        // Written text is a typical caller's buffer: it has spare room and is kept for later.
        const auto written = document->root()->jsonText();
        QVERIFY(written);
        const auto again = Document::documentFromBytes(*written);
        QVERIFY(again);
        QCOMPARE(again->root()->jsonText(), written);
    }
};

QTEST_GUILESS_MAIN(TestJsonReader)
#include "tst_jsonreader.moc"
