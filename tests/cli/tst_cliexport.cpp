#include "CliRun.h"
#include "ExportCheck.h"
#include "PlistCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char* const kDocument =
    "{\"b\": [1, -9223372036854775808, 0.1, true, \"x/y\"], \"a\": {\"\": \"caf\\u00e9 <&>\"},"
    " \"c\": []}";

} // namespace

class TestCliExport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Each format writes OUT from the file or from standard input ("-"), prints nothing and succeeds. JSON is
    // compact with sorted keys; property lists read back as the document.
    void exports_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("json") << "json";
        QTest::newRow("plist-xml") << "plist-xml";
        QTest::newRow("plist-binary") << "plist-binary";
        QTest::newRow("xml") << "xml";
        QTest::newRow("yaml") << "yaml";
    }
    void exports()
    {
        QFETCH(QString, format);
        const QString in = write(QStringLiteral("in.json"), kDocument);
        for (const bool fromStdin : {false, true}) {
            const QString out = m_dir.filePath(QStringLiteral("out-%1").arg(fromStdin));
            const Run run = fromStdin ? runCli({"export", "--to", format, "-", out}, kDocument)
                                      : runCli({"export", "--to", format, in, out});
            QCOMPARE(run.err, QString());
            QCOMPARE(run.out, QString());
            QCOMPARE(run.exitCode, 0);
            if (format == QLatin1String("json"))
                QCOMPARE(read(out),
                         QByteArray("{\"a\":{\"\":\"caf\xC3\xA9 <&>\"},\"b\":[1,-9223372036854775808,0.1,true,"
                                    "\"x\\/y\"],\"c\":[]}"));
            else if (format == QLatin1String("xml") || format == QLatin1String("yaml"))
                QCOMPARE(exportReadBackVerdict(format == QLatin1String("xml"), out, in), QStringLiteral("same"));
            else
                QCOMPARE(plistlibVerdictForFiles(out, in, format == QLatin1String("plist-xml")), QStringLiteral("ok"));
        }
    }

    // Failures print nothing on standard output and never create or touch OUT. A document that cannot be
    // exported gives status 1 and the format's message on a line of its own, followed by the reason; so does an
    // invalid document; a wrong command line gives 2 and the usage text.
    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments"); // IN: an input file holding `input`; OUT: the target
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QByteArray ok("[1]");
        const QString plist = QStringLiteral("Document contents could not be exported as Property List.");
        const QString invalid = QStringLiteral("JSON content doesn't appear to be valid.");
        const auto row = [](const char* tag, const char* format, const char* in, const char* out,
                            const QByteArray& input, const QString& message) {
            QTest::newRow(tag) << QStringList{"export", "--to", format, in, out} << input << 1 << message;
        };
        row("null, xml", "plist-xml", "IN", "OUT", "[null]", plist);
        row("invalid", "json", "IN", "OUT", "[1,", invalid);
        row("invalid from stdin", "plist-xml", "-", "OUT", "{\"a\" 1}", invalid);
        row("missing folder, json", "json", "IN", "MISSING", ok,
            "Document contents could not be saved to disk. Please, contact support if the issue persists.");
        row("missing folder, yaml", "yaml", "IN", "MISSING", ok, "Document contents could not be exported as YAML.");
        const std::initializer_list<std::pair<const char*, QStringList>> usage{
            {"no --to", {"export", "IN", "OUT"}},
            {"--to without format", {"export", "IN", "OUT", "--to"}},
            {"unknown format", {"export", "--to", "plist", "IN", "OUT"}},
            {"no OUT", {"export", "--to", "json", "IN"}},
            {"no files", {"export", "--to", "json"}},
            {"three files", {"export", "--to", "json", "IN", "OUT", "OUT"}},
            {"unknown option", {"export", "--to", "json", "IN", "OUT", "--force"}},
        };
        for (const auto& [name, arguments] : usage)
            QTest::newRow(name) << arguments << ok << 2 << QStringLiteral("Usage:");
    }
    void failures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, status);
        QFETCH(QString, message);
        const QString in = write(QStringLiteral("failure-in.json"), input);
        const QString out = m_dir.filePath(QStringLiteral("failure-out"));
        const QString missing = m_dir.filePath(QStringLiteral("absent/out"));
        for (const bool outExists : {false, true}) {
            QFile::remove(out);
            if (outExists)
                write(QStringLiteral("failure-out"), "old contents");
            QStringList resolved = arguments;
            resolved.replaceInStrings(QRegularExpression(QStringLiteral("^IN$")), in);
            resolved.replaceInStrings(QRegularExpression(QStringLiteral("^OUT$")), out);
            resolved.replaceInStrings(QRegularExpression(QStringLiteral("^MISSING$")), missing);
            const Run run = runCli(resolved, input);
            QCOMPARE(run.exitCode, status);
            QCOMPARE(run.out, QString());
            // Debug builds also write the model's log lines on standard error, so the message is found by line.
            const QStringList lines = run.err.split(QLatin1Char('\n'));
            const qsizetype at = lines.indexOf(message);
            QVERIFY2(status == 2 ? run.err.contains(message) : at >= 0, qPrintable(run.err));
            QVERIFY2(status == 2 || !lines.value(at + 1).isEmpty(), qPrintable(run.err));
            QCOMPARE(QFileInfo::exists(out), outExists);
            if (outExists)
                QCOMPARE(read(out), QByteArray("old contents"));
            QVERIFY(!QFileInfo::exists(QFileInfo(missing).path()));
            // No temporary file is left beside OUT.
            QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("failure-out")),
                     outExists ? QStringList{QStringLiteral("failure-out")} : QStringList());
        }
    }

private:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestCliExport)
#include "tst_cliexport.moc"
