#include "AppTestSupport.h"
#include "ExportCheck.h"
#include "app/search/SearchField.h"
#include "model/Notifications.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <map>
#include <memory>

namespace {

const QString kProceedTitle = QStringLiteral("Are you sure you want to proceed?");
const QString kLoadFailure = QStringLiteral("Something went wrong!: JSON content doesn't appear to be valid.");
const QString kSaveFailure = QStringLiteral("Something went wrong!: Document contents could not be saved to disk. "
                                            "Please, contact support if the issue persists.");
// The exports run in a child process, which is slow under the sanitizers.
constexpr int kExportTimeout = 20000;

// Integers of every width and sign, reals, booleans, nesting, and texts that XML must escape, whose white space
// an XML reader would normalise, or that are not ASCII.
const char* const kRichDocument =
    "{\"big\": 5000000000, \"bigNegative\": -5000000000, \"int\": 42, \"limit\": 9223372036854775807,"
    " \"negative\": -7, \"precise\": 9007199254740993, \"real\": 3.25, \"tenth\": 0.1, \"tiny\": -1.5e-7,"
    " \"huge\": 6.02e23, \"yes\": true, \"no\": false, \"markup\": \"a <b> & c > d ]]>\", \"k<&>\": \"x\","
    " \"lines\": \"one\\r\\ntwo\\tthree\\n\", \"line\\rkey\": 1, \"padded\": \"  both ends  \","
    " \"unicode\": \"Gr\\u00fc\\u00dfe, \\u65e5\\u672c \\ud83c\\udf89\", \"\\u043a\\u043b\\u044e\\u0447\": \"\","
    " \"list\": [1, [2, [3, \"x\"]], {\"k\": \"v\"}, []], \"nested\": {\"inner\": {\"deep\": [true, false]}},"
    " \"emptyObject\": {}}";

// Runs one of the commands that replace the document, New and Open… from their menu items; the Open commands
// open `path`.
void replaceDocument(LaunchedApp& app, const QString& command, const QString& path)
{
    if (command == QLatin1String("new")) {
        app.delegate.menus()->action(MenuCommand::New)->trigger();
    } else if (command == QLatin1String("open panel")) {
        app.prompts.openPaths = {path};
        app.delegate.menus()->action(MenuCommand::Open)->trigger();
    } else if (command == QLatin1String("open file")) {
        app.delegate.openFile(path);
    } else {
        QGuiApplication::clipboard()->setText(QStringLiteral("[\"clip\"]"));
        app.delegate.documents()->openFromClipboard();
    }
}

// Chooses the format's item in File or File > Export.
void runExport(AppDelegate& delegate, ExportFormat format)
{
    const std::map<ExportFormat, QAction*> items{
        {ExportFormat::Json, delegate.menus()->action(MenuCommand::SaveAs)},
        {ExportFormat::Xml, delegate.menus()->action(MenuCommand::ExportXml)},
        {ExportFormat::Yaml, delegate.menus()->action(MenuCommand::ExportYaml)},
        {ExportFormat::PlistXml, delegate.menus()->action(MenuCommand::ExportPlistXml)},
        {ExportFormat::PlistOpenStep, delegate.menus()->action(MenuCommand::ExportPlistOpenStep)},
        {ExportFormat::PlistBinary, delegate.menus()->action(MenuCommand::ExportPlistBinary)}};
    items.at(format)->trigger();
}

// Every entry of the folder, hidden ones included, so that left-over work files show.
QStringList entries(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QString fileName(const Document* document)
{
    return document->name().value_or(QStringLiteral("(none)"));
}

} // namespace

class TestDocumentCommands : public QObject
{
    Q_OBJECT
private slots:
    // The commands that drop the document ask first only while it holds unsaved changes.
    void replacingAsksOnlyWhenUnsaved_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("asks");
        for (const char* command : {"new", "open panel", "open file", "clipboard"}) {
            QTest::addRow("%s, launch document", command) << command << "launch" << true;
            QTest::addRow("%s, read from a file", command) << command << "file" << false;
            QTest::addRow("%s, just saved", command) << command << "saved" << false;
            QTest::addRow("%s, edited after reading", command) << command << "edited" << true;
        }
    }
    void replacingAsksOnlyWhenUnsaved()
    {
        QFETCH(QString, command);
        QFETCH(QString, state);
        QFETCH(bool, asks);
        LaunchedApp app;
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("source.json"));
        const QString target = dir.filePath(QStringLiteral("target.json"));
        QVERIFY(writeFile(source, "{\"k\":\"v\"}"));
        QVERIFY(writeFile(target, "{\"t\":1}"));
        if (state == QLatin1String("file") || state == QLatin1String("edited")) {
            app.delegate.openDocumentURL(source);
            QVERIFY(app.waitUntilLoaded());
            if (state == QLatin1String("edited"))
                app.document()->root()->child(0)->setValueLabel(QStringLiteral("w"));
        } else if (state == QLatin1String("saved")) {
            QVERIFY(app.delegate.loadJSONString(QStringLiteral("[1]")));
            app.prompts.savePaths.push_back(dir.filePath(QStringLiteral("saved.json")));
            app.delegate.documents()->saveDocument();
        }
        QCOMPARE(app.document()->saved(), !asks);
        if (asks)
            app.prompts.confirmationAnswers.push_back({true, false});

