#include "TestSupport.h"
#include "model/Document.h"
#include "model/FilterPass.h"
#include "model/JsonReader.h"
#include "model/JsonValue.h"
#include "model/NodeMatcher.h"
#include "model/SearchSettings.h"
#include "model/TreeNode.h"

#include <QDir>
#include <QTest>
#include <limits>

Q_DECLARE_METATYPE(JsonValue)
Q_DECLARE_METATYPE(Error::Code)

namespace {

// A private copy of the bytes: how the reader treats a buffer it shares with its caller is checked on its
// own (sharedBuffer), so that the other checks do not depend on it.
QByteArray unshared(const QByteArray& bytes)
{
    return QByteArray(bytes.constData(), bytes.size());
}

// The parsed value, or an invalid optional (with the reason in `why`) when the text is refused.
std::optional<JsonValue> parsed(const QByteArray& utf8, Error* why = nullptr)
{
    auto result = JsonReader::parseValue(unshared(utf8));
    if (result)
        return std::move(*result);
    if (why)
        *why = result.error();
    return std::nullopt;
}

// The text a value is written as.
std::optional<QByteArray> written(const JsonValue& value)
{
    auto text = TreeNode::fromJsonValue(value, QStringLiteral("root"))->jsonText();
    return text ? std::optional(*text) : std::nullopt;
}

QByteArray nestedArrays(int depth, const QByteArray& innermost = QByteArray())
{
    return QByteArray(depth, '[') + innermost + QByteArray(depth, ']');
}

// Accepted text is written as text that reads back as the same value, and writing that again repeats it.
void verifyRoundTrip(const std::optional<JsonValue>& value, const Document* document)
{
    if (value) {
        const auto text = written(*value);
        QVERIFY(text);
        const auto again = parsed(*text);
        QVERIFY2(again && *again == *value, text->constData());
        QCOMPARE(written(*again), text);
    }
    if (document) {
        const auto text = document->root()->jsonText();
        QVERIFY(text);
        const auto again = parsed(*text);
        QVERIFY2(again && *again == *document->root()->jsonObject(), text->constData());
        const auto reread = loaded(Document::documentFromBytes(unshared(*text)));
        QVERIFY(reread);
        QCOMPARE(reread->root()->jsonText().value_or("?"), *text);
    }
}

const QString testSuiteDir = QStringLiteral(BRACKWELL_TESTDATA_DIR "/JSONTestSuite/test_parsing");

} // namespace

