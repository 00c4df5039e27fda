#include "ExportCheck.h"
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
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

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
        const auto text = PropertyList::propertyListText(*root, PropertyList::xmlFormat);
        QVERIFY(!text);
        QCOMPARE(text.error().code, Error::Code::NotWritable);
        QCOMPARE(text.error().message, QStringLiteral("A property list has no null value."));
        QCOMPARE(log.errorsNaming(QStringLiteral("propertyListText(_:)")), 1);
        const auto data = PropertyList::propertyListData(*root);
        QVERIFY(!data);
        QCOMPARE(data.error().code, Error::Code::NotWritable);
        QCOMPARE(log.errorsNaming(QStringLiteral("propertyListData()")), 1);
    }

    // The OpenStep form is never written, whatever the document.
    void openStepRefused()
    {
        const OwnedTree root = treeFromText(QStringLiteral("{\"a\":[\"b\"]}"));
        QVERIFY(root);
        LogRecorder log;
        const auto text = PropertyList::propertyListText(*root, PropertyList::openStepFormat);
        QVERIFY(!text);
        QCOMPARE(text.error().code, Error::Code::UnknownFormat);
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
        auto document = loaded(Document::documentFromText(QStringLiteral("{\"b\": [1, 2.5, true], \"a\": \"x/y\"}")));
        QVERIFY(document);
        const QString path = m_dir.filePath(QStringLiteral("a.json"));
        QVERIFY(ExportWriter::writeExport(path, ExportFormat::Json, *document));
        QCOMPARE(readFile(path), QByteArray("{\"a\":\"x\\/y\",\"b\":[1,2.5,true]}"));
        QCOMPARE(document->url(), path);
        QCOMPARE(document->name(), std::optional<QString>(QStringLiteral("a.json")));
        QVERIFY(document->saved());
        QVERIFY(m_presenter.alerts.empty());
    }

    // An export is not the document's file: it stays untitled and without one. A property list counts as saved;
    // XML and YAML leave the document unsaved.
    void writeOtherFormat_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::addColumn<bool>("saved");
        QTest::newRow("plist xml") << ExportFormat::PlistXml << true;
        QTest::newRow("plist binary") << ExportFormat::PlistBinary << true;
        QTest::newRow("xml") << ExportFormat::Xml << false;
        QTest::newRow("yaml") << ExportFormat::Yaml << false;
    }
    void writeOtherFormat()
    {
        QFETCH(ExportFormat, format);
        QFETCH(bool, saved);
        auto document = loaded(Document::documentFromText(QStringLiteral("{\"list\":[1,\"two\",3.5,false]}")));
        QVERIFY(document);
        document->setSaved(false);
        const QString path = m_dir.filePath(QStringLiteral("a.export"));
        QVERIFY(ExportWriter::writeExport(path, format, *document));
        if (saved)
            QCOMPARE(plistlibVerdict(readFile(path), *document->root()->jsonText(), format == ExportFormat::PlistXml),
                     QStringLiteral("ok"));
        else
            QCOMPARE(readFile(path), ExportWriter::exportBytes(document->root(), format).value_or("?"));
        QCOMPARE(document->url(), QString());
        QCOMPARE(document->name(), std::optional<QString>(QStringLiteral("Untitled")));
        QCOMPARE(document->saved(), saved);
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
        const auto row = [](const char* tag, ExportFormat format, const QString& json, const char* target,
                            const QString& message) { QTest::newRow(tag) << format << json << target << message; };
        row("xml, null", ExportFormat::PlistXml, "[1,null]", "out.plist", plist);
        row("openstep", ExportFormat::PlistOpenStep, ok, "out.plist",
            "Document contents could not be exported as Property List");
        row("json, missing folder", ExportFormat::Json, ok, "absent/out.json",
            "Document contents could not be saved to disk. Please, contact support if the issue persists.");
        row("binary, missing folder", ExportFormat::PlistBinary, ok, "absent/out.plist", plist);
        row("xml, control character", ExportFormat::Xml, "[\"\\u0007\"]", "out.xml",
            "Document contents could not be exported as XML.");
        row("yaml, missing folder", ExportFormat::Yaml, ok, "absent/out.yaml",
            "Document contents could not be exported as YAML.");
    }
    void writeRefused()
    {
        QFETCH(ExportFormat, format);
        QFETCH(QString, json);
        QFETCH(QString, target);
        QFETCH(QString, message);
        const QString source = m_dir.filePath(QStringLiteral("source.json"));
        QVERIFY(writeFile(source, json.toUtf8()));
        auto document = loaded(Document::documentFromFile(source));
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

    // The XML and YAML exports written whole: layout, element names, types, quoting, escapes and numbers. Each
    // reads back as the document through independent readers (YAML through a 1.2 and a 1.1 reader), except
    // nesting deeper than those readers go. Rows without an expected text are only read back.
    void textExports_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::addColumn<QString>("json");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<bool>("readBack");
        const auto xml = [](const char* tag, const QString& json, const QByteArray& body) {
            QTest::newRow(tag) << ExportFormat::Xml << json << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + body
                               << true;
        };
        const auto yaml = [](const char* tag, const QString& json, const QByteArray& text, bool readBack = true) {
            QTest::newRow(tag) << ExportFormat::Yaml << json << text << readBack;
        };
        xml("xml layout", QStringLiteral("{\"10\":9007199254740993,\"a\":[true,null,\"\",{}],\"b\":\"s\",\"m\":-0.5}"),
            "<root type=\"object\">\n"
            "  <member name=\"10\" type=\"number\">9007199254740993</member>\n"
            "  <a type=\"array\">\n"
            "    <item type=\"boolean\">true</item>\n"
            "    <item type=\"null\"/>\n"
            "    <item/>\n"
            "    <item type=\"object\"/>\n"
            "  </a>\n"
            "  <b>s</b>\n"
            "  <m type=\"number\">-0.5</m>\n"
            "</root>\n");
        // Names that are XML names (no colon, not starting with "xml", not "member") name their element.
        xml("xml names",
            QString::fromUtf8("{\"_x\":1,\"__proto__\":2,\"\u00e9\":3,\"a-b.c9\":4,\"item\":5,\"Member\":6,"
                              "\"x\u00b7y\":7,\"\":8,\"a b\":9,\"a:b\":10,\"-x\":11,\".x\":12,\"XmlThing\":13,"
                              "\"\u00b7\":14,\"\\ud83d\\ude00\":15,\"member\":16}"),
            "<root type=\"object\">\n"
            "  <member name=\"\" type=\"number\">8</member>\n"
            "  <member name=\"-x\" type=\"number\">11</member>\n"
            "  <member name=\".x\" type=\"number\">12</member>\n"
            "  <Member type=\"number\">6</Member>\n"
            "  <member name=\"XmlThing\" type=\"number\">13</member>\n"
            "  <__proto__ type=\"number\">2</__proto__>\n"
            "  <_x type=\"number\">1</_x>\n"
            "  <member name=\"a b\" type=\"number\">9</member>\n"
            "  <a-b.c9 type=\"number\">4</a-b.c9>\n"
            "  <member name=\"a:b\" type=\"number\">10</member>\n"
            "  <item type=\"number\">5</item>\n"
            "  <member name=\"member\" type=\"number\">16</member>\n"
            "  <x\xC2\xB7y type=\"number\">7</x\xC2\xB7y>\n"
            "  <member name=\"\xC2\xB7\" type=\"number\">14</member>\n"
            "  <\xC3\xA9 type=\"number\">3</\xC3\xA9>\n"
            "  <member name=\"\xF0\x9F\x98\x80\" type=\"number\">15</member>\n"
            "</root>\n");
        // Markup as entities; in attributes also quotes, tabs and line feeds; carriage returns always, since
        // readers turn a literal one into a line feed.
        xml("xml escapes",
            QStringLiteral("{\"a\":\"x&y\",\"b\":\"x&amp;y\",\"c\":\"<\\r\\t\\n>'\\\"\","
                           "\"\\t\\n\\r\\\"&<'\":[\" lead \"]}"),
            "<root type=\"object\">\n"
            "  <member name=\"&#9;&#10;&#13;&quot;&amp;&lt;&apos;\" type=\"array\">\n"
            "    <item> lead </item>\n"
            "  </member>\n"
            "  <a>x&amp;y</a>\n"
            "  <b>x&amp;amp;y</b>\n"
            "  <c>&lt;&#13;\t\n&gt;'\"</c>\n"
            "</root>\n");
        yaml("yaml layout",
             QStringLiteral("{\"10\":9007199254740993,\"2\":[[1,[]],{\"a\":{},\"b\":[null,{\"c\":false}]}],\"\":{},"
                            "\"__proto__\":\"x\",\"n\":{\"c\":[[\"d\"]],\"e\":true}}"),
             "\"\": {}\n"
             "\"10\": 9007199254740993\n"
             "\"2\":\n"
             "  - - 1\n"
             "    - []\n"
             "  - a: {}\n"
             "    b:\n"
             "      - null\n"
             "      - c: false\n"
             "__proto__: x\n"
             "\"n\":\n"
             "  c:\n"
             "    - - d\n"
             "  e: true\n");
        // Plain unless a YAML 1.1 or 1.2 reader would take the text for something else or refuse it.
        yaml("yaml quoting",
             QString::fromUtf8("[\"yes\",\"123\",\"True\",\"~\",\"\",\".5\",\"0b101\",\"12:30:45\",\"2001-12-14\","
                               "\"=\",\"- x\",\"a: b\",\"a #b\",\"key:\",\" lead\",\"x\u00a0\",\"1_000\",\"+.inf\","
                               "\"plain\",\"v1.0\",\"1.2.3\",\"1:60\",\"a#b\",\"a:b\",\"\u00e9 \\ud83d\\ude00\","
                               "\"2001-12-145\",\"...\"]"),
             "- \"yes\"\n- \"123\"\n- \"True\"\n- \"~\"\n- \"\"\n- \".5\"\n- \"0b101\"\n- \"12:30:45\"\n"
             "- \"2001-12-14\"\n- \"=\"\n- \"- x\"\n- \"a: b\"\n- \"a #b\"\n- \"key:\"\n- \" lead\"\n"
             "- \"x\xC2\xA0\"\n- \"1_000\"\n- \"+.inf\"\n"
             "- plain\n- v1.0\n- 1.2.3\n- 1:60\n- a#b\n- a:b\n- \xC3\xA9 \xF0\x9F\x98\x80\n- 2001-12-145\n- ...\n");
        yaml("yaml escapes",
             QStringLiteral("[\"a\\u0001b\",\"\\u0000\\u0007\\b\\t\\n\\u000b\\f\\r\\u001b\\u001f\\u007f\","
                            "\"\\u0085\\u0080\",\"\\u2028\\u2029\",\"\\ufeff\\ufffe\\uffff\",\"\\\"\\\\\"]"),
             "- \"a\\x01b\"\n"
             "- \"\\0\\a\\b\\t\\n\\v\\f\\r\\e\\x1f\\x7f\"\n"
             "- \"\\N\\x80\"\n"
             "- \"\\L\\P\"\n"
             "- \"\\ufeff\\ufffe\\uffff\"\n"
             "- \"\\\"\\\\\"\n");
        // As the JSON text writes them, but with a point before an exponent: YAML 1.1 reads "1e+21" as a string.
        yaml("yaml numbers",
             QStringLiteral("[1e21,1e-7,1.5e-7,0.1,-2.5e-300,-9223372036854775808,9223372036854775808,"
                            "123456789012345678901234567890]"),
             "- 1.0e+21\n- 1.0e-07\n- 1.5e-07\n- 0.1\n- -2.5e-300\n- -9223372036854775808\n- 9223372036854775808\n"
             "- 1.2345678901234568e+29\n");
        // A top-level key starting with "..." would end the document. Keys over 1,024 UTF-16 units are explicit.
        const QString emoji = QStringLiteral("\U0001F600").repeated(512);
        yaml("yaml keys",
             QStringLiteral("{\"...\":1,\"...\\\"\":2,\"...'\\\"\":3,\"x\":{\"...\":4},\"%1\":5,\"%2\":6,"
                            "\"%3\":[7,{}],\"%4\":{\"k\":8}}")
                 .arg(QString(1024, u'a'), QString(1025, u'b'), QStringLiteral("\\u0001").repeated(256), emoji),
             "? \"" + QByteArray("\\x01").repeated(256) + "\"\n: - 7\n  - {}\n" +
                 "\"...\": 1\n'...\"': 2\n\"...'\\\"\": 3\n" + QByteArray(1024, 'a') + ": 5\n? " +
                 QByteArray(1025, 'b') + "\n: 6\nx:\n  ...: 4\n" + emoji.toUtf8() + ":\n  k: 8\n");
        // Strings YAML 1.1 or 1.2 readers would take for booleans, numbers, dates, nulls or structure, or refuse,
        // as values and as keys: read back only.
        const QStringList strings{
            "yes", "No", "ON", "off", "y", "N", "~", "null", "Null", "", "0b101", "0o17", "0x1F", "0777", "+12",
            "1_000", "1:20", "12:30:45", "190:20:30.15", ".inf", "-.INF", ".NaN", "1e3", "6.8523015e+5", "2001-12-14",
            "2001-12-14t21:59:43.10-05:00", "=", "<<", " lead", "trail ", "- x", "? x", ": x", "#x", "&a", "*a", "!t",
            "|", ">", "%x", "@x", "`x", "'q'", "\"q\"", "{x}", "[x]", "a: b", "a #b", "key:", "tab\there", "a\nb", "\r",
            "\u0001", "\u007f", "\u0085", "\u0080\u009f", "\u2028", "\ufeffbom", "plain text", "v1.0",
            "caf\u00e9 \U0001F600", "---", "...", "...x", "a\n\n", "\n", "\\", "?", ",", "0b1_0", "\t", "\u009f",
            "2002-12-14 21:59:43.10 -5", "x\ufffe", "a\ufeff", "a\u00a0", "\u3000x"};
        QJsonArray values;
        QJsonObject keys;
        for (const QString& text : strings) {
            values.append(text);
            keys.insert(text, text);
        }
        yaml("yaml strings for every reader",
             QString::fromUtf8(QJsonDocument(QJsonArray{values, keys}).toJson(QJsonDocument::Compact)), QByteArray());
        yaml("yaml at the nesting limit", QStringLiteral("[").repeated(1024) + '1' + QStringLiteral("]").repeated(1024),
             QByteArray("- ").repeated(1024) + "1\n", false);
    }
    void textExports()
    {
        QFETCH(ExportFormat, format);
        QFETCH(QString, json);
        QFETCH(QByteArray, expected);
        QFETCH(bool, readBack);
        const OwnedTree root = treeFromText(json);
        QVERIFY(root);
        const auto exported = ExportWriter::exportBytes(root.get(), format);
        QVERIFY2(exported, qPrintable(exported ? QString() : exported.error().message));
        if (!expected.isNull())
            QCOMPARE(*exported, expected);
        if (!readBack)
            return;
        const QString exportedPath = m_dir.filePath(QStringLiteral("export"));
        const QString jsonPath = m_dir.filePath(QStringLiteral("export.json"));
        QVERIFY(writeFile(exportedPath, *exported) && writeFile(jsonPath, *root->jsonText()));
        const bool xml = format == ExportFormat::Xml;
        QCOMPARE(exportReadBackVerdict(xml, exportedPath, jsonPath), QStringLiteral("same"));
        if (!xml)
            QCOMPARE(exportReadBackVerdict(false, exportedPath, jsonPath, true), QStringLiteral("same"));
    }

    // Characters XML 1.0 cannot carry, in a value or in a name, make the XML export fail with the character
    // named; YAML escapes them. A number the JSON text cannot hold fails both, as does a missing document.
    void textExportsRefused_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("reason");
        QTest::newRow("U+0001 in a value") << "{\"k\":[\"a\\u0001b\"]}"
                                           << "U+0001 cannot be written in XML";
        QTest::newRow("U+0000 in a name") << "{\"\\u0000\":1}"
                                          << "U+0000 cannot be written in XML";
        QTest::newRow("U+000B in a name") << "{\"a\\u000b\":1}"
                                          << "U+000B cannot be written in XML";
        QTest::newRow("U+FFFE") << "[\"x\\ufffe\"]"
                                << "U+FFFE cannot be written in XML";
        QTest::newRow("U+FFFF in a name") << "{\"\\uffff\":1}"
                                          << "U+FFFF cannot be written in XML";
        QTest::newRow("infinity") << "[1.5]"
                                  << "Invalid number value (inf)";
    }
    void textExportsRefused()
    {
        QFETCH(QString, json);
        QFETCH(QString, reason);
        const OwnedTree root = treeFromText(json);
        QVERIFY(root);
        const bool infinite = reason.startsWith(QLatin1String("Invalid"));
        if (infinite)
            root->child(0)->setFloatValue(std::numeric_limits<double>::infinity());
        const auto xml = ExportWriter::exportBytes(root.get(), ExportFormat::Xml);
        QVERIFY(!xml);
        QCOMPARE(xml.error().code, Error::Code::NotWritable);
        QVERIFY2(xml.error().message.startsWith(reason), qPrintable(xml.error().message));
        QCOMPARE(bool(ExportWriter::exportBytes(root.get(), ExportFormat::Yaml)), !infinite);
        const auto nothing = ExportWriter::exportBytes(nullptr, ExportFormat::Yaml);
        QVERIFY(!nothing);
        QCOMPARE(nothing.error().code, Error::Code::NoContent);
    }

    // Each format's extensions and command-line name; names read back as their format. (Failure texts: writeRefused.)
    void formats_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::addColumn<QStringList>("extensions");
        QTest::addColumn<QString>("cliName");
        const QStringList plist{QStringLiteral("plist")};
        QTest::newRow("json") << ExportFormat::Json << QStringList{"json"} << "json";
        QTest::newRow("xml") << ExportFormat::Xml << QStringList{"xml"} << "xml";
        QTest::newRow("yaml") << ExportFormat::Yaml << QStringList{"yaml", "yml"} << "yaml";
        QTest::newRow("plist xml") << ExportFormat::PlistXml << plist << "plist-xml";
        QTest::newRow("plist openstep") << ExportFormat::PlistOpenStep << plist << "plist-openstep";
        QTest::newRow("plist binary") << ExportFormat::PlistBinary << plist << "plist-binary";
    }
    void formats()
    {
        QFETCH(ExportFormat, format);
        QFETCH(QStringList, extensions);
        QFETCH(QString, cliName);
        QCOMPARE(ExportFormats::extensions(format), extensions);
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
