// The code page checks typed text before it sends it to the window, and the window reads what it is sent. The
// two must refuse the same texts: a text only the window refuses would be an edit that nothing applies.

#include "TestSupport.h"
#include "model/Document.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <optional>

namespace {

const QString kTestSuiteDir = QStringLiteral(BRACKWELL_TESTDATA_DIR "/JSONTestSuite/test_parsing");

// The page's verdict on each text: a null string when the page takes it, else the page's message; nothing when
// Node could not be run.
std::optional<QStringList> pageVerdicts(const QStringList& texts, QString* why)
{
    static const char* const script =
        "const { pathToFileURL } = await import('node:url');\n"
        "const { jsonError } = await import(pathToFileURL(process.argv[1]).href);\n"
        "let input = '';\n"
        "process.stdin.setEncoding('utf8');\n"
        "for await (const chunk of process.stdin)\n"
        "    input += chunk;\n"
        "process.stdout.write(JSON.stringify(JSON.parse(input).map(jsonError)));\n"
        "\n";
    QProcess node;
    node.start(QStringLiteral(BRACKWELL_NODE), {QStringLiteral("--input-type=module"), QStringLiteral("-e"),
                                                 QString::fromUtf8(script), QStringLiteral(BRACKWELL_PAGE_SCRIPTS "/jsonText.js")});
    if (!node.waitForStarted()) {
        *why = node.errorString();
        return std::nullopt;
    }
    node.write(QJsonDocument(QJsonArray::fromStringList(texts)).toJson(QJsonDocument::Compact));
    node.closeWriteChannel();
    if (!node.waitForFinished(120000) || node.exitCode() != 0) {
        *why = QString::fromUtf8(node.readAllStandardError());
        return std::nullopt;
    }
    const QJsonArray answers = QJsonDocument::fromJson(node.readAllStandardOutput()).array();
    QStringList verdicts;
    for (const QJsonValue& answer : answers)
        verdicts << (answer.isString() ? answer.toString() : QString());
    if (verdicts.size() != texts.size()) {
        *why = QStringLiteral("%1 answers for %2 texts").arg(verdicts.size()).arg(texts.size());
        return std::nullopt;
    }
    return verdicts;
}

// The window's verdict, read the way it reads a text from the page: a null string when it becomes a document.
QString readerVerdict(const QString& text)
{
    ParseError error;
    if (Document::documentFromText(text, &error))
        return {};
    return error.message.isNull() ? QStringLiteral("refused") : error.message;
}

QString shown(const QString& text)
{
    const QString escaped = QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact));
    return escaped.size() > 160 ? escaped.left(150) + QStringLiteral("…") : escaped;
}

// Every text on which the two disagree, described; empty when they agree throughout.
QStringList disagreements(const QStringList& texts, const QStringList& names = {})
{
    QString why;
    const auto page = pageVerdicts(texts, &why);
    if (!page)
        return {QStringLiteral("the page check could not be run: ") + why};
    QStringList found;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString reader = readerVerdict(texts[i]);
        if (reader.isNull() != page->at(i).isNull())
            found << QStringLiteral("%1: page %2, reader %3")
                         .arg(names.isEmpty() ? shown(texts[i]) : names[i],
                              page->at(i).isNull() ? QStringLiteral("takes it") : page->at(i),
                              reader.isNull() ? QStringLiteral("takes it") : reader);
    }
    return found;
}

QString nested(int depth)
{
    return QString(depth, QLatin1Char('[')) + QString(depth, QLatin1Char(']'));
}

// Small edits of a valid document: characters deleted, inserted, replaced or repeated, chosen among those that
// make JSON what it is (and break it).
QString mutated(QString text, QRandomGenerator& random)
{
    static const QStringList pieces{
        "\"", "\\", "\\u", "\\ud800", "\\udc00", "\\udbff\\udfff", "u", "d", "D", "8", "c", "0", "1", "9", "-", "+",
        ".", "e", "E", "e400", "e-400", "99999999999999999999", "[", "]", "{", "}", ",", ":", " ", "\t", "\n",
        "\u0001", "\u007f", "t", "n", "f", "l", "\u00e9", "\ufeff", "\u2028", "/", "b", "r", "x", "null", "true",
    };
    const int edits = 1 + int(random.bounded(3));
    for (int edit = 0; edit < edits; ++edit) {
        const auto at = qsizetype(random.bounded(int(text.size()) + 1));
        switch (random.bounded(4)) {
        case 0:
            text.remove(at, 1 + random.bounded(3));
            break;
        case 1:
            text.insert(at, pieces[random.bounded(int(pieces.size()))]);
            break;
        case 2:
            text.replace(at, 1, pieces[random.bounded(int(pieces.size()))]);
            break;
        default:
            text.insert(at, text.mid(at, 1 + random.bounded(6)));
            break;
        }
    }
    return text;
}

} // namespace

