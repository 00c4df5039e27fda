#include "PlistCheck.h"
#include "TestSupport.h"
#include "model/Alerts.h"
#include "model/ExportFormat.h"
#include "model/ExportWriter.h"
#include "model/PropertyList.h"
#include "model/Settings.h"
#include "model/TreeNode.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(ExportFormat)

namespace {

// plistlib's verdict on `plist` against the JSON text: "ok", the difference, or what went wrong.
QString plistlibVerdict(const QByteArray& plist, const QByteArray& json, bool xml)
{
    QTemporaryDir dir;
    const QString plistPath = dir.filePath(QStringLiteral("in.plist"));
    const QString jsonPath = dir.filePath(QStringLiteral("in.json"));
    if (!dir.isValid() || !writeFile(plistPath, plist) || !writeFile(jsonPath, json))
        return QStringLiteral("cannot write the files");
    return plistlibVerdictForFiles(plistPath, jsonPath, xml);
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_settingsDir.isValid());
        Settings::useFile(m_settingsDir.filePath(QStringLiteral("settings.ini")));
    }
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_presenter.alerts.clear();
        Alerts::setPresenter(&m_presenter);
    }
    void cleanup() { Alerts::setPresenter(nullptr); }

    // Both property list forms read back, with an independent reader, as exactly the document's values.
    void readBack_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<bool>("xml");
        const auto add = [](const char* name, const QString& json) {
            QTest::addRow("%s, xml", name) << json << true;
            QTest::addRow("%s, binary", name) << json << false;
        };
        add("nested", QStringLiteral("{\"a\":{\"b\":[1,[2,{\"c\":[\"x\"]}]],\"d\":{\"e\":{}}},\"f\":[[],{},[[]]]}"));
        add("empty object", QStringLiteral("{}"));
        add("empty array", QStringLiteral("[]"));
        // Each width of the binary form's integers, on both sides of its limits.
        add("integers", QStringLiteral("[0,1,-1,255,256,-129,65535,65536,4294967295,4294967296,4294967297,"
                                       "-4294967297,9223372036854775807,-9223372036854775808]"));
        add("floats", QStringLiteral("[0.1,-2.5e-300,1e300,-0.75]"));
        add("booleans", QStringLiteral("[true,false,{\"t\":true,\"f\":false}]"));
        add("non-ascii", QString::fromUtf8("[\"é\",\"日本\",\"😀\",\"caf\\u00e9 日本 \\ud83d\\ude00\"]"));
        add("xml characters", QStringLiteral("[\"<a>&amp;</a>\",\"&\",\">\",\"\\\"q\\\" 'a'\",\"]]>\",\"<!--x-->\"]"));
        add("tab and line feed", QStringLiteral("[\"a\\tb\",\"a\\nb\",\"\\n\\t\",\" padded \"]"));
        // An XML reader turns a raw carriage return into a line feed.
        add("carriage return", QStringLiteral("[\"a\\rb\",\"a\\r\\nb\",\"\\r\"]"));
        add("keys",
            QString::fromUtf8("{\"with space\":1,\"clé 日本 😀\":2,\"\":3,\"<&>\\\"\":4,\"a\\tb\\n\":{\"\":[]}}"));
        add("carriage return in a key", QStringLiteral("{\"a\\r\":1}"));
        add("duplicate member, the later kept", QStringLiteral("{\"a\":1,\"b\":[],\"a\":{\"c\":2}}"));
        // Counts of 15 and more follow the type marker; long texts need wider counts.
        add("long texts", QStringLiteral("[\"%1\",\"%2\",\"%3\",\"%4\"]")
                              .arg(QString(15, u'a'), QString(300, u'b'), QString(70'000, u'c'), QString(300, u'é')));
        // More than 255 and more than 65,535 objects need wider references and offsets.
        const auto numbers = [](int count) {
            QStringList items;
            for (int i = 0; i < count; ++i)
                items << QString::number(i * 7919 - 3);
            return QStringLiteral("[") + items.join(QLatin1Char(',')) + QStringLiteral("]");
        };
        add("over 255 objects", numbers(300));
        add("over 65,535 objects", numbers(70'000));
    }

    // The binary form writes each member name once, however many objects have it.
    void binaryWritesNamesOnce()
    {
        QStringList members;
        for (int i = 0; i < 1000; ++i)
            members << QStringLiteral("{\"shared\":%1,\"other\":\"v\"}").arg(i);
        const OwnedTree root = treeFromText(QStringLiteral("[") + members.join(QLatin1Char(',')) + QStringLiteral("]"));
        QVERIFY(root);
        const auto plist = PropertyList::propertyListData(*root);
        QVERIFY(plist);
        QCOMPARE(plist->count("shared"), 1);
        QCOMPARE(plist->count("other"), 1);
        QCOMPARE(plistlibVerdict(*plist, *root->jsonText(), false), QStringLiteral("ok"));
    }
    void readBack()
    {
        QFETCH(QString, json);
        QFETCH(bool, xml);
        const OwnedTree root = treeFromText(json);
        QVERIFY(root);
        const auto text = root->jsonText();
        QVERIFY(text);
        const auto plist = xml ? PropertyList::propertyListText(*root, PropertyList::xmlFormat)
                               : PropertyList::propertyListData(*root);
        QVERIFY(plist);
        QCOMPARE(plistlibVerdict(*plist, *text, xml), QStringLiteral("ok"));
    }

    // A property list has no null: wherever one is, neither form is written and each failure is logged under
    // its operation.
    void nullRefused_data()
    {
        QTest::addColumn<QString>("json");
        QTest::newRow("top level") << "[null]";
        QTest::newRow("after values") << "[1,\"a\",null]";
        QTest::newRow("member") << "{\"k\":null}";
        QTest::newRow("nested") << "{\"a\":[1,{\"b\":[true,null]}],\"c\":2}";
    }
    void nullRefused()
    {
        QFETCH(QString, json);
        const OwnedTree root = treeFromText(json);
        QVERIFY(root);
        LogRecorder log;
        QString why;
        QVERIFY(!PropertyList::propertyListText(*root, PropertyList::xmlFormat, &why));
        QVERIFY(!why.isEmpty());
        QCOMPARE(log.errorsNaming(QStringLiteral("propertyListText(_:)")), 1);
        why.clear();
        QVERIFY(!PropertyList::propertyListData(*root, &why));
        QVERIFY(!why.isEmpty());
        QCOMPARE(log.errorsNaming(QStringLiteral("propertyListData()")), 1);
    }

    // The OpenStep form is never written, whatever the document.
    void openStepRefused()
    {
        const OwnedTree root = treeFromText(QStringLiteral("{\"a\":[\"b\"]}"));
        QVERIFY(root);
        LogRecorder log;
        QVERIFY(!PropertyList::propertyListText(*root, PropertyList::openStepFormat));
        QCOMPARE(log.errorsNaming(QStringLiteral("propertyListText(_:)")), 1);
    }

    // Texts holding U+0000 fit neither form. Other characters XML cannot carry fail the XML form only: the binary
    // form keeps them.
    void controlCharacters_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<bool>("binaryWritten");
        QTest::newRow("U+0000 in a string") << "[\"a\\u0000b\"]" << false;
        QTest::newRow("U+0000 alone") << "{\"k\":[\"\\u0000\"]}" << false;
        QTest::newRow("U+0000 in a key") << "{\"a\\u0000b\":1}" << false;
        QTest::newRow("U+0001 in a string") << "[\"a\\u0001b\"]" << true;
        QTest::newRow("U+001F nested") << "{\"k\":[[\"\\u001f\"]]}" << true;
        QTest::newRow("U+0001 in a key") << "{\"\\u0001\":true}" << true;
        QTest::newRow("U+FFFE") << "[\"x\\ufffey\"]" << true;
    }
    void controlCharacters()
    {
        QFETCH(QString, json);
        QFETCH(bool, binaryWritten);
        const OwnedTree root = treeFromText(json);
        QVERIFY(root);
        LogRecorder log;
        QVERIFY(!PropertyList::propertyListText(*root, PropertyList::xmlFormat));
        QCOMPARE(log.errorsNaming(QStringLiteral("propertyListText(_:)")), 1);
        const auto binary = PropertyList::propertyListData(*root);
        QCOMPARE(bool(binary), binaryWritten);
        QCOMPARE(log.errorsNaming(QStringLiteral("propertyListData()")), int(!binaryWritten));
        if (binary)
            QCOMPARE(plistlibVerdict(*binary, *root->jsonText(), false), QStringLiteral("ok"));
    }

    // JSON export gives the document its new file and name; every successful export marks it saved.
    void writeJson()
    {
        auto document = Document::documentFromText(QStringLiteral("{\"b\": [1, 2.5, true], \"a\": \"x/y\"}"));
        QVERIFY(document);
        const QString path = m_dir.filePath(QStringLiteral("a.json"));
        QVERIFY(ExportWriter::writeExport(path, ExportFormat::Json, *document));
        QCOMPARE(readFile(path), QByteArray("{\"a\":\"x\\/y\",\"b\":[1,2.5,true]}"));
        QCOMPARE(document->url(), path);
        QCOMPARE(document->name(), std::optional<QString>(QStringLiteral("a.json")));
        QVERIFY(document->saved());
        QVERIFY(m_presenter.alerts.empty());
    }

    // A property list is not the document's file: it stays untitled and without one, but counts as saved.
    void writePropertyList_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::newRow("xml") << ExportFormat::PlistXml;
        QTest::newRow("binary") << ExportFormat::PlistBinary;
    }
    void writePropertyList()
    {
        QFETCH(ExportFormat, format);
        auto document = Document::documentFromText(QStringLiteral("{\"list\":[1,\"two\",3.5,false]}"));
        QVERIFY(document);
        const QString path = m_dir.filePath(QStringLiteral("a.plist"));
        QVERIFY(ExportWriter::writeExport(path, format, *document));
        const bool xml = format == ExportFormat::PlistXml;
        QCOMPARE(plistlibVerdict(readFile(path), *document->root()->jsonText(), xml), QStringLiteral("ok"));
        QCOMPARE(document->url(), QString());
        QCOMPARE(document->name(), std::optional<QString>(QStringLiteral("Untitled")));
        QVERIFY(document->saved());
        QVERIFY(m_presenter.alerts.empty());
    }

    // A failed export shows exactly one alert with the format's texts, leaves the document's file, name and saved
    // flag alone, and leaves an existing target file as it was.
    void writeRefused_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        const QString plist = QStringLiteral("Document contents could not be exported as Property List.");
        const QString ok = QStringLiteral("{\"a\":[1]}");
        QTest::newRow("xml, null") << ExportFormat::PlistXml << "[1,null]"
                                   << "out.plist" << plist;
        QTest::newRow("binary, null") << ExportFormat::PlistBinary << "{\"a\":{\"b\":null}}"
                                      << "out.plist" << plist;
        QTest::newRow("openstep") << ExportFormat::PlistOpenStep << ok << "out.plist"
                                  << "Document contents could not be exported as Property List";
        QTest::newRow("openstep, null") << ExportFormat::PlistOpenStep << "[null]"
                                        << "out.plist"
                                        << "Document contents could not be exported as Property List";
        QTest::newRow("json, missing folder")
            << ExportFormat::Json << ok << "absent/out.json"
            << "Document contents could not be saved to disk. Please, contact support if the issue persists.";
        QTest::newRow("xml, missing folder") << ExportFormat::PlistXml << ok << "absent/out.plist" << plist;
        QTest::newRow("binary, missing folder") << ExportFormat::PlistBinary << ok << "absent/out.plist" << plist;
    }
    void writeRefused()
    {
        QFETCH(ExportFormat, format);
        QFETCH(QString, json);
        QFETCH(QString, target);
        QFETCH(QString, message);
        const QString source = m_dir.filePath(QStringLiteral("source.json"));
        QVERIFY(writeFile(source, json.toUtf8()));
        auto document = Document::documentFromFile(source);
        QVERIFY(document);
        document->setSaved(false);
        const QString path = m_dir.filePath(target);
        const QByteArray old("old contents");
        const bool folderExists = !target.contains(QLatin1Char('/'));
        if (folderExists)
            QVERIFY(writeFile(path, old));

        QVERIFY(!ExportWriter::writeExport(path, format, *document));
        QCOMPARE(m_presenter.alerts.size(), std::size_t(1));
        QCOMPARE(m_presenter.alerts.front().title, QStringLiteral("Something went wrong!"));
        QCOMPARE(m_presenter.alerts.front().message, message);
        QCOMPARE(m_presenter.alerts.front().style, Alert::Style::Critical);
        QCOMPARE(document->url(), source);
        QCOMPARE(document->name(), std::optional<QString>(QStringLiteral("source.json")));
        QVERIFY(!document->saved());
        if (folderExists)
            QCOMPARE(readFile(path), old);
        else
            QVERIFY(!QFileInfo::exists(QFileInfo(path).path()));
        // No temporary file is left beside the target.
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("out")),
                 folderExists ? QStringList{target} : QStringList());
        QVERIFY(QFile::remove(source));
        if (folderExists)
            QVERIFY(QFile::remove(path));
    }

    // XML and YAML are made by the editor page, and a document without content has no bytes in any format.
    void exportBytesRefused_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::addColumn<bool>("withRoot");
        QTest::newRow("xml") << ExportFormat::Xml << true;
        QTest::newRow("yaml") << ExportFormat::Yaml << true;
        QTest::newRow("json, no root") << ExportFormat::Json << false;
        QTest::newRow("binary, no root") << ExportFormat::PlistBinary << false;
    }
    void exportBytesRefused()
    {
        QFETCH(ExportFormat, format);
        QFETCH(bool, withRoot);
        const OwnedTree root = treeFromText(QStringLiteral("{\"a\":1}"));
        QVERIFY(root);
        QString why;
        QVERIFY(!ExportWriter::exportBytes(withRoot ? root.get() : nullptr, format, &why));
        QVERIFY(!why.isEmpty());
    }

    // Each format's extensions, failure message and command-line name; names read back as their format.
    void formats_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::addColumn<QStringList>("extensions");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("cliName");
        const QStringList plist{QStringLiteral("plist")};
        const QString plistMessage = QStringLiteral("Document contents could not be exported as Property List.");
        QTest::newRow("json") << ExportFormat::Json << QStringList{"json"}
                              << "Document contents could not be saved to disk. Please, contact support if the "
                                 "issue persists."
                              << "json";
        QTest::newRow("xml") << ExportFormat::Xml << QStringList{"xml"}
                             << "Document contents could not be exported as XML."
                             << "xml";
        QTest::newRow("yaml") << ExportFormat::Yaml << QStringList{"yaml", "yml"}
                              << "Document contents could not be exported as YAML."
                              << "yaml";
        QTest::newRow("plist xml") << ExportFormat::PlistXml << plist << plistMessage << "plist-xml";
        QTest::newRow("plist openstep") << ExportFormat::PlistOpenStep << plist
                                        << "Document contents could not be exported as Property List"
                                        << "plist-openstep";
        QTest::newRow("plist binary") << ExportFormat::PlistBinary << plist << plistMessage << "plist-binary";
    }
    void formats()
    {
        QFETCH(ExportFormat, format);
        QFETCH(QStringList, extensions);
        QFETCH(QString, message);
        QFETCH(QString, cliName);
        QCOMPARE(ExportFormats::extensions(format), extensions);
        QCOMPARE(ExportFormats::failureMessage(format), message);
        QCOMPARE(ExportFormats::failureTitle(), QStringLiteral("Something went wrong!"));
        QCOMPARE(ExportFormats::cliName(format), cliName);
        QCOMPARE(ExportFormats::fromCliName(cliName), std::optional<ExportFormat>(format));
    }

    // Names match exactly: no other spelling is a format.
    void unknownCliNames()
    {
        for (const char* name : {"", "JSON", "Json", "plist", "plist_xml", "plistxml", " json", "json ", "binary",
                                 "plist-binary2", "openstep"})
            QVERIFY2(!ExportFormats::fromCliName(QString::fromLatin1(name)), name);
    }

private:
    QTemporaryDir m_settingsDir;
    QTemporaryDir m_dir;
    AlertRecorder m_presenter;
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