class TestJsonReader : public QObject
{
    Q_OBJECT
private slots:
    // Numbers are integers whenever their value is an integer in 64 bits, whatever their form, and the nearest
    // double otherwise; booleans are never numbers. Strings and names arrive exactly as written, escapes decoded;
    // a leading U+FEFF inside a string is content. The tree reads alike.
    void values_data()
    {
        using A = JsonValue::Array;
        using O = JsonValue::Object;
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<JsonValue>("expected");
        const auto row = [](const char* tag, const QByteArray& text, const JsonValue& expected) {
            QTest::newRow(tag) << text << expected;
        };
        const qint64 max = std::numeric_limits<qint64>::max();
        const qint64 min = std::numeric_limits<qint64>::min();
        row("booleans, null", "[true,1,0,false,null]", A{true, 1, 0, false, {}});
        row("integral forms", "[2.0,2.5,1e3,1E+2,100e-2,-0,-0.0]", A{2, 2.5, 1000, 100, 1, 0, 0});
        row("64-bit limits", "[9223372036854775807,-9223372036854775808,-9223372036854775808.0,9223372036854775807.0]",
            A{max, min, min, 9223372036854775808.0});
        row("beyond 64 bits", "[9223372036854775808,-9223372036854775809,123456789012345678901234567890]",
            A{9223372036854775808.0, -9223372036854775808.0, 123456789012345678901234567890.0});
        row("long tokens", "[12345678901234567890.5,1.0000000000000000000,-0.50000000000000000000]",
            A{12345678901234567890.5, 1, -0.5});
        row("fractions", "[0.1,-2.5,5e-324,1.7976931348623157e308]", A{0.1, -2.5, 5e-324, 1.7976931348623157e308});
        // Below the smallest double is zero, however many digits the number is written with.
        row("too small for a double", "[1e-400,1.00000000000000000000e-400,-0.000000000000000000001e-330]", A{0, 0, 0});
        row("collections", R"({"a":[],"o":{}})", O{{"a", A{}}, {"o", O{}}});
        // Each string as a value and as a name.
        const auto text = [&row](const char* tag, const QByteArray& literal, const QString& string) {
            row(tag, "[" + literal + ",{" + literal + ":1}]", A{string, O{{string, 1}}});
        };
        text("empty string", "\"\"", QString());
        text("raw utf-8", "\"caf\xC3\xA9 \xE2\x82\xAC\"", QStringLiteral("caf\u00E9 \u20AC"));
        text("short escapes", "\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", QStringLiteral("\"\\/\b\f\n\r\t"));
        text("unicode escapes", "\"\\u00e9\\ud83d\\ude00\"", QStringLiteral("\u00E9\U0001F600"));
        text("escaped nul", "\"a\\u0000b\"", QString::fromUtf16(u"a\0b", 3));
        text("escaped leading bom", "\"\\ufeffx\"", QStringLiteral("\uFEFFx"));
        text("raw leading bom", "\"\xEF\xBB\xBFx\"", QStringLiteral("\uFEFFx"));
    }
    void values()
    {
        QFETCH(QByteArray, text);
        QFETCH(JsonValue, expected);
        Error error;
        const auto value = parsed(text, &error);
        QVERIFY2(value, qPrintable(error.description()));
        // Equality compares the variant, so an integer never equals the same value held as a double.
        QVERIFY(*value == expected);
        const auto document = loaded(Document::documentFromBytes(unshared(text)));
        QVERIFY(document);
        QVERIFY(*document->root()->jsonObject() == expected);
        // Indexed by JsonValue::Type.
        const NodeKind kinds[] = {NodeKind::Null,   NodeKind::Boolean, NodeKind::Integer, NodeKind::Float,
                                  NodeKind::String, NodeKind::Array,   NodeKind::Object};
        const TreeNode* root = document->root();
        if (expected.isArray())
            for (qsizetype i = 0; i < root->childCount(); ++i)
                QCOMPARE(root->child(i)->kind(), qint64(kinds[int(expected.toArray()[std::size_t(i)].type())]));
    }

