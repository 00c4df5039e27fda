#include "TestSupport.h"
#include "model/Document.h"
#include "model/TreeNode.h"

#include <QTest>

namespace {

std::unique_ptr<Document> readRelaxed(const QByteArray& text, const QString& fileName, Error* error = nullptr)
{
    return loaded(
        Document::documentFromBytes(QByteArray(text.constData(), text.size()), Document::Reading::Relaxed, fileName),
        error);
}

QByteArray strictText(const QByteArray& json)
{
    const auto document = loaded(Document::documentFromBytes(json));
    return document ? document->root()->jsonText().value_or("?") : QByteArray("not strict JSON: ") + json;
}

} // namespace

class TestRelaxedReader : public QObject
{
    Q_OBJECT
private slots:
    // Each dialect reaches the tree its plain JSON equivalent gives, says what it used, and writes plain JSON
    // that the strict reader reads back the same. Numbers of any size come out as exact as the strict reader
    // keeps them.
    void dialects_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("json"); // its plain JSON equivalent
        QTest::addColumn<QString>("readAs");
        const auto row = [](const char* tag, const QByteArray& text, const QByteArray& json, const char* readAs,
                            const char* fileName = "data.json") {
            QTest::newRow(tag) << text << QString::fromLatin1(fileName) << json << QString::fromUtf8(readAs);
        };
        row("comments", "// settings\n{/* a */\"a\": 1, // one\n\"b\": [1/**/,2]}\n/* end */", R"({"a":1,"b":[1,2]})",
            "read as JSON with comments: comments");
        row("trailing commas", "{\"a\": [1, 2, ], \"b\": {\"c\": null, }, }", R"({"a":[1,2],"b":{"c":null}})",
            "read as JSON with comments: trailing commas");
        row("comments in a .json5 file", "[1, // x\n]", "[1]", "read as JSON5: comments and trailing commas",
            "config.json5");
        row("unquoted keys",
            "{a: 1, $b_2: 2, _c: 3, \xC3\xBC"
            "ber: 4, null: 5, Infinity: 6, \\u0061x: 7}",
            R"({"a":1,"$b_2":2,"_c":3,"über":4,"null":5,"Infinity":6,"ax":7})", "read as JSON5: unquoted keys");
        row("single quotes", "['a\"b', 'it\\'s', \"\\'\"]", "[\"a\\\"b\",\"it's\",\"'\"]",
            "read as JSON5: single-quoted strings and JavaScript string escapes");
        row("escapes", "[\"\\x41\\v\\0\\q\\\u00e9\", \"tab\there\"]", R"(["A\u000b\u0000qé","tab\there"])",
            "read as JSON5: JavaScript string escapes");
        row("line continuations",
            "['a\\\nb', 'c\\\r\nd', 'e\\\xE2\x80\xA8"
            "f']",
            R"(["ab","cd","ef"])", "read as JSON5: single-quoted strings and line continuations");
        row("hexadecimal numbers",
            "[0x1F, -0xff, 0X0, 0x7FFFFFFFFFFFFFFF, 0x10000000000000001, 0xFFFFFFFFFFFFFFFFFFFF]",
            "[31,-255,0,9223372036854775807,18446744073709551617,1208925819614629174706175]",
            "read as JSON5: hexadecimal numbers");
        row("decimal points and signs", "[.5, 5., -.25, +1, +1.5e3, 5.e2, +0x10, 12345678901234567890123]",
            "[0.5,5,-0.25,1,1500,500,16,12345678901234567890123]",
            "read as JSON5: hexadecimal numbers, leading or trailing decimal points and explicit plus signs");
        row("white space",
            "{\v\"a\"\f:\xC2\xA0"
            "1\xE2\x80\xA8}",
            R"({"a":1})", "read as JSON5: white space JSON does not allow");
        row("JSON Lines", "{\"a\": 1}\n\n[2, 3]\r\n\"x\"\n  null  \n", R"([{"a":1},[2,3],"x",null])",
            "read as JSON Lines, 4 values");
        row("JSON Lines by name", "{\"a\": 1}", R"([{"a":1}])", "read as JSON Lines, 1 value", "log.ndjson");
        row("empty JSON Lines file", "\n\n", "[]", "read as JSON Lines, 0 values", "empty.jsonl");
    }
    void dialects()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, fileName);
        QFETCH(QByteArray, json);
        QFETCH(QString, readAs);
        Error error;
        const auto relaxed = readRelaxed(text, fileName, &error);
        QVERIFY2(relaxed, qPrintable(error.description()));
        QCOMPARE(Dialects::readAs(relaxed->readReport()), readAs);
        const QByteArray written = relaxed->root()->jsonText().value_or("?");
        QCOMPARE(written, strictText(json));
        QCOMPARE(strictText(written), written);
        // Strict reading is unchanged: it refuses the text (a one-line JSON Lines file aside, which is JSON).
        QCOMPARE(bool(Document::documentFromBytes(text)), fileName == QLatin1String("log.ndjson"));
    }

    // Infinity and NaN are named where they are; so are the relaxed reader's own refusals. An error the strict
    // reader finds in the rewritten text points into the text as written. A JSON Lines error names its line.
    void refusals_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        const auto row = [](const char* tag, const QByteArray& text, const char* message, int line, int column,
                            const char* fileName = "data.json") {
            QTest::newRow(tag) << text << QString::fromLatin1(fileName) << QString::fromUtf8(message) << line << column;
        };
        row("Infinity", "{\"a\": Infinity}", "Infinity is not a number a JSON document can hold.", 1, 7);
        row("-Infinity", "// x\n[1,\n  -Infinity]", "-Infinity is not a number a JSON document can hold.", 3, 3);
        row("NaN", "[+NaN]", "+NaN is not a number a JSON document can hold.", 1, 2);
        row("unclosed comment", "[1] /* to the end", "A comment is not closed.", 1, 5);
        row("string across lines", "{a: 'one\ntwo'}", "A string is not closed before the end of its line.", 1, 5);
        row("text after the document", "{}\n// x\n{}", "Unexpected text after the end of the document.", 3, 1);
        row("strict error after a comment", "/* \xC3\xA9 */ {a: 1, b: tru}", "Unexpected value.", 1, 19);
        row("two decimal points", "[1.5.]", "Invalid number.", 1, 2);
        row("hexadecimal beyond doubles", "[0x" + QByteArray(257, 'F') + "]", "Number out of range.", 1, 2);
        row("JSON Lines: value over two lines", "{\"a\": 1}\n{\"b\":\n 2}", "The value does not end on its line.", 2, 6,
            "log.jsonl");
        row("JSON Lines: two values on a line", "1 2\n", "Unexpected text after the value on this line.", 1, 3,
            "log.jsonl");
        // Read as one array, these lines would be valid JSON: [[1,2],3] and [1,2,3].
        row("JSON Lines: collection over two lines", "[1\n2]\n3", "The value does not end on its line.", 1, 3,
            "log.jsonl");
        row("JSON Lines: comma-separated values", "1,2\n3", "Unexpected text after the value on this line.", 1, 2,
            "log.jsonl");
        row("JSON Lines: strict error", "[1]\n\n{\"b\": tru}\n", "Unexpected value.", 3, 7, "log.jsonl");
        row("JSON Lines found by its lines", "{\"a\": 1}\n{\"b\": tru}\n", "Unexpected value.", 2, 7);
    }
    void refusals()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, fileName);
        QFETCH(QString, message);
        QFETCH(int, line);
        QFETCH(int, column);
        Error error;
        QVERIFY(!readRelaxed(text, fileName, &error));
        QVERIFY2(error.message.startsWith(message), qPrintable(error.description()));
        QCOMPARE(error.line, line);
        QCOMPARE(error.column, column);
    }

    // Large JSON Lines texts are read on two threads; the lines are checked all the same, and an error names its
    // line in the text as it was given.
    void largeJsonLines()
    {
        QByteArray text;
        for (int i = 0; text.size() < 3 * 1024 * 1024; ++i)
            text += "{\"i\": " + QByteArray::number(i) + ", \"s\": \"" + QByteArray(40, 'x') + "\"}\r\n";
        const qsizetype lines = text.count('\n');
        const auto document = readRelaxed(text, QStringLiteral("big.jsonl"));
        QVERIFY(document);
        QCOMPARE(document->readReport().values, lines);
        QCOMPARE(document->root()->child(lines - 1)->child(0)->integerValue(), lines - 1);
        Error error;
        const qsizetype middle = text.indexOf('\n', text.size() / 2) + 1;
        text.insert(middle, "[1\n2]\n");
        QVERIFY(!readRelaxed(text, QStringLiteral("big.jsonl"), &error));
        QCOMPARE(error.line, int(text.left(middle).count('\n') + 1));
        QCOMPARE(error.message, QStringLiteral("The value does not end on its line."));
    }

    // Reading counts the members whose name an earlier sibling has (saving keeps the last) and names the first
    // of them in outline order; names equal only after normalisation are different names.
    void duplicateKeys_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("warning");
        QTest::newRow("none") << QByteArray(R"({"a":{"b":1},"b":[{"a":1}]})") << QString();
        QTest::newRow("three of a name") << QByteArray(R"({"z":0,"a":1,"a":2,"a":3})")
                                         << "2 duplicate keys: only the last of each is kept when saving (first: "
                                            "root.a)";
        QTest::newRow("first in outline order") << QByteArray(R"({"b":{"x":1,"x":2},"a":[{},{"k":1,"k":1}]})")
                                                << "2 duplicate keys: only the last of each is kept when saving "
                                                   "(first: root.a[1].k)";
        QTest::newRow("repeated shape") << QByteArray(R"([{"a":1,"a":2},{"a":1,"a":2},{"a":1,"b":2}])")
                                        << "2 duplicate keys: only the last of each is kept when saving (first: "
                                           "root[0].a)";
        QTest::newRow("canonically equal names") << QByteArray("{\"\xC3\xA9\":1,\"e\xCC\x81\":2,\"\xC3\xA9\":3}")
                                                 << "1 duplicate key: only the last is kept when saving (first: "
                                                    "root.\u00e9)";
        QTest::newRow("empty names") << QByteArray(R"({"":1,"":2})")
                                     << "1 duplicate key: only the last is kept when saving (first: root[0])";
    }
    void duplicateKeys()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, warning);
        for (const auto reading : {Document::Reading::Strict, Document::Reading::Relaxed}) {
            const auto document = loaded(
                Document::documentFromBytes(text + (reading == Document::Reading::Relaxed ? "//" : ""), reading));
            QVERIFY(document);
            QCOMPARE(Dialects::duplicateKeysWarning(document->readReport()), warning);
        }
    }
};

QTEST_GUILESS_MAIN(TestRelaxedReader)
#include "tst_relaxedreader.moc"