class TestPageCheck : public QObject
{
    Q_OBJECT
private slots:
    // Texts at the edges of what the window can hold: both refuse them, or both take them.
    void limits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("number beyond the doubles") << QStringLiteral("{\"a\": 1e400}") << false;
        QTest::newRow("negative number beyond the doubles") << QStringLiteral("[-1e400]") << false;
        QTest::newRow("largest double") << QStringLiteral("[1.7976931348623157e308]") << true;
        QTest::newRow("just past the largest double") << QStringLiteral("[1.7976931348623159e308]") << false;
        QTest::newRow("long integer beyond the doubles") << QStringLiteral("[1") + QString(400, QLatin1Char('0')) + "]"
                                                         << false;
        QTest::newRow("long integer within the doubles") << QStringLiteral("[1") + QString(300, QLatin1Char('0')) + "]"
                                                         << true;
        QTest::newRow("smallest double") << QStringLiteral("[5e-324]") << true;
        QTest::newRow("zero with a huge exponent") << QStringLiteral("[0e99999]") << true;
        QTest::newRow("lone high surrogate") << QStringLiteral("{\"a\": \"\\ud800\"}") << false;
        QTest::newRow("lone low surrogate") << QStringLiteral("[\"\\udc00\"]") << false;
        QTest::newRow("high surrogate then a letter") << QStringLiteral("[\"\\ud800\\u0041\"]") << false;
        QTest::newRow("surrogates the wrong way round") << QStringLiteral("[\"\\udd1e\\ud834\"]") << false;
        QTest::newRow("lone surrogate in a name") << QStringLiteral("{\"\\udfaa\": 0}") << false;
        QTest::newRow("surrogate pair") << QStringLiteral("{\"\\ud834\\udd1e\": \"\\uDBFF\\uDFFF\"}") << true;
        QTest::newRow("nesting at the limit") << nested(1024) << true;
        QTest::newRow("nesting beyond the limit") << nested(1025) << false;
        QTest::newRow("objects beyond the limit")
            << QStringLiteral("{\"k\":").repeated(1025) + "0" + QString(1025, QLatin1Char('}')) << false;
        QTest::newRow("byte-order mark first") << QStringLiteral("\ufeff{}") << true;
        QTest::newRow("byte-order mark later") << QStringLiteral("{}\ufeff") << false;
    }
    void limits()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(readerVerdict(text).isNull(), valid);
        const QStringList found = disagreements({text});
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }

    // The whole JSONTestSuite, each file as the text the page would hold (bytes that are not UTF-8 become
    // replacement characters on the way into the page).
    void testSuite()
    {
        const QDir dir(kTestSuiteDir);
        const QStringList files = dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
        QCOMPARE(files.size(), 318);
        QStringList texts;
        for (const QString& file : files) {
            QFile in(dir.filePath(file));
            QVERIFY(in.open(QIODevice::ReadOnly));
            texts << QString::fromUtf8(in.readAll());
        }
        const QStringList found = disagreements(texts, files);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }

    // Many small edits of documents full of numbers, escapes and nesting.
    void mutatedDocuments()
    {
        const QStringList seeds{
            QStringLiteral("{\"a\": [1, -2.5e3, 0, 0.5, true, false, null], \"b\": {\"c\": \"x\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\"}}"),
            QStringLiteral("[1e308, 1.7976931348623157e308, 2.2250738585072014e-308, 5e-324, -0, 0.1e1]"),
            QStringLiteral("[123456789012345678901234567890, -9223372036854775808, 18446744073709551616, 1.5E+2]"),
            QStringLiteral("{\"k\\u0000\": \"é\", \"\": [[[{}]]], \"\\ud834\\udd1e\": {\"\\uD83D\\uDE00\": \"\\u2028\"}}"),
            QStringLiteral(" \n[ {\"x\" : [ ] , \"y\" : { } } , \"\\ud83d\\ude00\" ] \t"),
        };
        QRandomGenerator random(17);
        QStringList texts;
        for (int i = 0; i < 20000; ++i)
            texts << mutated(seeds[i % seeds.size()], random);
        QStringList found = disagreements(texts);
        const qsizetype count = found.size();
        found = found.mid(0, 20);
        QVERIFY2(count == 0, qPrintable(QStringLiteral("%1 disagreements, first ones:\n").arg(count) +
                                        found.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestPageCheck)
#include "tst_pagecheck.moc"