    // Refused with a reason: malformed text, a number beyond a double (never infinity), bytes invalid in their
    // encoding (never substituted), nesting beyond the limit (top-level scalars: see testSuite). Where given, the
    // error points at the fault: byte offset, 1-based line, column in characters.
    void refused_data()
    {
        using Code = Error::Code;
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Error::Code>("code");
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        const auto row = [](const char* tag, const QByteArray& text, Code code, qint64 offset = -1, int line = 0,
                            int column = 0) { QTest::newRow(tag) << text << code << offset << line << column; };
        row("1e400", "[1e400]", Code::NumberOutOfRange);
        row("1e400 in many digits", "[1.00000000000000000000e400]", Code::NumberOutOfRange);
        // A string followed by a colon is no member name inside an array, nor a second one in an object; a
        // stray closer after it must not let the rest be skipped.
        row("colon after a string element", "[\"x\" : 1 }, 2]", Code::Syntax);
        row("colon after a member's string value", "{\"b\":\"c\": 1}}", Code::Syntax);
        row("long integer beyond double", "[1" + QByteArray(400, '0') + "]", Code::NumberOutOfRange);
        row("bad literal on line 3", "{\n  \"a\": 1,\n  \"b\": tru\n}", Code::Syntax, 19, 3, 8);
        row("bad literal after crlf", "[1,\r\n nul]", Code::Syntax, 6, 2, 2);
        row("invalid utf-8 after accents", "[\"ok\",\n\"\xC3\xA9\xC3\xA9\xFF\"]", Code::BadEncoding, 12, 2, 4);
        row("control character in string", "[\n\"ab\tc\"]", Code::BadString, 5, 2, 4);
        row("unclosed string", "[1,\n  \"abc", Code::BadString, 6, 2, 3);
        row("bad escape", "[\"\\x\"]", Code::BadString);
        row("bad number", "[01]", Code::BadNumber);
        row("missing comma", "[1 2]", Code::Syntax);
        row("empty", " \n", Code::EmptyText);
        row("top-level scalar", "\"x\"", Code::NotContainer);
        row("utf-8 stray continuation", "[\"a\x80\"]", Code::BadEncoding);
        row("utf-8 overlong", "[\"\xC0\xAF\"]", Code::BadEncoding);
        row("utf-8 surrogate", "[\"\xED\xA0\x80\"]", Code::BadEncoding);
        row("utf-8 beyond U+10FFFF", "[\"\xF4\x90\x80\x80\"]", Code::BadEncoding);
        row("utf-8 bom then invalid", "\xEF\xBB\xBF[\"\xFF\"]", Code::BadEncoding);
        // "[" "\"" U+D800 "\"" "]" in UTF-16LE: a lone high surrogate.
        row("utf-16le lone high surrogate", QByteArray("\xFF\xFE[\0\"\0\x00\xD8\"\0]\0", 12), Code::BadEncoding);
        row("utf-16be lone low surrogate", QByteArray("\xFE\xFF\0[\0\"\xDC\x00\0\"\0]", 12), Code::BadEncoding);
        row("utf-16le odd length", QByteArray("\xFF\xFE[\0]\0 ", 7), Code::BadEncoding);
        row("utf-32le beyond U+10FFFF", QByteArray("\xFF\xFE\0\0[\0\0\0\"\0\0\0\0\0\x11\0\"\0\0\0]\0\0\0", 24),
            Code::BadEncoding);
        const int limit = JsonReader::maxDepth;
        row("200000 arrays", nestedArrays(200000), Code::TooDeep, limit, 1, limit + 1);
        row("one array too many", nestedArrays(limit + 1, "1"), Code::TooDeep, limit, 1, limit + 1);
        row("one object too many", QByteArray("{\"k\":").repeated(limit + 1) + "1" + QByteArray(limit + 1, '}'),
            Code::TooDeep, limit * 5, 1, limit * 5 + 1);
    }
    void refused()
    {
        QFETCH(QByteArray, text);
        QFETCH(Error::Code, code);
        QFETCH(qint64, offset);
        QFETCH(int, line);
        QFETCH(int, column);
        Error error;
        QVERIFY(!parsed(text, &error));
        QVERIFY(!error.message.trimmed().isEmpty());
        QVERIFY(error.offset >= 0 && error.offset <= text.size() && error.line >= 1 && error.column >= 1);
        Error documentError;
        QVERIFY(!loaded(Document::documentFromBytes(unshared(text)), &documentError));
        QCOMPARE(documentError.code, code);
        // The value reader takes UTF-8 only: a byte-order mark is the document's to read.
        const bool marked =
            text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF") || text.startsWith("\xEF\xBB\xBF");
        if (!marked)
            QCOMPARE(error.code, code);
        if (offset < 0)
            return;
        QCOMPARE(error.offset, offset);
        QCOMPARE(error.line, line);
        QCOMPARE(error.column, column);
    }