        replaceDocument(app, command, target);
        QVERIFY(app.waitUntilLoaded());
        QCOMPARE(app.prompts.confirmations.size(), asks ? 1 : 0);
        if (asks) {
            QCOMPARE(app.prompts.confirmations.first().title, kProceedTitle);
            QCOMPARE(app.prompts.confirmations.first().message,
                     QStringLiteral("All of your changes to the current project will not be saved!"));
        }
        const QString expected = command == QLatin1String("new")         ? QStringLiteral("{}")
                                 : command == QLatin1String("clipboard") ? QStringLiteral("[\"clip\"]")
                                                                         : QStringLiteral("{\"t\":1}");
        QCOMPARE(app.json(), expected);
        QVERIFY(app.prompts.unexpected.isEmpty());
        QVERIFY(app.alerts.alerts.isEmpty());
    }

    // "Don't show this message again" with Cancel cancels now and silences only the command's own family.
    void silencingIsPerFamily_data()
    {
        QTest::addColumn<QString>("command");
        for (const char* command : {"new", "open panel", "open file", "clipboard"})
            QTest::newRow(command) << command;
    }
    void silencingIsPerFamily()
    {
        QFETCH(QString, command);
        LaunchedApp app;
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("target.json"));
        QVERIFY(writeFile(target, "{\"t\":1}"));
        Document* launched = app.document();
        app.prompts.confirmationAnswers.push_back({false, true});
        replaceDocument(app, command, target);
        QVERIFY(app.waitUntilLoaded());
        // Pointers compared, not QCOMPARE: its failure message would read a replaced, deleted document.
        QVERIFY(app.document() == launched);
        QVERIFY(app.prompts.confirmations.first().showsSuppression);
        const bool opens = command != QLatin1String("new");
        QSettings& store = Settings::instance().store();
        QCOMPARE(store.value(QStringLiteral("new-document"), false).toBool(), !opens);
        QCOMPARE(store.value(QStringLiteral("open-document"), false).toBool(), opens);

        for (const char* other : {"new", "open panel", "open file", "clipboard"}) {
            const QString next = QString::fromLatin1(other);
            QVERIFY(app.delegate.loadJSONString(QStringLiteral("{\"unsaved\":true}")));
            app.prompts.confirmations.clear();
            const bool silenced = (next != QLatin1String("new")) == opens;
            if (!silenced)
                app.prompts.confirmationAnswers.push_back({false, false});
            replaceDocument(app, next, target);
            QVERIFY(app.waitUntilLoaded());
            QVERIFY2(app.prompts.confirmations.size() == (silenced ? 0 : 1), other);
            QVERIFY2((app.json() != QStringLiteral("{\"unsaved\":true}")) == silenced, other);
        }
        QVERIFY(app.prompts.unexpected.isEmpty());
    }

    // Open… with a cancelled panel keeps the document as it was.
    void openPanelCancelled()
    {
        LaunchedApp app;
        Document* launched = app.document();
        app.prompts.confirmationAnswers.push_back({true, false});
        app.delegate.menus()->action(MenuCommand::Open)->trigger();
        QCOMPARE(app.prompts.confirmations.size(), 1);
        QVERIFY(!app.delegate.isLoading());
        QVERIFY(app.document() == launched);
        QCOMPARE(app.subtitle(), QStringLiteral("Untitled*"));
        QVERIFY(app.alerts.alerts.isEmpty());
    }

    // Open from Clipboard takes the text as it is: nothing is "empty", spaces are invalid JSON.
    void openFromClipboard_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("alert");
        QTest::addColumn<QString>("json");
        QTest::newRow("empty") << ""
                               << "Clipboard is empty: No text found on the clipboard."
                               << "{}";
        QTest::newRow("only spaces") << "   " << kLoadFailure << "{}";
        QTest::newRow("not json") << "{\"a\":" << kLoadFailure << "{}";
        QTest::newRow("object") << "{\"a\": [1, 2]}"
                                << ""
                                << "{\"a\":[1,2]}";
        QTest::newRow("padded") << "  [1] "
                                << ""
                                << "[1]";
    }
    void openFromClipboard()
    {
        QFETCH(QString, text);
        QFETCH(QString, alert);
        QFETCH(QString, json);
        LaunchedApp app;
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        if (!text.isEmpty())
            clipboard->setText(text);
        if (!text.isEmpty())
            app.prompts.confirmationAnswers.push_back({true, false});
        app.delegate.documents()->openFromClipboard();
        QCOMPARE(app.prompts.confirmations.size(), text.isEmpty() ? 0 : 1);
        QCOMPARE(app.alertTexts(), alert.isEmpty() ? QStringList() : QStringList{alert});
        QCOMPARE(app.json(), json);
        QCOMPARE(app.subtitle(), QStringLiteral("Untitled*"));
    }

    // Text the strict reader refuses but the relaxed reader reads opens only after a question that says what it
    // holds and what saving does; it opens unsaved, the subtitle naming the dialect until it is saved as plain
    // JSON. A .jsonl file is JSON Lines without a question. Duplicate keys are noted in the status bar.
    void relaxedReading_data()
    {
        QTest::addColumn<QString>("fileName"); // empty: from the clipboard
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("subtitle");
        QTest::addColumn<QString>("notice");
        QTest::newRow("JSON with comments")
            << "tsconfig.json" << QByteArray("{\n  // yes\n  \"strict\": true,\n}\n") << true
            << "This file is not plain JSON: it has comments and trailing commas (JSON "
               "with comments). Open it anyway? Saving writes plain JSON, without the "
               "comments."
            << "{\"strict\":true}"
            << "tsconfig.json (JSON with comments)*"
            << "";
        QTest::newRow("JSON5, declined") << "config.json5" << QByteArray("{a: 'x', /* c */}") << false
                                         << "This file is not plain JSON: it has comments, trailing commas, unquoted "
                                            "keys and single-quoted strings (JSON5). Open it anyway? Saving writes "
                                            "plain JSON, without the comments."
                                         << "{}"
                                         << "Untitled"
                                         << "";
        QTest::newRow("JSON Lines by name") << "log.jsonl" << QByteArray("{\"n\":1}\n{\"n\":2}\n") << true << ""
                                            << "[{\"n\":1},{\"n\":2}]"
                                            << "log.jsonl (JSON Lines)*"
                                            << "";
        QTest::newRow("JSON Lines found") << "log.txt" << QByteArray("[1]\n[2]\n[3]") << true
                                          << "This file is not plain JSON: it has 3 values, one per line (JSON Lines). "
                                             "Open it anyway? Saving writes plain JSON: one array of these values."
                                          << "[[1],[2],[3]]"
                                          << "log.txt (JSON Lines)*"
                                          << "";
        QTest::newRow("clipboard") << "" << QByteArray("{a: 1, a: 2}") << true
                                   << "This text is not plain JSON: it has unquoted keys (JSON5). Open it anyway? "
                                      "Saving writes plain JSON."
                                   << "{\"a\":2}"
                                   << "Untitled (JSON5)*"
                                   << "1 duplicate key: only the last is kept when saving (first: root.a)";
        QTest::newRow("duplicate keys") << "dup.json" << QByteArray(R"({"a":{"b":1,"b":2,"c":0,"c":0}})") << true << ""
                                        << "{\"a\":{\"b\":2,\"c\":0}}"
                                        << "dup.json"
                                        << "2 duplicate keys: only the last of each is kept when saving (first: "
                                           "root.a.b)";
    }
    void relaxedReading()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, text);
        QFETCH(bool, open);
        QFETCH(QString, question);
        QFETCH(QString, json);
        QFETCH(QString, subtitle);
        QFETCH(QString, notice);
        LaunchedApp app;
        app.document()->setSaved(true); // no question about unsaved changes
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        if (!question.isEmpty())
            app.prompts.confirmationAnswers.push_back({open, false});
        if (fileName.isEmpty()) {
            QGuiApplication::clipboard()->setText(QString::fromUtf8(text));
            app.delegate.documents()->openFromClipboard();
        } else {
            QVERIFY(writeFile(path, text));
            app.delegate.openDocumentURL(path);
            QVERIFY(app.waitUntilLoaded());
        }
        QCOMPARE(app.prompts.confirmations.size(), question.isEmpty() ? 0 : 1);
        if (!question.isEmpty()) {
            QCOMPARE(app.prompts.confirmations.first().message, question);
            QCOMPARE(app.prompts.confirmations.first().acceptText, QStringLiteral("Open"));
        }
        QCOMPARE(app.json(), json);
        QCOMPARE(app.subtitle(), subtitle);
        QCOMPARE(app.delegate.window()->statusNotice()->text(), notice);
        QVERIFY(app.alerts.alerts.isEmpty());
        // Saving writes plain JSON to the file, which is plain JSON from then on.
        if (open && !fileName.isEmpty() && subtitle.endsWith(QLatin1Char('*'))) {
            app.delegate.documents()->saveDocument();
            QCOMPARE(QString::fromUtf8(readFile(path)), json);
            QCOMPARE(app.subtitle(), fileName);
        }
    }

    // Save asks where once; afterwards the document belongs to that file and Save writes there unasked.
    void saveThenSaveAgain()
    {
        LaunchedApp app;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.json"));
        QVERIFY(app.delegate.loadJSONString(QStringLiteral("{ \"a\": [1, 2], \"b\": \"x\" }")));
        app.prompts.savePaths.push_back(path);
        app.delegate.menus()->action(MenuCommand::Save)->trigger();
        QVERIFY(app.prompts.saveFormats == QList<ExportFormat>{ExportFormat::Json});
        QCOMPARE(fileName(app.document()), QStringLiteral("a.json"));
        QCOMPARE(app.subtitle(), QStringLiteral("a.json"));
        QCOMPARE(app.document()->url(), path);
        QVERIFY(app.document()->saved());
        QCOMPARE(readFile(path), QByteArray("{\"a\":[1,2],\"b\":\"x\"}"));
        QCOMPARE(Settings::instance().recentDocuments(), QStringList{QFileInfo(path).absoluteFilePath()});

        app.document()->root()->child(1)->setValueLabel(QStringLiteral("y"));
        QCOMPARE(app.subtitle(), QStringLiteral("a.json*"));
        app.delegate.documents()->saveDocument();
        QCOMPARE(app.prompts.saveFormats.size(), 1);
        QCOMPARE(readFile(path), QByteArray("{\"a\":[1,2],\"b\":\"y\"}"));
        QCOMPARE(app.subtitle(), QStringLiteral("a.json"));
        QVERIFY(app.alerts.alerts.isEmpty());
    }

    // A cancelled or failed Save As leaves the document with its file, its name and its unsaved edits.
    void saveAsCancelledOrFailing_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("alerts");
        QTest::newRow("cancelled panel") << "" << QStringList();
        QTest::newRow("folder missing") << "missing/sub/a.json" << QStringList{kSaveFailure};
    }
    void saveAsCancelledOrFailing()
    {
        QFETCH(QString, target);
        QFETCH(QStringList, alerts);
        LaunchedApp app;
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("first.json"));
        QVERIFY(app.delegate.loadJSONString(QStringLiteral("{\"k\":1}")));
        app.prompts.savePaths.push_back(first);
        app.delegate.documents()->saveDocumentAs();
        app.document()->root()->child(0)->setValueLabel(QStringLiteral("2"));
        QCOMPARE(app.subtitle(), QStringLiteral("first.json*"));

        app.prompts.savePaths.push_back(target.isEmpty() ? QString() : dir.filePath(target));
        app.delegate.menus()->action(MenuCommand::SaveAs)->trigger();
        QCOMPARE(app.prompts.saveFormats.size(), 2);
        QCOMPARE(app.alertTexts(), alerts);
        QCOMPARE(app.document()->url(), first);
        QCOMPARE(fileName(app.document()), QStringLiteral("first.json"));
        QVERIFY(!app.document()->saved());
        QCOMPARE(app.subtitle(), QStringLiteral("first.json*"));
        QCOMPARE(entries(dir), QStringList{"first.json"});
        QCOMPARE(Settings::instance().recentDocuments(), QStringList{QFileInfo(first).absoluteFilePath()});
    }

    // File > Open Recent lists the saved files, most recent first, opens them, and Clear Menu empties it.
    void openRecentMenu()
    {
        LaunchedApp app;
        QTemporaryDir dir;
        const QString a = QFileInfo(dir.filePath(QStringLiteral("a.json"))).absoluteFilePath();
        const QString b = QFileInfo(dir.filePath(QStringLiteral("b&c.json"))).absoluteFilePath();
        QVERIFY(app.delegate.loadJSONString(QStringLiteral("[\"a\"]")));
        app.prompts.savePaths = {a};
        app.delegate.documents()->saveDocumentAs();
        QVERIFY(app.delegate.loadJSONString(QStringLiteral("[\"b\"]")));
        app.prompts.savePaths = {b};
        app.delegate.documents()->saveDocumentAs();

        QMenu* recent = app.delegate.menus()->menu(QStringLiteral("File/Open Recent"));
        emit recent->aboutToShow();
        QList<QAction*> items = recent->actions();
        QCOMPARE(items.size(), 4);
        QCOMPARE(items[0]->text(), QStringLiteral("b&&c.json")); // shown as it is, without a mnemonic
        QCOMPARE(items[1]->text(), QStringLiteral("a.json"));
        QCOMPARE(items[1]->data().toString(), a);
        QVERIFY(items[2]->isSeparator());
        QCOMPARE(items[3]->text(), QStringLiteral("&Clear Menu"));
        QVERIFY(items[3]->isEnabled());

        items[1]->trigger();
        QVERIFY(app.waitUntilLoaded());
        QCOMPARE(app.subtitle(), QStringLiteral("a.json"));
        QCOMPARE(app.json(), QStringLiteral("[\"a\"]"));
        QCOMPARE(Settings::instance().recentDocuments(), (QStringList{a, b}));

        app.delegate.documents()->updateRecentMenu();
        recent->actions().last()->trigger();
        QVERIFY(Settings::instance().recentDocuments().isEmpty());
        app.delegate.documents()->updateRecentMenu();
        items = recent->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0]->text(), QStringLiteral("No Recent Documents"));
        QVERIFY(!items[0]->isEnabled());
        QVERIFY(!items[2]->isEnabled());
        QVERIFY(app.prompts.confirmations.isEmpty());
    }

    // The exports run in brackwell-cli: each file holds the very bytes brackwell-cli writes for the document's
    // file (whose writers the model and command-line tests read back), and XML and YAML read back as the document.
    // A property list marks the document saved but gives it no file; XML and YAML leave it unsaved.
    void helperExport_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("magic");
        QTest::newRow("plist xml") << int(ExportFormat::PlistXml) << QByteArray("<?xml");
        QTest::newRow("plist binary") << int(ExportFormat::PlistBinary) << QByteArray("bplist00");
        QTest::newRow("xml") << int(ExportFormat::Xml) << QByteArray("<?xml");
        QTest::newRow("yaml") << int(ExportFormat::Yaml) << QByteArray("big: 5000000000\n");
    }
    void helperExport()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, magic);
        const bool propertyList = format != int(ExportFormat::Xml) && format != int(ExportFormat::Yaml);
        LaunchedApp app;
        app.delegate.exports()->setHelperProgram(QStringLiteral(BRACKWELL_CLI_PATH));
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("source.json"));
        const QString target = dir.filePath(QStringLiteral("out.export"));
        QVERIFY(writeFile(source, kRichDocument));
        QVERIFY(writeFile(target, "old contents"));
        QVERIFY(app.delegate.loadJSONString(QString::fromUtf8(kRichDocument)));
        app.prompts.savePaths.push_back(target);
        QSignalSpy finished(app.delegate.exports(), &ExportController::exportFinished);

        runExport(app.delegate, ExportFormat(format));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kExportTimeout);
        QCOMPARE(finished.first().first().toBool(), true);
        QVERIFY(app.prompts.saveFormats == QList<ExportFormat>{ExportFormat(format)});
        QVERIFY(app.alerts.alerts.isEmpty());
        QCOMPARE(app.document()->saved(), propertyList);
        QCOMPARE(app.subtitle(), propertyList ? QStringLiteral("Untitled") : QStringLiteral("Untitled*"));
        QVERIFY(app.document()->url().isEmpty());
        QCOMPARE(fileName(app.document()), QStringLiteral("Untitled"));
        QVERIFY(Settings::instance().recentDocuments().isEmpty());
        QCOMPARE(entries(dir), (QStringList{"out.export", "source.json"}));
        QVERIFY(readFile(target).startsWith(magic));

        const QString fromCli = dir.filePath(QStringLiteral("cli.export"));
        QProcess cli;
        cli.start(QStringLiteral(BRACKWELL_CLI_PATH), {QStringLiteral("export"), QStringLiteral("--to"),
                                                       ExportFormats::cliName(ExportFormat(format)), source, fromCli});
        QVERIFY(cli.waitForFinished(kExportTimeout) && cli.exitCode() == 0);
        QCOMPARE(readFile(fromCli), readFile(target));
        if (!propertyList)
            QCOMPARE(exportReadBackVerdict(format == int(ExportFormat::Xml), target, source), QStringLiteral("same"));
    }

    // An edit made while the property list is being written, in the outline or as text typed in the page (which
    // puts another tree in the document), is not in the file: the document stays unsaved.
    void editDuringPropertyListExport_data()
    {
        QTest::addColumn<bool>("inPage");
        QTest::newRow("outline") << false;
        QTest::newRow("page") << true;
    }
    void editDuringPropertyListExport()
    {
        QFETCH(bool, inPage);
        LaunchedApp app;
        app.delegate.exports()->setHelperProgram(QStringLiteral(BRACKWELL_CLI_PATH));
        QTemporaryDir dir;
        QVERIFY(app.delegate.loadJSONString(QStringLiteral("{\"a\":1}")));
        app.prompts.savePaths.push_back(dir.filePath(QStringLiteral("out.plist")));
        QSignalSpy finished(app.delegate.exports(), &ExportController::exportFinished);
        runExport(app.delegate, ExportFormat::PlistXml);
        if (inPage)
            app.delegate.editor()->contentChanged(QJsonValue(QStringLiteral("{\"a\":2}")));
        else
            app.document()->root()->child(0)->setValueLabel(QStringLiteral("2"));
        QCOMPARE(app.document()->root()->child(0)->leafValueText(), QStringLiteral("2"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kExportTimeout);
        QCOMPARE(finished.first().first().toBool(), true);
        QVERIFY(!app.document()->saved());
        QCOMPARE(app.subtitle(), QStringLiteral("Untitled*"));
    }

    // An export that cannot be written alerts, keeps the old file and leaves the document unsaved.
    void helperExportFails_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        const QString withNull = QStringLiteral("{\"a\":null,\"b\":[1]}");
        const QString message = QStringLiteral("Document contents could not be exported as Property List");
        QTest::newRow("xml with null") << int(ExportFormat::PlistXml) << withNull << "out.plist" << message + '.';
        QTest::newRow("binary with null") << int(ExportFormat::PlistBinary) << withNull << "out.plist" << message + '.';
        QTest::newRow("openstep with null") << int(ExportFormat::PlistOpenStep) << withNull << "out.plist" << message;
        QTest::newRow("binary into a missing folder") << int(ExportFormat::PlistBinary) << "[1]"
                                                      << "missing/out.plist" << message + '.';
        QTest::newRow("xml with a control character") << int(ExportFormat::Xml) << "{\"a\":\"\\u0007\"}"
                                                      << "out.plist"
                                                      << "Document contents could not be exported as XML.";
    }
    void helperExportFails()
    {
        QFETCH(int, format);
        QFETCH(QString, json);
        QFETCH(QString, target);
        QFETCH(QString, message);
        LaunchedApp app;
        app.delegate.exports()->setHelperProgram(QStringLiteral(BRACKWELL_CLI_PATH));
        QTemporaryDir dir;
        const QString existing = dir.filePath(QStringLiteral("out.plist"));
        QVERIFY(writeFile(existing, "old contents"));
        QVERIFY(app.delegate.loadJSONString(json));
        app.prompts.savePaths.push_back(dir.filePath(target));
        QSignalSpy finished(app.delegate.exports(), &ExportController::exportFinished);

        runExport(app.delegate, ExportFormat(format));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kExportTimeout);
        QCOMPARE(finished.first().first().toBool(), false);
        QVERIFY(app.prompts.saveFormats == QList<ExportFormat>{ExportFormat(format)});
        QCOMPARE(app.alertTexts(), QStringList{QStringLiteral("Something went wrong!: ") + message});
        QCOMPARE(readFile(existing), QByteArray("old contents"));
        QCOMPARE(entries(dir), QStringList{"out.plist"});
        QVERIFY(!app.document()->saved());
        QCOMPARE(app.subtitle(), QStringLiteral("Untitled*"));
    }

    // A cancelled save panel does nothing at all, whatever the format.
    void cancelledPanel_data()
    {
        QTest::addColumn<int>("format");
        for (ExportFormat format : {ExportFormat::Json, ExportFormat::Xml, ExportFormat::Yaml, ExportFormat::PlistXml,
                                    ExportFormat::PlistOpenStep, ExportFormat::PlistBinary})
            QTest::newRow(qPrintable(ExportFormats::displayName(format))) << int(format);
    }
    void cancelledPanel()
    {
        QFETCH(int, format);
        LaunchedApp app;
        app.delegate.exports()->setHelperProgram(QStringLiteral(BRACKWELL_CLI_PATH));
        QSignalSpy finished(app.delegate.exports(), &ExportController::exportFinished);
        runExport(app.delegate, ExportFormat(format));
        QVERIFY(app.prompts.saveFormats == QList<ExportFormat>{ExportFormat(format)});
        QVERIFY(app.alerts.alerts.isEmpty());
        QCOMPARE(finished.count(), 0);
        QCOMPARE(app.subtitle(), QStringLiteral("Untitled*"));
        QVERIFY(app.document()->url().isEmpty());
    }

    // Closing the window with unsaved changes asks; it closes only once the edits are written or dropped.
    void closeWithUnsavedChanges_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("panelPath");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QByteArray>("fileAfter");
        QTest::addColumn<QStringList>("alerts");
        const int none = -1;
        const int save = int(Prompts::SaveChoice::Save);
        const QByteArray old("{\"k\":\"old\"}");
        const QByteArray edited("{\"k\":\"new\"}");
        const QStringList quiet;
        QTest::newRow("untouched launch document") << "launch" << none << false << true << old << quiet;
        QTest::newRow("cancel") << "text" << int(Prompts::SaveChoice::Cancel) << false << false << old << quiet;
        QTest::newRow("don't save") << "text" << int(Prompts::SaveChoice::DontSave) << false << true << old << quiet;
        QTest::newRow("untitled, save") << "text" << save << true << true << old << quiet;
        QTest::newRow("untitled, save panel cancelled") << "text" << save << false << false << old << quiet;
        QTest::newRow("from a file, save") << "file" << save << false << true << edited << quiet;
        QTest::newRow("from a file, unedited") << "unedited file" << none << false << true << old << quiet;
        QTest::newRow("from a file whose folder is gone, save")
            << "lost file" << save << false << false << QByteArray() << QStringList{kSaveFailure};
    }
    void closeWithUnsavedChanges()
    {
        QFETCH(QString, source);
        QFETCH(int, choice);
        QFETCH(bool, panelPath);
        QFETCH(bool, closes);
        QFETCH(QByteArray, fileAfter);
        QFETCH(QStringList, alerts);
        LaunchedApp app;
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        const QString file = dir.filePath(QStringLiteral("sub/data.json"));
        const QString target = dir.filePath(QStringLiteral("saved.json"));
        QVERIFY(writeFile(file, "{\"k\":\"old\"}"));
        if (source.endsWith(QLatin1String("file"))) {
            app.delegate.openDocumentURL(file);
            QVERIFY(app.waitUntilLoaded());
        } else if (source == QLatin1String("text")) {
            QVERIFY(app.delegate.loadJSONString(QStringLiteral("{\"k\":\"old\"}")));
        }
        if (source != QLatin1String("launch") && source != QLatin1String("unedited file"))
            app.document()->root()->child(0)->setValueLabel(QStringLiteral("new"));
        if (source == QLatin1String("lost file"))
            QVERIFY(QDir(dir.filePath(QStringLiteral("sub"))).removeRecursively());
        Document* document = app.document();
        const QString name = fileName(document);
        const bool wasSaved = document->saved();
        MainWindow* window = app.delegate.window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        if (choice >= 0)
            app.prompts.saveAnswers.push_back(Prompts::SaveChoice(choice));
        if (panelPath)
            app.prompts.savePaths.push_back(target);

        QCOMPARE(window->close(), closes);
        QCOMPARE(window->isVisible(), !closes);
        QVERIFY(app.document() == document);
        QCOMPARE(app.prompts.saveQuestions, choice < 0 ? QStringList() : QStringList{name});
        QCOMPARE(readFile(file), fileAfter);
        QCOMPARE(readFile(target), panelPath ? QByteArray("{\"k\":\"new\"}") : QByteArray());
        const bool saves = choice == int(Prompts::SaveChoice::Save);
        QCOMPARE(app.prompts.saveFormats.size(), saves && source == QLatin1String("text") ? 1 : 0);
        QCOMPARE(document->saved(), wasSaved || (saves && closes));
        QCOMPARE(app.alertTexts(), alerts);
        QVERIFY(app.prompts.unexpected.isEmpty());
    }

    // Tearing down the controller while its shown window has a search typed in the focused field must neither
    // call back into the half-destroyed controller nor leave a widget behind.
    void teardownWhileSearching()
    {
        const qsizetype widgets = QApplication::allWidgets().size();
        auto app = std::make_unique<LaunchedApp>();
        MainWindow* window = app->delegate.window();
        QVERIFY(app->showActive());
        SearchField* field = window->searchField();
        field->setFocus();
        QTest::keyClicks(field, QStringLiteral("needle"));
        QVERIFY(field->hasFocus());
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(QApplication::allWidgets().size(), widgets);
    }

    // The launch document is an unsaved empty object; text that is not JSON changes nothing but alerts once.
    void launchAndLoadText()
    {
        LaunchedApp s;
        Document* launched = s.delegate.TheDocument();
        QCOMPARE(s.json(), QStringLiteral("{}"));
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled*"));
        QVERIFY(s.delegate.window()->windowTitle().contains(QStringLiteral("Untitled")));
        QVERIFY(s.delegate.documents()->windowShouldClose());
        QVERIFY(s.prompts.saveQuestions.isEmpty());

        QVERIFY(!s.delegate.loadJSONString(QStringLiteral("{\"a\": [1,")));
        QCOMPARE(s.alertTexts(), QStringList{kLoadFailure});
        QVERIFY(s.delegate.TheDocument() == launched);
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled*"));

        QVERIFY(s.delegate.loadJSONString(QStringLiteral("[1,2]")));
        QCOMPARE(s.json(), QStringLiteral("[1,2]"));
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled*"));
        QCOMPARE(s.alerts.alerts.size(), 1);
    }

    // A file is read in the background: loading state and busy indicator meanwhile, then the file or an alert.
    void openFileInBackground_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("valid");
        QTest::newRow("document") << QByteArray("{\"k\":[1,2]}") << true;
        QTest::newRow("broken") << QByteArray("{\"k\": [1,") << false;
        QTest::newRow("empty file") << QByteArray() << false;
    }
    void openFileInBackground()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, valid);
        LaunchedApp s;
        QVERIFY(s.delegate.loadJSONString(QStringLiteral("{\"before\":1}")));
        Document* before = s.delegate.TheDocument();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.json"));
        QVERIFY(writeFile(path, content));
        QProgressBar* busy = s.delegate.window()->busyIndicator();
        QSignalSpy loading(s.delegate.documents(), &DocumentController::isLoadingChanged);

        s.delegate.openDocumentURL(path);
        QVERIFY(s.delegate.isLoading());
        QCOMPARE(s.subtitle(), QStringLiteral("Loading data.json") + QChar(0x2026));
        QVERIFY(busy->isVisibleTo(s.delegate.window()));
        QTRY_COMPARE(loading.count(), 2);
        QVERIFY(!s.delegate.isLoading());
        QVERIFY(!busy->isVisibleTo(s.delegate.window()));
        if (valid) {
            QCOMPARE(s.subtitle(), QStringLiteral("data.json"));
            QCOMPARE(s.json().toUtf8(), content);
            QCOMPARE(Settings::instance().recentDocuments(), QStringList{QFileInfo(path).absoluteFilePath()});
            QVERIFY(s.alerts.alerts.isEmpty());
        } else {
            QVERIFY(s.delegate.TheDocument() == before);
            QCOMPARE(s.subtitle(), QStringLiteral("Untitled*"));
            QVERIFY(Settings::instance().recentDocuments().isEmpty());
            QCOMPARE(s.alertTexts(), QStringList{kLoadFailure});
        }
    }

    // A file named at launch is read before start-up ends: the empty document stands in, the subtitle keeps
    // saying what is being read, and the file replaces the stand-in without a question.
    void fileNamedAtLaunch()
    {
        TemporarySettings settings;
        AlertRecorder alerts;
        ScriptedPrompts prompts;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("launch.json"));
        QVERIFY(writeFile(path, "[true]"));
        AppDelegate delegate;
        delegate.setPrompts(&prompts);
        delegate.openFiles({path});
        delegate.applicationDidFinishLaunching();
        QCOMPARE(delegate.windowSubtitle(), QStringLiteral("Loading launch.json") + QChar(0x2026));
        QTRY_VERIFY(!delegate.isLoading());
        QCOMPARE(delegate.windowSubtitle(), QStringLiteral("launch.json"));
        QCOMPARE(delegate.TheDocument()->root()->jsonText().value_or("?"), QByteArray("[true]"));
        QVERIFY(prompts.confirmations.isEmpty());
        QVERIFY(alerts.alerts.isEmpty());
    }

    // Of several files handed over at once only the first is opened, after one question.
    void openFilesOpensOnlyTheFirst()
    {
        LaunchedApp s;
        QTemporaryDir dir;
        QStringList paths;
        for (const char* name : {"a.json", "b.json", "c.json"}) {
            paths << dir.filePath(QString::fromLatin1(name));
            QVERIFY(writeFile(paths.last(), "[]"));
        }
        s.prompts.confirmationAnswers.push_back({true, false});
        s.delegate.openFiles(paths);
        QTRY_VERIFY(!s.delegate.isLoading());
        QCOMPARE(s.subtitle(), QStringLiteral("a.json"));
        QCOMPARE(Settings::instance().recentDocuments(), QStringList{QFileInfo(paths.first()).absoluteFilePath()});
        QCOMPARE(s.prompts.confirmations.size(), 1);
    }

    // The notifications of the document's tree: a reload without a selection is harmless, a data change marks the
    // edit.
    void notifications()
    {
        LaunchedApp s;
        QVERIFY(s.delegate.loadJSONString(kFruits));
        s.delegate.TheDocument()->setSaved(true);
        Notifications& notifications = s.delegate.TheDocument()->root()->notifications();
        notifications.postReloadCurrentRow();
        QCOMPARE(s.model()->rowCount(), 8);
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled"));
        notifications.postTreeDataChanged();
        QCOMPARE(s.subtitle(), QStringLiteral("Untitled*"));
    }
};

QTEST_MAIN(TestDocumentCommands)
#include "tst_documentcommands.moc"
