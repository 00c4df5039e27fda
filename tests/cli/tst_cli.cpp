#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runCli(const QStringList& arguments, const QByteArray& input = QByteArray())
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // What a user sees: the model's log lines stay in the system log.
    environment.remove(QStringLiteral("BRACKWELL_LOG_TO_STDERR"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(BRACKWELL_CLI_PATH), arguments);
    Run run;
    if (!process.waitForStarted(-1))
        return run;
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// One line of expected output.
QString textLine(const char* text)
{
    return QString::fromUtf8(text) + QLatin1Char('\n');
}

// An expected outline written with "|" between the columns; a leading line break is dropped.
QString outline(const char* text)
{
    QString lines = QString::fromUtf8(text);
    if (lines.startsWith(QLatin1Char('\n')))
        lines.remove(0, 1);
    return lines.replace(QLatin1Char('|'), QLatin1Char('\t'));
}

const char* const kSearchDocument =
    R"({"list":["apple","pear","grape","apple pie","Apple"],"deep":[["x"],[0,"apple"]],)"
    R"("other":{"name":"pear"},"Other":{"z":1},"n":5})";

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // format prints the document's compact, key-sorted JSON text and one line feed.
    void format_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sorted keys") << QByteArray("{\n  \"b\": {\"y\": null, \"x\": [true, {\"k\": \"v\"}]},\n  "
                                                   "\"a\": [1, [2.5, \"s\"]],\n  \"e\": []\n}\n")
                                     << textLine(R"({"a":[1,[2.5,"s"]],"b":{"x":[true,{"k":"v"}],"y":null},"e":[]})");
        QTest::newRow("code point order")
            << QByteArray(R"({"b":1,"a":2,"B":3,"a10":4,"a9":5})") << textLine(R"({"B":3,"a":2,"a10":4,"a9":5,"b":1})");
        QTest::newRow("escapes") << QByteArray("[\"x/y\", \"q\\\"b\\\\\", \"caf\\u00e9\", \"\\ud83d\\ude00\"]")
                                 << textLine("[\"x\\/y\",\"q\\\"b\\\\\",\"café\",\"😀\"]");
        QTest::newRow("numbers") << QByteArray("[2.0, 2.5, 1e3, -0.5, -7, false]")
                                 << textLine("[2,2.5,1000,-0.5,-7,false]");
        QTest::newRow("empty keys") << QByteArray(R"({"a":{"":[]},"":1})") << textLine(R"({"":1,"a":{"":[]}})");
        QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF[\"\xC3\xA9\"]") << textLine("[\"é\"]");
        QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        QTest::newRow("utf-16 bom") << QByteArray(utf16.encode(QStringLiteral("{\"k\" : \"é\"}")))
                                    << textLine("{\"k\":\"é\"}");
    }
    void format()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        const QString path = writeInput(QStringLiteral("format.json"), input);
        const Run fromFile = runCli({QStringLiteral("format"), path});
        QCOMPARE(fromFile.err, QString());
        QCOMPARE(fromFile.out, expected);
        QCOMPARE(fromFile.exitCode, 0);

        // "-" reads the same bytes from standard input.
        const Run fromStdin = runCli({QStringLiteral("format"), QStringLiteral("-")}, input);
        QCOMPARE(fromStdin.err, QString());
        QCOMPARE(fromStdin.out, expected);
        QCOMPARE(fromStdin.exitCode, 0);
    }

    // tree prints the root, then every node depth-first in child order: path, kind label and value label.
    void tree_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nested") << QByteArray(R"({"b":{"y":null,"x":[true,{"k":"v"}]},"a":[1,[2.5,"s"]],"e":[]})")
                                << outline(R"(
root|Object|(3 items)
root.a|Array|(2 items)
root.a[0]|Number|1
root.a[1]|Array|(2 items)
root.a[1][0]|Number|2.5
root.a[1][1]|String|s
root.b|Object|(2 items)
root.b.x|Array|(2 items)
root.b.x[0]|Boolean|true
root.b.x[1]|Object|(1 items)
root.b.x[1].k|String|v
root.b.y|Null|
root.e|Array|(0 items)
)");
        QTest::newRow("array root") << QByteArray(R"([[1],{"a":null},"t"])") << outline(R"(
root|Array|(3 items)
root[0]|Array|(1 items)
root[0][0]|Number|1
root[1]|Object|(1 items)
root[1].a|Null|
root[2]|String|t
)");
        // An empty key shows its index; a key holding ".[" loses that full stop in the path.
        QTest::newRow("unusual keys") << QByteArray("{\"x.[y\":-3,\"\":\"anon\",\"a.b\":{\"c\":false}}") << outline(R"(
root|Object|(3 items)
root[0]|String|anon
root.a.b|Object|(1 items)
root.a.b.c|Boolean|false
root.x[y|Number|-3
)");
        QTest::newRow("number display") << QByteArray("[2.0, 0.5, 1e20, 1e-7, -12, 100.25]") << outline(R"(
root|Array|(6 items)
root[0]|Number|2
root[1]|Number|0.5
root[2]|Number|1e+20
root[3]|Number|1e-07
root[4]|Number|-12
root[5]|Number|100.25
)");
    }
    void tree()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        const QString path = writeInput(QStringLiteral("tree.json"), input);
        const Run fromFile = runCli({QStringLiteral("tree"), path});
        QCOMPARE(fromFile.err, QString());
        QCOMPARE(fromFile.out, expected);
        QCOMPARE(fromFile.exitCode, 0);

        const Run fromStdin = runCli({QStringLiteral("tree"), QStringLiteral("-")}, input);
        QCOMPARE(fromStdin.out, expected);
        QCOMPARE(fromStdin.exitCode, 0);
    }

    // A search keeps the nodes that match and the collections above them; counts are of kept children and
    // array elements keep the index of their place in the whole list.
    void search_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("expected");
        const QString apple = outline(R"(
root|Object|(2 items)
root.deep|Array|(1 items)
root.deep[1]|Array|(1 items)
root.deep[1][1]|String|apple
root.list|Array|(2 items)
root.list[0]|String|apple
root.list[3]|String|apple pie
)");
        const QString anyCaseApple = outline(R"(
root|Object|(2 items)
root.deep|Array|(1 items)
root.deep[1]|Array|(1 items)
root.deep[1][1]|String|apple
root.list|Array|(3 items)
root.list[0]|String|apple
root.list[3]|String|apple pie
root.list[4]|String|Apple
)");
        const QString nothing = outline("root|Object|(0 items)\n");
        const QString namedPear = outline(R"(
root|Object|(1 items)
root.other|Object|(1 items)
root.other.name|String|pear
)");
        QTest::newRow("plain") << QStringList{"--search", "apple"} << apple;
        QTest::newRow("case-sensitive") << QStringList{"--search", "APPLE"} << nothing;
        QTest::newRow("ignore case") << QStringList{"--ignore-case", "--search", "APPLE"} << anyCaseApple;
        QTest::newRow("regex") << QStringList{"--search", "^ap+le$", "--regex"} << outline(R"(
root|Object|(2 items)
root.deep|Array|(1 items)
root.deep[1]|Array|(1 items)
root.deep[1][1]|String|apple
root.list|Array|(1 items)
root.list[0]|String|apple
)");
        QTest::newRow("regex ignoring case")
            << QStringList{"--regex", "--search", "^APPLE", "--ignore-case"} << anyCaseApple;
        QTest::newRow("regex is case-sensitive") << QStringList{"--regex", "--search", "^APPLE"} << nothing;
        // A collection named by the search is kept, but its children are filtered as well.
        QTest::newRow("collection name") << QStringList{"--search", "other"} << outline(R"(
root|Object|(1 items)
root.other|Object|(0 items)
)");
        // Names are compared exactly, whatever the case and expression settings say.
        QTest::newRow("names ignore --ignore-case") << QStringList{"--search", "other", "--ignore-case"} << outline(R"(
root|Object|(1 items)
root.other|Object|(0 items)
)");
        QTest::newRow("names are not expressions") << QStringList{"--regex", "--search", "l.st"} << nothing;
        // A leaf is matched by its description, which carries its name.
        QTest::newRow("description") << QStringList{"--search", "name = p"} << namedPear;
        QTest::newRow("description by regex") << QStringList{"--search", "n.me = ", "--regex"} << namedPear;
        QTest::newRow("two branches") << QStringList{"--search", "pear"} << outline(R"(
root|Object|(2 items)
root.list|Array|(1 items)
root.list[1]|String|pear
root.other|Object|(1 items)
root.other.name|String|pear
)");
        QTest::newRow("number") << QStringList{"--search", "5"} << outline(R"(
root|Object|(1 items)
root.n|Number|5
)");
        QTest::newRow("plain text is not an expression") << QStringList{"--search", "("} << nothing;
        QTest::newRow("empty search") << QStringList{"--search", ""} << outline(R"(
root|Object|(5 items)
root.Other|Object|(1 items)
root.Other.z|Number|1
root.deep|Array|(2 items)
root.deep[0]|Array|(1 items)
root.deep[0][0]|String|x
root.deep[1]|Array|(2 items)
root.deep[1][0]|Number|0
root.deep[1][1]|String|apple
root.list|Array|(5 items)
root.list[0]|String|apple
root.list[1]|String|pear
root.list[2]|String|grape
root.list[3]|String|apple pie
root.list[4]|String|Apple
root.n|Number|5
root.other|Object|(1 items)
root.other.name|String|pear
)");
    }
    void search()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, expected);
        const QString path = writeInput(QStringLiteral("search.json"), kSearchDocument);
        const Run run = runCli(QStringList{QStringLiteral("tree"), path} + options);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.out, expected);
        QCOMPARE(run.exitCode, 0);
        // Options may come before the file as well.
        const Run before = runCli(QStringList{QStringLiteral("tree")} + options + QStringList{path});
        QCOMPARE(before.out, expected);
        QCOMPARE(before.exitCode, 0);
    }

    // An expression that does not compile is a usage error that names the problem.
    void invalidRegex_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::newRow("open group") << "(";
        QTest::newRow("unclosed class") << "[a";
        QTest::newRow("nothing to repeat") << "*x";
    }
    void invalidRegex()
    {
        QFETCH(QString, pattern);
        const QString path = writeInput(QStringLiteral("regex.json"), kSearchDocument);
        const Run run =
            runCli({QStringLiteral("tree"), path, QStringLiteral("--regex"), QStringLiteral("--search"), pattern});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.startsWith(QStringLiteral("Invalid regex: ")), qPrintable(run.err));
        QVERIFY(run.err.size() > QStringLiteral("Invalid regex: \n").size());
        QCOMPARE(run.out, QString());
    }

    // A file that cannot be read or holds no valid document fails with status 1 and the reason.
    void invalidDocument_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        for (const char* command : {"format", "tree"}) {
            QTest::addRow("%s, unterminated", command) << command << "bad.json" << QByteArray("[1,");
            QTest::addRow("%s, scalar", command) << command << "scalar.json" << QByteArray("42");
            QTest::addRow("%s, empty", command) << command << "empty.json" << QByteArray("");
            QTest::addRow("%s, bad utf-8", command) << command << "latin1.json" << QByteArray("[\"\xE9\"]");
            QTest::addRow("%s, missing", command) << command << "missing.json" << QByteArray();
            QTest::addRow("%s, directory", command) << command << "." << QByteArray();
            QTest::addRow("%s, stdin", command) << command << "-" << QByteArray("{\"a\":tru}");
        }
    }
    void invalidDocument()
    {
        QFETCH(QString, command);
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QString path = file;
        QByteArray input;
        if (file == QLatin1String("-"))
            input = content;
        else if (file == QLatin1String("."))
            path = m_dir.path();
        else if (content.isNull())
            path = m_dir.filePath(file);
        else
            path = writeInput(file, content);
        const Run run = runCli({command, path}, input);
        QCOMPARE(run.exitCode, 1);
        const QStringList lines = run.err.split(QLatin1Char('\n'));
        QVERIFY2(lines.size() >= 2, qPrintable(run.err));
        QCOMPARE(lines.at(0), QStringLiteral("JSON content doesn't appear to be valid."));
        QVERIFY2(!lines.at(1).trimmed().isEmpty(), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    // Wrong command lines fail with status 2 and the usage text, and print nothing on standard output.
    void badUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"frobnicate"};
        QTest::newRow("unknown command with file") << QStringList{"print", "FILE"};
        QTest::newRow("format without file") << QStringList{"format"};
        QTest::newRow("format with two files") << QStringList{"format", "FILE", "FILE"};
        QTest::newRow("tree without file") << QStringList{"tree"};
        QTest::newRow("tree with options only") << QStringList{"tree", "--regex", "--search", "x"};
        QTest::newRow("tree with two files") << QStringList{"tree", "FILE", "FILE"};
        QTest::newRow("unknown option") << QStringList{"tree", "FILE", "--bogus"};
        QTest::newRow("unknown option first") << QStringList{"tree", "--bogus", "FILE"};
        QTest::newRow("unknown option alone") << QStringList{"tree", "--bogus"};
        QTest::newRow("search without text") << QStringList{"tree", "FILE", "--search"};
    }
    void badUsage()
    {
        QFETCH(QStringList, arguments);
        const QString path = writeInput(QStringLiteral("usage.json"), "[1]");
        arguments.replaceInStrings(QStringLiteral("FILE"), path);
        const Run run = runCli(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("Usage:")), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    // --help prints the usage on standard output and succeeds; --version names the program and succeeds.
    void helpAndVersion()
    {
        const Run help = runCli({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains(QStringLiteral("Usage:")));
        QVERIFY(help.out.contains(QStringLiteral("format FILE")));
        QVERIFY(help.out.contains(QStringLiteral("tree FILE")));
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
