#include "ExportCheck.h"
#include "PlistCheck.h"
#include "TestSupport.h"
#include "cli/CliRun.h"
#include "model/InstallLayout.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kPrefix = QStringLiteral("/opt/brackwell-check");
const QByteArray kDocument = R"({"b":[1,-2,2.5,true],"a":{"k":"caf\u00e9 <&>"}})";

} // namespace

// Installs the build under a prefix of its own into a temporary DESTDIR and uses the programs from there, as a
// package would lay them out.
class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_destination.isValid());
        QProcess install;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), m_destination.path());
        install.setProcessEnvironment(environment);
        install.start(QStringLiteral(BRACKWELL_CMAKE),
                      {QStringLiteral("--install"), QStringLiteral(BRACKWELL_BUILD_DIR), QStringLiteral("--prefix"), kPrefix});
        QVERIFY(install.waitForFinished(120'000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
        m_root = m_destination.path() + kPrefix;
        m_json = m_destination.filePath(QStringLiteral("in.json"));
        QVERIFY(writeFile(m_json, kDocument));
    }

    // Every part of the application sits where the programs and the desktop look for it.
    void layout_data()
    {
        QTest::addColumn<QString>("path");
        for (const char* path :
             {"bin/brackwell", "bin/brackwell-cli", "libexec/brackwell/jq", "share/brackwell/Core/index.html",
              "share/brackwell/Core/index-dark.html", "share/brackwell/Core/editor.js",
              "share/applications/org.brackwell.Brackwell.desktop", "share/metainfo/org.brackwell.Brackwell.metainfo.xml",
              "share/icons/hicolor/scalable/apps/org.brackwell.Brackwell.svg",
              "share/bash-completion/completions/brackwell-cli", "share/doc/brackwell/copyright"})
            QTest::newRow(path) << QString::fromLatin1(path);
    }
    void layout()
    {
        QFETCH(QString, path);
        QVERIFY2(QFileInfo::exists(m_root + QLatin1Char('/') + path), qPrintable(path));
    }

    // The window finds brackwell-cli, jq and the editor page from its own folder, wherever it is installed.
    void companionsFoundFromTheProgramsFolder()
    {
        const QString bin = m_root + QStringLiteral("/bin");
        QVERIFY(QFileInfo(InstallLayout::cliProgram(bin)).isExecutable());
        QVERIFY(QFileInfo(InstallLayout::jqProgram(bin)).isExecutable());
        QVERIFY(QFileInfo::exists(InstallLayout::editorPageDirectory(bin) + QStringLiteral("/index.html")));
        QProcess jq;
        jq.start(InstallLayout::jqProgram(bin), {QStringLiteral(".a.k")});
        jq.write(kDocument);
        jq.closeWriteChannel();
        QVERIFY(jq.waitForFinished(30'000));
        QCOMPARE(jq.readAllStandardOutput(), QByteArray("\"caf\xC3\xA9 <&>\"\n"));
    }

    // The installed brackwell-cli formats, and exports property lists and XML.
    void installedCommandLineWorks()
    {
        const QString cli = m_root + QStringLiteral("/bin/brackwell-cli");
        const Run format = runCli({QStringLiteral("format"), m_json}, {}, cli);
        QCOMPARE(format.exitCode, 0);
        QCOMPARE(format.out, QStringLiteral("{\"a\":{\"k\":\"caf\u00e9 <&>\"},\"b\":[1,-2,2.5,true]}\n"));
        const QString plist = m_destination.filePath(QStringLiteral("out.plist"));
        QCOMPARE(runCli({QStringLiteral("export"), QStringLiteral("--to"), QStringLiteral("plist-binary"), m_json, plist},
                        {}, cli)
                     .exitCode,
                 0);
        QCOMPARE(plistlibVerdictForFiles(plist, m_json, false), QStringLiteral("ok"));
        const QString xml = m_destination.filePath(QStringLiteral("out.xml"));
        QCOMPARE(runCli({QStringLiteral("export"), QStringLiteral("--to"), QStringLiteral("xml"), m_json, xml}, {}, cli)
                     .exitCode,
                 0);
        QCOMPARE(exportReadBackVerdict(true, xml, m_json), QStringLiteral("same"));
    }

    // The desktop entry and the AppStream metadata pass their validators, where those are installed.
    void metadataValid_data()
    {
        QTest::addColumn<QString>("validator");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("desktop entry") << "desktop-file-validate"
                                       << QStringList{"share/applications/org.brackwell.Brackwell.desktop"};
        QTest::newRow("metainfo") << "appstreamcli"
                                  << QStringList{"validate", "--no-net", "--pedantic",
                                                 "share/metainfo/org.brackwell.Brackwell.metainfo.xml"};
    }
    void metadataValid()
    {
        QFETCH(QString, validator);
        QFETCH(QStringList, arguments);
        const QString program = QStandardPaths::findExecutable(validator);
        if (program.isEmpty())
            QSKIP("validator not installed");
        QProcess check;
        check.setWorkingDirectory(m_root);
        check.start(program, arguments);
        QVERIFY(check.waitForFinished(60'000));
        QVERIFY2(check.exitCode() == 0, check.readAll().constData());
    }

private:
    QTemporaryDir m_destination;
    QString m_root;
    QString m_json;
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
