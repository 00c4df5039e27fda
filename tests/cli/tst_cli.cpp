#include "CliRun.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Expected output written with "|" between the columns; a leading line break is dropped.
QString outline(const char* text)
{
    QString lines = QString::fromUtf8(text);
    if (lines.startsWith(QLatin1Char('\n')))
        lines.remove(0, 1);
    return lines.replace(QLatin1Char('|'), QLatin1Char('\t'));
}

const char* const kSearchDocument = R"({"list":["apple","pear","apple pie","Apple"],"deep":[["x"],[0,"apple"]],)"
                                    R"("other":{"name":"pear"},"Other":{"z":1},"n":5})";

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // format prints the document's compact JSON (written as tst_jsonwriter checks) and one line feed. tree prints
    // the root, then every node depth-first in child order: path, kind label and value label; an empty key shows
    // its index, a key holding ".[" loses that full stop, and an empty search filters nothing. "-" reads stdin.
    void output_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("format, key order")
            << "format" << QByteArray(R"({"b":{"y":null,"x":[true,{"":1}]},"a9":5,"a10":4,"B":3,"":[]})")
            << outline(R"({"":[],"B":3,"a10":4,"a9":5,"b":{"x":[true,{"":1}],"y":null}})"
                       "\n");
        QTest::newRow("tree, object root")
            << "tree" << QByteArray("{\"b\":{\"y\":null,\"x\":[true,{\"k\":\"v\"}]},\"\":\"anon\",\"x.[y\":[[]]}")
            << outline(R"(
root|Object|(3 items)
root[0]|String|anon
root.b|Object|(2 items)
root.b.x|Array|(2 items)
root.b.x[0]|Boolean|true
root.b.x[1]|Object|(1 items)
root.b.x[1].k|String|v
root.b.y|Null|
root.x[y|Array|(1 items)
root.x[y[0]|Array|(0 items)
)");
        QTest::newRow("tree, array root and numbers")
            << "tree" << QByteArray("[[1],{\"a\":null},2.0,1e20,1e-7]") << outline(R"(
root|Array|(5 items)
root[0]|Array|(1 items)
root[0][0]|Number|1
root[1]|Object|(1 items)
root[1].a|Null|
root[2]|Number|2
root[3]|Number|1e+20
root[4]|Number|1e-07
)");
    }
    void output()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        const QString path = writeInput(QStringLiteral("output.json"), input);
        QList<Run> runs{runCli({command, path}), runCli({command, QStringLiteral("-")}, input)};
        if (command == QLatin1String("tree"))
            runs << runCli({command, path, QStringLiteral("--search"), QString()});
        for (const Run& run : runs) {
            QCOMPARE(run.err, QString());
            QCOMPARE(run.out, expected);
            QCOMPARE(run.exitCode, 0);
        }
    }

    // tree --search, --regex and --ignore-case, in any order, filter as the outline does (the filter's rules:
    // tst_treenode): kept nodes and the collections above them, counts of kept children, elements keep their index.
    void search_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("expected"); // paths without "root.", collections with their shown count
        const QString anyCaseApple = QStringLiteral("root(2) deep(1) deep[1](1) deep[1][1] list(3) list[0] list[2] "
                                                    "list[3]");
        QTest::newRow("plain") << QStringList{"--search", "apple"}
                               << "root(2) deep(1) deep[1](1) deep[1][1] list(2) list[0] list[2]";
        QTest::newRow("ignore case") << QStringList{"--ignore-case", "--search", "APPLE"} << anyCaseApple;
        QTest::newRow("regex") << QStringList{"--search", "^ap+le$", "--regex"}
                               << "root(2) deep(1) deep[1](1) deep[1][1] list(1) list[0]";
        QTest::newRow("regex ignoring case")
            << QStringList{"--regex", "--search", "^APPLE", "--ignore-case"} << anyCaseApple;
        QTest::newRow("number") << QStringList{"--search", "5"} << "root(1) n";
    }
    void search()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, expected);
        const QString path = writeInput(QStringLiteral("search.json"), kSearchDocument);
        const QString tree = QStringLiteral("tree");
        // Options may come after the file or before it.
        for (const Run& run :
             {runCli(QStringList{tree, path} + options), runCli(QStringList{tree} + options + QStringList{path})}) {
            QCOMPARE(run.err, QString());
            QStringList nodes;
            for (const QString& line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                QStringList columns = line.split(QLatin1Char('\t'));
                nodes << columns[0].remove(QRegularExpression(QStringLiteral("^root\\.")));
                if (columns.value(1) == QLatin1String("Array") || columns.value(1) == QLatin1String("Object"))
                    nodes.last() += columns.value(2).remove(QStringLiteral(" items"));
            }
            QCOMPARE(nodes.join(QLatin1Char(' ')), expected);
            QCOMPARE(run.exitCode, 0);
        }
    }

    // Failures print nothing on standard output. An unreadable or invalid document gives status 1 and the
    // reason; a wrong command line gives 2 and the usage text; so does an expression that does not compile,
    // naming the problem.
    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString invalid = QStringLiteral("JSON content doesn't appear to be valid.\n");
        QTest::newRow("format, unterminated") << QStringList{"format", "BAD"} << QByteArray() << 1 << invalid;
        QTest::newRow("format, stdin") << QStringList{"format", "-"} << QByteArray("{\"a\":tru}") << 1 << invalid;
        QTest::newRow("tree, missing") << QStringList{"tree", "MISSING"} << QByteArray() << 1 << invalid;
        QTest::newRow("tree, directory") << QStringList{"tree", "DIR"} << QByteArray() << 1 << invalid;
        QTest::newRow("tree, stdin scalar") << QStringList{"tree", "-"} << QByteArray("42") << 1 << invalid;
        QTest::newRow("invalid regex") << QStringList{"tree", "FILE", "--regex", "--search", "[a"} << QByteArray() << 2
                                       << QStringLiteral("Invalid regex: ");
        const std::initializer_list<std::pair<const char*, QStringList>> usage{
            {"no command", {}},
            {"unknown command", {"print", "FILE"}},
            {"format without file", {"format"}},
            {"format with two files", {"format", "FILE", "FILE"}},
            {"tree with options only", {"tree", "--regex", "--search", "x"}},
            {"tree with two files", {"tree", "FILE", "FILE"}},
            {"unknown option", {"tree", "FILE", "--bogus"}},
            {"search without text", {"tree", "FILE", "--search"}},
            {"unknown path style", {"tree", "FILE", "--path-style", "xpath"}},
            {"path style without a style", {"tree", "FILE", "--path-style"}},
            {"format with an unknown option", {"format", "FILE", "--bogus"}},
        };
        for (const auto& [name, arguments] : usage)
            QTest::newRow(name) << arguments << QByteArray() << 2 << QStringLiteral("Usage:");
    }
    void failures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, status);
        QFETCH(QString, message);
        for (QString& argument : arguments) {
            if (argument == QLatin1String("BAD") || argument == QLatin1String("FILE"))
                argument = writeInput(argument, argument == QLatin1String("BAD") ? "[1," : "[1]");
            else if (argument == QLatin1String("DIR") || argument == QLatin1String("MISSING"))
                argument = argument == QLatin1String("DIR") ? m_dir.path() : m_dir.filePath(QStringLiteral("none"));
        }
        const Run run = runCli(arguments, input);
        QCOMPARE(run.exitCode, status);
        QCOMPARE(run.out, QString());
        // The usage text follows the problem; the other messages come first and are followed by the reason.
        QVERIFY2(message == QLatin1String("Usage:") ? run.err.contains(message) : run.err.startsWith(message),
                 qPrintable(run.err));
        QVERIFY2(run.err.trimmed().size() > message.size(), qPrintable(run.err));
    }

    // --relaxed reads JSON with comments, JSON5 and JSON Lines and says so on standard error; without it nothing
    // changes. Duplicate keys are reported on standard error, and the command still succeeds.
    void relaxedAndDuplicates_data()
    {
        QTest::addColumn<QStringList>("arguments"); // FILE stands for the input written to `fileName`
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QByteArray commented = "{\"a\": 1, // one\n}";
        QTest::newRow("JSON with comments")
            << QStringList{"format", "--relaxed", "FILE"} << "tsconfig.json" << commented << "{\"a\":1}\n"
            << "read as JSON with comments: comments and trailing commas\n";
        QTest::newRow("not without --relaxed") << QStringList{"format", "FILE"} << "tsconfig.json" << commented << ""
                                               << "JSON content doesn't appear to be valid.";
        QTest::newRow("JSON Lines on standard input")
            << QStringList{"format", "-", "--relaxed"} << "" << QByteArray("1\n\n\"x\"\n{}\n") << "[1,\"x\",{}]\n"
            << "read as JSON Lines, 3 values\n";
        QTest::newRow("JSON5 tree") << QStringList{"tree", "--relaxed", "FILE"} << "config.json5"
                                    << QByteArray("{a: 0x10}") << outline("root|Object|(1 items)\nroot.a|Number|16\n")
                                    << "read as JSON5: unquoted keys and hexadecimal numbers\n";
        QTest::newRow("JSON Lines by name")
            << QStringList{"tree", "FILE", "--relaxed"} << "log.jsonl" << QByteArray("{\"a\": 1}") << outline(R"(
root|Array|(1 items)
root[0]|Object|(1 items)
root[0].a|Number|1
)") << "read as JSON Lines, 1 value\n";
        const QString duplicates =
            QStringLiteral("2 duplicate keys: only the last of each is kept when saving (first: root.a)\n");
        QTest::newRow("duplicates, format") << QStringList{"format", "FILE"} << "dup.json"
                                            << QByteArray(R"({"a":1,"b":0,"a":2,"a":3})") << "{\"a\":3,\"b\":0}\n"
                                            << duplicates;
    }
    void relaxedAndDuplicates()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, fileName);
        QFETCH(QByteArray, input);
        QFETCH(QString, out);
        QFETCH(QString, err);
        arguments.replaceInStrings(QStringLiteral("FILE"),
                                   fileName.isEmpty() ? QString() : writeInput(fileName, input));
        const Run run = runCli(arguments, fileName.isEmpty() ? input : QByteArray());
        QCOMPARE(run.out, out);
        QVERIFY2(run.err.startsWith(err), qPrintable(run.err));
        QCOMPARE(run.exitCode, out.isEmpty() ? 1 : 0);
    }

    // tree --path-style picks the path column's form by name (the forms themselves: tst_nodepath).
    void pathStyles_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("paths");
        const auto row = [](const char* style, const char* paths) { QTest::newRow(style) << style << paths; };
        row("outline", "root root.a b root.a b[0] root.c root.c.if");
        row("jq", R"(. .["a b"] .["a b"][0] .c .c["if"])");
        row("pointer", " /a b /a b/0 /c /c/if");
        row("jsonpath", "$ $['a b'] $['a b'][0] $['c'] $['c']['if']");
    }
    void pathStyles()
    {
        QFETCH(QString, style);
        QFETCH(QString, paths);
        const QString path = writeInput(QStringLiteral("paths.json"), R"({"c":{"if":null},"a b":[1]})");
        const Run run = runCli({QStringLiteral("tree"), path, QStringLiteral("--path-style"), style});
        QCOMPARE(run.exitCode, 0);
        QStringList column;
        for (const QString& line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            column << line.section(QLatin1Char('\t'), 0, 0);
        QCOMPARE(column.join(QLatin1Char(' ')), paths);
    }

    // --help prints the usage on standard output and succeeds; --version names the program and succeeds.
    void helpAndVersion()
    {
        const Run help = runCli({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains(QStringLiteral("Usage:")) && help.out.contains(QStringLiteral("format FILE")) &&
                help.out.contains(QStringLiteral("tree FILE")));
        QCOMPARE(help.err, QString());
        const Run version = runCli({QStringLiteral("--version")});
        QCOMPARE(version.exitCode, 0);
        QVERIFY2(version.out.startsWith(QStringLiteral("brackwell-cli ")), qPrintable(version.out));
        QVERIFY(version.out.trimmed().size() > QStringLiteral("brackwell-cli").size());
        QCOMPARE(version.err, QString());
    }

private:
    QString writeInput(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