    // A document exactly at the nesting limit is read, and everything the views do with it works.
    void depthAtLimit()
    {
        const int depth = JsonReader::maxDepth;
        const QByteArray arrays = nestedArrays(depth, "\"needle\"");
        const QByteArray objects = QByteArray("{\"k\":").repeated(depth) + "\"needle\"" + QByteArray(depth, '}');
        for (const QByteArray& text : {arrays, objects}) {
            const auto value = parsed(text);
            const auto document = loaded(Document::documentFromBytes(unshared(text)));
            QVERIFY(value && document);
            TreeNode* root = document->root();
            const TreeNode* leaf = root;
            while (leaf->childCount() > 0)
                leaf = leaf->child(0);
            QCOMPARE(leaf->value(), QVariant(QStringLiteral("needle")));
            QCOMPARE(leaf->path(),
                     QStringLiteral("root") + QString::fromLatin1(text == arrays ? "[0]" : ".k").repeated(depth));
            // Compact text with one member per object is the input itself.
            QCOMPARE(root->jsonText().value_or("?"), text);
            QCOMPARE(written(*value), std::optional<QByteArray>(text));
            QVERIFY(root->jsonObject() == *value);
            const QString described = text == arrays
                                          ? QString(depth, '[') + "needle" + QString(depth, ']')
                                          : QString("{k = ").repeated(depth) + "needle" + QString(depth, '}');
            QCOMPARE(root->description(), "root = " + described);
            // Filtering reaches the bottom: the only leaf matches, so every level keeps its one child and is listed.
            SearchSettings search;
            search.text = QStringLiteral("needle");
            root->setSearchSettings(&search);
            QCOMPARE(root->filteredChildren().size(), std::size_t(1));
            std::vector<TreeNode*> rows;
            QCOMPARE(FilterPass::run(root, NodeMatcher(search), &rows), std::size_t(depth + 1));
            QCOMPARE(rows.size(), std::size_t(depth));
            QVERIFY(rows.back() == leaf);
            root->setSearchSettings(nullptr);
        }
    }

    // Real documents are read both ways and survive parse, write, parse; the tree and the value write alike.
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
        const auto value = parsed(readFile(path));
        const auto document = loaded(Document::documentFromFile(path));
        QVERIFY(value && document);
        QCOMPARE(std::optional(document->root()->jsonText().value_or("?")), written(*value));
        verifyRoundTrip(value, document.get());
    }

    // Conformance: documents with an array or object at the top level are read and those with a scalar refused,
    // every malformed text is refused with a reason and a position inside it (the hostile nesting included), and
    // the implementation-defined cases neither crash nor produce text that cannot be read back.
    void testSuite_data()
    {
        QTest::addColumn<QString>("fileName");
        const QStringList files = QDir(testSuiteDir).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
        QCOMPARE(files.size(), 318);
        for (const QString& file : files)
            QTest::newRow(qPrintable(file)) << file;
    }
    void testSuite()
    {
        QFETCH(QString, fileName);
        const QByteArray bytes = readFile(testSuiteDir + QLatin1Char('/') + fileName);
        Error error;
        const auto value = parsed(bytes, &error);
        Error documentError;
        const auto document = loaded(Document::documentFromBytes(unshared(bytes)), &documentError);
        if (fileName.startsWith(QLatin1String("n_"))) {
            QVERIFY(!value && !document);
            QVERIFY(!error.message.trimmed().isEmpty() && !documentError.message.trimmed().isEmpty());
            QVERIFY(error.offset >= 0 && error.offset <= bytes.size() && error.line >= 1 && error.column >= 1);
            return;
        }
        if (fileName.startsWith(QLatin1String("y_"))) {
            const QByteArray trimmed = bytes.trimmed();
            const bool collection = trimmed.startsWith('[') || trimmed.startsWith('{');
            QVERIFY2(bool(value) == collection, qPrintable(error.description()));
            QVERIFY2(bool(document) == collection, qPrintable(documentError.description()));
        }
        verifyRoundTrip(value, document.get());
    }

    // The reader may pad the text it is given; a buffer that the caller still holds stays the caller's.
    void sharedBuffer()
    {
        const QByteArray expected("[1,{\"a\":\"b\"}]");
        QByteArray text = expected;
        text.reserve(4096);
        const QByteArray kept = text;
        const auto value = JsonReader::parseValue(text);
        QVERIFY(value);
        QVERIFY(*value == JsonValue(JsonValue::Array{1, JsonValue::Object{{"a", "b"}}}));
        QCOMPARE(kept, expected);
        const auto document = loaded(Document::documentFromBytes(kept));
        QVERIFY(document);
        QCOMPARE(document->root()->jsonText().value_or("?"), expected);
        QCOMPARE(kept, expected);
    }
};

QTEST_GUILESS_MAIN(TestJsonReader)
#include "tst_jsonreader.moc"
