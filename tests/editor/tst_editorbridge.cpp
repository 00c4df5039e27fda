// The controller's half of the code editor with a stand-in page (no web engine): the script literal the text
// travels in, the page's messages, text edited in the page, which page is loaded and when the document is
// pushed.

#include "tst_editorbridge.h"

#include "FakeEditorPage.h"
#include "app/AppTestSupport.h"
#include "app/findreplace/FindReplaceDialog.h"
#include "editor/ContentPusher.h"
#include "editor/ScriptLiteral.h"
#include "model/Document.h"
#include "model/JsonWriter.h"
#include "model/Log.h"
#include "model/TreeNode.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <optional>

namespace {

const QString kLightPage = QStringLiteral("<!doctype html><title>light \u00e9</title>");
const QString kDarkPage = QStringLiteral("<!doctype html><title>dark \u00e9</title>");
const QString kMalformed = QStringLiteral("Malformed message received from webview");
const char* const kHandler = "userContentController(_:didReceive:)";

// Reads a literal back as the page's script engine would, or nothing when it would not be one literal
// between single quotes: an unescaped quote or line break ends it, and only the four escapes are expected.
std::optional<QString> unescapeLiteral(QStringView literal)
{
    QString text;
    for (qsizetype i = 0; i < literal.size(); ++i) {
        const QChar c = literal[i];
        if (c == u'\'' || c == u'\n' || c == u'\r')
            return std::nullopt;
        if (c != u'\\') {
            text += c;
            continue;
        }
        if (++i == literal.size())
            return std::nullopt;
        switch (literal[i].unicode()) {
        case u'\\':
            text += u'\\';
            break;
        case u'\'':
            text += u'\'';
            break;
        case u'n':
            text += u'\n';
            break;
        case u'r':
            text += u'\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return text;
}

QString compact(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString errorLine(const char* operation, const QString& message)
{
    return Log::formatLine(Log::Level::Error, operation, message);
}

QString traceLine(const char* operation)
{
    return Log::formatLine(Log::Level::Trace, operation, QString());
}

// Restores the application's palette when a test has changed it.
struct PaletteGuard
{
    QPalette original = QApplication::palette();
    ~PaletteGuard() { QApplication::setPalette(original); }
};

void useAppearance(bool dark)
{
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, dark ? QColor(0x20, 0x20, 0x20) : QColor(0xf6, 0xf6, 0xf6));
    palette.setColor(QPalette::WindowText, dark ? QColor(0xee, 0xee, 0xee) : QColor(0x10, 0x10, 0x10));
    QApplication::setPalette(palette);
}

// A window talking to a stand-in page whose files live in a temporary directory.
struct Bridge
{
    TemporarySettings settings;
    AlertRecorder alerts;
    ScriptedPrompts prompts;
    QTemporaryDir pageDir;
    FakeEditorPage page;
    AppDelegate delegate;

    QElapsedTimer sinceLaunch;

    explicit Bridge(bool launchNow = true)
    {
        // A page that shows every push, so that the timed push after launch stays out of the counts unless
        // a test makes the pushes fail.
        page.defaultAnswer = true;
        writeFile(pagePath(false), kLightPage.toUtf8());
        writeFile(pagePath(true), kDarkPage.toUtf8());
        delegate.editor()->setWebview(&page);
        delegate.editor()->setEditorPageDirectory(pageDir.path());
        if (launchNow)
            launch();
    }
    void launch()
    {
        sinceLaunch.start();
        delegate.applicationDidFinishLaunching();
        delegate.setPrompts(&prompts);
    }
    QString pagePath(bool dark) const
    {
        return pageDir.filePath(dark ? QStringLiteral("index-dark.html") : QStringLiteral("index.html"));
    }
    // Launched, the page loaded and every push so far sent.
    bool ready()
    {
        page.finishLoading();
        return settle();
    }
    // Waits until the timed push two seconds after launch has gone out, or been skipped.
    bool waitPastTimedPush() const
    {
        QTest::qWait(int(std::max<qint64>(0, 2500 - sinceLaunch.elapsed())));
        return settle();
    }
    // Waits until no push is waiting to go out or to be answered.
    bool settle() const
    {
        return QTest::qWaitFor([this] { return delegate.editor()->editorPushIsIdle(); }, 5000);
    }
    Document* document() const { return delegate.TheDocument(); }
    QByteArray json() const { return document()->root()->jsonText().value_or("?"); }
    // The page shows the document as it is now: its pretty text, line for line.
    bool pageShowsDocument() const
    {
        return page.shownText() == JsonWriter::writePretty(document()->root()).value_or("?");
    }
    qsizetype pushCount() const { return page.pushes().size(); }
    QString lastPush() const { return page.pushes().value(page.pushes().size() - 1); }
    QLabel* errorLabel() const { return delegate.window()->editorError(); }
    void postMessage(const QJsonObject& message) { page.post(compact(message)); }
    void postText(const QString& text)
    {
        postMessage({{QStringLiteral("cmd"), QStringLiteral("contentChanged")}, {QStringLiteral("content"), text}});
    }
    // Lines [from, from + removed) of what the page shows replaced by `lines`, as typed there.
    void postLines(qsizetype from, qsizetype removed, const QByteArrayList& lines, std::optional<qint64> base = {})
    {
        page.shownLines.remove(from, removed);
        for (qsizetype i = 0; i < lines.size(); ++i)
            page.shownLines.insert(from + i, lines[i]);
        postMessage({{QStringLiteral("cmd"), QStringLiteral("linesChanged")},
                     {QStringLiteral("base"), double(base.value_or(page.shownVersion))},
                     {QStringLiteral("version"), double(--pageVersion)},
                     {QStringLiteral("from"), double(from)},
                     {QStringLiteral("removed"), double(removed)},
                     {QStringLiteral("added"), double(lines.size())},
                     {QStringLiteral("content"), QString::fromUtf8(lines.join('\n'))}});
        page.shownVersion = pageVersion;
    }
    qint64 pageVersion = 0;
    // Everything a page message could change, as one text to compare.
    QString state() const
    {
        const QString error = delegate.editor()->JsonError();
        const QString path = delegate.CurrentPath();
        return QStringList{
            QStringLiteral("json=") + QString::fromUtf8(json()),
            QStringLiteral("saved=") + (document()->saved() ? QStringLiteral("yes") : QStringLiteral("no")),
            QStringLiteral("subtitle=") + delegate.windowSubtitle(),
            QStringLiteral("error=") +
                (error.isNull() ? QStringLiteral("<null>") : QLatin1Char('"') + error + QLatin1Char('"')),
            QStringLiteral("label=") + errorLabel()->text() +
                (errorLabel()->isHidden() ? QStringLiteral(" (hidden)") : QString()),
            QStringLiteral("path=") + (path.isNull() ? QStringLiteral("<null>") : path),
            QStringLiteral("rows=") + QString::number(delegate.outlineModel()->rowCount()),
            QStringLiteral("scripts=") + QString::number(page.scripts.size()),
            QStringLiteral("alerts=") + QString::number(alerts.alerts.size()),
        }
            .join(QStringLiteral("; "));
    }
};

enum class Change { Load, ValueEdit, ReplaceAll, ReplaceNothing };

} // namespace

void EditorBridgeTest::initTestCase()
{
    // A window without a stand-in page must not start a web engine here.
    qputenv("BRACKWELL_EDITOR_PAGE", "none");
}

// ---------------------------------------------------------------------------------------------------------
// The script literal (the notices travel in one): only a backslash, a single quote, a line feed and a carriage
// return are escaped, and the page reads back exactly the text given.

void EditorBridgeTest::scriptLiteralReadsBackAsTheOriginal_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("escapes side by side") << QStringLiteral("\\\\''\n\n\r\r\\n\\r\\'");
    QTest::newRow("backslash and letter, not a line feed") << QStringLiteral(R"(\n\r\t\u2028)");
    QTest::newRow("quotes around a backslash") << QStringLiteral(R"('\')");
    QTest::newRow("JSON text") << QStringLiteral("{\"a\":\"it's \\\"x\\\"\\n\",\r\n\"b\":[\"\\\\\"]}");

    QString everyUnit;
    for (char16_t unit = 0; unit < 0x3000; ++unit)
        everyUnit += QChar(unit);
    QTest::newRow("every code unit below U+3000") << everyUnit;

    // The same mix every run.
    QRandomGenerator random(20240611);
    const QString alphabet = QStringLiteral("\\'\n\r\"anr \u2028\u00e9");
    for (int row = 0; row < 3; ++row) {
        QString mixed;
        for (int i = 0; i < 400; ++i)
            mixed += alphabet[random.bounded(int(alphabet.size()))];
        mixed += QStringLiteral("\U0001F600");
        QTest::addRow("mixed %d", row) << mixed;
    }
}

void EditorBridgeTest::scriptLiteralReadsBackAsTheOriginal()
{
    QFETCH(QString, text);
    const auto literal = unescapeLiteral(ScriptLiteral::scriptStringLiteral(text));
    QVERIFY(literal);
    QCOMPARE(*literal, text);
}

void EditorBridgeTest::pushedTextIsTheDocumentsPrettyText()
{
    Bridge app;
    QVERIFY(app.ready());
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(
        R"({"quote": "it's", "back": "a\\b", "dq": "say \"hi\"", "lines": "one\ntwo\r\nthree", "empty": {}, "none": [],
            "sep": "\u2028", "wide": "\u00e9\ud83d\ude00", "big": [9007199254740993, {"x": null}]})")));
    QVERIFY(app.settle());
    // Two spaces a level, one value a line, empty collections on theirs, every character and number as it is.
    QCOMPARE(QString::fromUtf8(app.page.shownText()), QStringLiteral(R"({
  "back": "a\\b",
  "big": [
    9007199254740993,
    {
      "x": null
    }
  ],
  "dq": "say \"hi\"",
  "empty": {},
  "lines": "one\ntwo\r\nthree",
  "none": [],
  "quote": "it's",
  "sep": ")"
                                                                     "\u2028"
                                                                     R"(",
  "wide": ")"
                                                                     "\u00e9\U0001F600"
                                                                     R"("
})"));
    // An edit sends only the line that changed, against the version the page shows.
    const qint64 shown = app.page.shownVersion;
    app.document()->root()->child(2)->setValueLabel(QStringLiteral("said"));
    QVERIFY(app.settle());
    QCOMPARE(app.lastPush(), QStringLiteral("showPushedLines(%1, %2, 8, 1, 1)").arg(shown).arg(app.page.shownVersion));
    QVERIFY(app.pageShowsDocument());
}

// ---------------------------------------------------------------------------------------------------------
// The page's messages

void EditorBridgeTest::messagesThatChangeNothing_data()
{
    const QString cmd = QStringLiteral("cmd");
    const QString content = QStringLiteral("content");
    const QStringList malformed{errorLine(kHandler, kMalformed)};
    const QList<int> error{int(Log::Level::Error)};

    QTest::addColumn<QJsonValue>("body");
    QTest::addColumn<bool>("unreadable");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<int>>("levels");

    // Malformed: one error line each.
    QTest::newRow("object, not a string")
        << QJsonValue(QJsonObject{{cmd, QStringLiteral("error")}, {content, QStringLiteral("x")}}) << false << malformed
        << error;
    QTest::newRow("empty object") << QJsonValue(QStringLiteral("{}")) << false << malformed << error;
    QTest::newRow("message inside an array")
        << QJsonValue(QStringLiteral(R"([{"cmd":"error","content":"x"}])")) << false << malformed << error;
    QTest::newRow("cmd missing") << QJsonValue(QStringLiteral(R"({"content":"x"})")) << false << malformed << error;
    QTest::newRow("cmd a number") << QJsonValue(QStringLiteral(R"({"cmd":1,"content":"x"})")) << false << malformed
                                  << error;
    // Not JSON: the reader's error first, then the malformed message.
    QTest::newRow("not JSON") << QJsonValue(QStringLiteral("cmd=error")) << true << malformed << error;
    QTest::newRow("JSON string") << QJsonValue(QStringLiteral(R"("error")")) << true << malformed << error;

    // Well formed, but nothing to do: no log lines.
    QTest::newRow("unknown command with text") << QJsonValue(QStringLiteral(R"({"cmd":"other","content":"{\"z\":1}"})"))
                                               << false << QStringList() << QList<int>();
    QTest::newRow("command names are exact")
        << QJsonValue(QStringLiteral(R"({"cmd":"ContentChanged","content":"{\"z\":1}"})")) << false << QStringList()
        << QList<int>();
    QTest::newRow("content changed without content")
        << QJsonValue(QStringLiteral(R"({"cmd":"contentChanged"})")) << false << QStringList() << QList<int>();

    // A change whose content is not text: only the trace line.
    const QStringList trace{traceLine("contentChanged(_:)")};
    const QList<int> traceLevel{int(Log::Level::Trace)};
    QTest::newRow("content changed to a number")
        << QJsonValue(QStringLiteral(R"({"cmd":"contentChanged","content":5})")) << false << trace << traceLevel;
}

void EditorBridgeTest::messagesThatChangeNothing()
{
    QFETCH(QJsonValue, body);
    QFETCH(bool, unreadable);
    QFETCH(QStringList, lines);
    QFETCH(QList<int>, levels);

    Bridge app;
    QVERIFY(app.ready());
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"a": [1, 2], "b": "x"})")));
    app.document()->setSaved(true);
    app.delegate.window()->outlineView()->selectRow(1);
    QVERIFY(app.settle());
    const QString before = app.state();
    QVERIFY2(before.contains(QStringLiteral("path=root.a")), qPrintable(before));

    QSignalSpy errorChanged(app.delegate.editor(), &EditorController::JsonErrorChanged);
    LogRecorder log;
    app.page.post(body);
    QTest::qWait(50);
    QVERIFY(app.settle());

    QCOMPARE(app.state(), before);
    QCOMPARE(errorChanged.count(), 0);
    if (unreadable) {
        QCOMPARE(log.lines.size(), lines.size() + 1);
        QVERIFY2(log.lines.first().startsWith(errorLine("decodeJson(_:)", QStringLiteral("x")).chopped(1)),
                 qPrintable(log.lines.first()));
        QVERIFY(log.lines.first().size() > errorLine("decodeJson(_:)", QStringLiteral("x")).size());
        QCOMPARE(log.levels.first(), Log::Level::Error);
        log.lines.removeFirst();
        log.levels.removeFirst();
    }
    QCOMPARE(log.lines, lines);
    QList<int> recorded;
    for (Log::Level level : log.levels)
        recorded << int(level);
    QCOMPARE(recorded, levels);
}

void EditorBridgeTest::refusedPageTextShowsTheReadersError_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::newRow("number") << QStringLiteral("5") << QStringLiteral("Line 1, column 1: The top level must be");
    QTest::newRow("unfinished object") << QStringLiteral(R"({"a":)") << QStringLiteral("Line 1, column ");
    QTest::newRow("trailing comma") << QStringLiteral("[1,]") << QStringLiteral("Line 1, column ");
    QTest::newRow("two documents") << QStringLiteral("{} {}") << QStringLiteral("Line 1, column 4: Unexpected text");
    QTest::newRow("empty") << QString() << QStringLiteral("Line 1, column 1: The text is empty.");
    QTest::newRow("only spaces") << QStringLiteral("  \n ") << QStringLiteral("Line ");
    QTest::newRow("number out of range") << QStringLiteral(R"({"a": 1e400})")
                                         << QStringLiteral("Line 1, column 7: Number out of range.");
    QTest::newRow("lone surrogate") << QStringLiteral(R"({"a": "\ud800"})")
                                    << QStringLiteral("Line 1, column 15: Invalid escape sequence in a string.");
}

// Text typed in the page that is not a document keeps the tree and the page as they are, and the error line
// says why instead of the edit vanishing without a word.
void EditorBridgeTest::refusedPageTextShowsTheReadersError()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    Bridge app;
    QVERIFY(app.ready());
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"keep": [true, {"me": null}]})")));
    app.document()->setSaved(true);
    app.delegate.window()->outlineView()->selectRow(1);
    QVERIFY(app.settle());
    const QString before = app.state();
    QVERIFY2(before.contains(QStringLiteral("path=root.keep")), qPrintable(before));
    const Document* document = app.document();

    QSignalSpy errorChanged(app.delegate.editor(), &EditorController::JsonErrorChanged);
    LogRecorder log;
    app.postText(text);
    QTest::qWait(50);
    QVERIFY(app.settle());

    const QString shown = app.delegate.editor()->JsonError();
    QVERIFY2(shown.startsWith(error), qPrintable(shown));
    QCOMPARE(errorChanged.count(), 1);
    QCOMPARE(app.errorLabel()->text(), shown);
    QVERIFY(!app.errorLabel()->isHidden());
    QCOMPARE(app.errorLabel()->accessibleDescription(), shown);
    // Apart from the error, nothing changed; in particular nothing was pushed over the text in the page.
    const QString errorField = QStringLiteral("error=\"%1\"; label=%1; ").arg(shown);
    QCOMPARE(app.state(), QString(before).replace(QStringLiteral("error=<null>; label= (hidden); "), errorField));
    // Pointers compared, not QCOMPARE: its failure message would read a replaced, deleted document.
    QVERIFY(app.document() == document);
    QVERIFY(app.alerts.alerts.isEmpty());
    QCOMPARE(log.lines.size(), 2);
    QCOMPARE(log.lines.first(), traceLine("contentChanged(_:)"));
    QCOMPARE(log.levels.last(), Log::Level::Warning);

    // The next text the window can read replaces the error along with the tree.
    app.postText(QStringLiteral("[1]"));
    QVERIFY(app.settle());
    QCOMPARE(app.json(), QByteArray("[1]"));
    QVERIFY(app.delegate.editor()->JsonError().isNull());
    QVERIFY(app.errorLabel()->isHidden());
}

void EditorBridgeTest::pageTextBecomesTheDocument()
{
    Bridge app;
    QVERIFY(app.ready());
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"a": {"old": [1, 2, 3]}})")));
    // A document that has a file: the edit keeps it, only the contents change.
    app.document()->setUrl(app.pageDir.filePath(QStringLiteral("edited.json")));
    app.document()->setName(QStringLiteral("edited.json"));
    app.document()->setSaved(true);
    QCOMPARE(app.delegate.windowSubtitle(), QStringLiteral("edited.json"));
    app.delegate.outline()->collapseAllRows();
    QCOMPARE(app.delegate.outlineModel()->rowCount(), 1);
    app.delegate.window()->outlineView()->selectRow(0);
    QVERIFY(app.delegate.CurrentNode());
    QVERIFY(app.settle());
    const qsizetype pushes = app.pushCount();
    const qsizetype scripts = app.page.scripts.size();
    const Document* document = app.document();

    QSignalSpy errorChanged(app.delegate.editor(), &EditorController::JsonErrorChanged);
    app.postText(QStringLiteral("{\"b\": [true, {\"c\": null}, 9007199254740993],\n \"a\": \"it's \\\"x\\\"\"}"));

    QCOMPARE(app.json(), QByteArray(R"({"a":"it's \"x\"","b":[true,{"c":null},9007199254740993]})"));
    QVERIFY(app.document() == document);
    QCOMPARE(app.document()->url(), app.pageDir.filePath(QStringLiteral("edited.json")));
    QVERIFY(!app.document()->saved());
    QCOMPARE(app.delegate.windowSubtitle(), QStringLiteral("edited.json*"));
    // Every node has its row: the root, a, b and b's three elements and c.
    QCOMPARE(app.delegate.outlineModel()->rowCount(), 7);
    QVERIFY(!app.delegate.CurrentNode());
    QVERIFY(app.delegate.CurrentPath().isNull());
    QVERIFY(app.alerts.alerts.isEmpty());
    QCOMPARE(errorChanged.count(), 0);
    // The page already shows this text; pushing it back, even by the timed push after launch, would move the
    // user's cursor.
    QVERIFY(app.waitPastTimedPush());
    QCOMPARE(app.pushCount(), pushes);
    QCOMPARE(app.page.scripts.size(), scripts);

    // The next edit in the window goes to the page again.
    app.document()->root()->child(0)->setValueLabel(QStringLiteral("y"));
    QVERIFY(app.settle());
    QCOMPARE(app.pushCount(), pushes + 1);
    QVERIFY(app.pageShowsDocument());
}

namespace {

QJsonObject part(const QString& text)
{
    return {{QStringLiteral("cmd"), QStringLiteral("contentPart")}, {QStringLiteral("content"), text}};
}

QJsonObject lastPart(const QString& text, double partCount)
{
    return {{QStringLiteral("cmd"), QStringLiteral("contentChanged")},
            {QStringLiteral("content"), text},
            {QStringLiteral("partCount"), partCount}};
}

} // namespace

void EditorBridgeTest::longPageTextArrivesInParts()
{
    Bridge app;
    QVERIFY(app.ready());
    LogRecorder log;
    // Parts may split anywhere, even inside a string, an escape or a number.
    app.postMessage(part(QStringLiteral("{\"a\": [1, 23")));
    app.postMessage(part(QStringLiteral("4], \"b\": \"x\\")));
    QCOMPARE(app.json(), QByteArray("{}"));
    app.postMessage(lastPart(QStringLiteral("\"y\"}"), 2));
    QCOMPARE(app.json(), QByteArray(R"({"a":[1,234],"b":"x\"y"})"));
    QVERIFY(!app.document()->saved());
    QCOMPARE(log.lines, QStringList{traceLine("contentChanged(_:)")});

    // The parts are used once: the next text starts afresh.
    app.postText(QStringLiteral("[true]"));
    QCOMPARE(app.json(), QByteArray("[true]"));
}

void EditorBridgeTest::incompletePartsChangeNothing_data()
{
    QTest::addColumn<int>("parts");
    QTest::addColumn<double>("partCount");
    QTest::newRow("a part missing") << 1 << 2.0;
    QTest::newRow("a part too many") << 2 << 1.0;
    QTest::newRow("no parts at all") << 0 << 1.0;
}

void EditorBridgeTest::incompletePartsChangeNothing()
{
    QFETCH(int, parts);
    QFETCH(double, partCount);
    Bridge app;
    QVERIFY(app.ready());
    QVERIFY(app.delegate.loadJSONString(QStringLiteral("[0]")));
    app.document()->setSaved(true);
    QVERIFY(app.settle());
    const QString before = app.state();
    LogRecorder log;
    for (int i = 0; i < parts; ++i)
        app.postMessage(part(i == 0 ? QStringLiteral("[1") : QStringLiteral(", 2")));
    app.postMessage(lastPart(QStringLiteral("]"), partCount));
    QCOMPARE(app.state(), before);
    QCOMPARE(log.errorsNaming(QString::fromLatin1(kHandler)), 1);
    // Whatever was collected is gone: a complete text afterwards stands on its own.
    app.postMessage(part(QStringLiteral("[\"fresh\"")));
    app.postMessage(lastPart(QStringLiteral("]"), 1));
    QCOMPARE(app.json(), QByteArray(R"(["fresh"])"));
}

void EditorBridgeTest::largePageTextIsReadOnAWorkerAndLosesToLaterChanges()
{
    // Long enough to be read off the main thread.
    QString big = QStringLiteral("[\"");
    big += QString(5'000'000, QLatin1Char('x'));
    big += QStringLiteral("\", 1]");

    Bridge app;
    QVERIFY(app.ready());
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"small": true})")));
    QVERIFY(app.settle());
    app.postText(big);
    QTRY_COMPARE_WITH_TIMEOUT(app.document()->root()->childCount(), qsizetype(2), 20'000);
    QCOMPARE(app.document()->root()->child(0)->valueLabel().size(), 5'000'000);
    QVERIFY(!app.document()->saved());

    // An edit in the outline made while the page's text is being read wins: the page has already been sent
    // the edited document, and the older text must not replace it.
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"small": true})")));
    QVERIFY(app.settle());
    app.postText(big);
    app.document()->root()->child(0)->setValueLabel(QStringLiteral("false"));
    QTest::qWait(1500);
    QCOMPARE(app.json(), QByteArray(R"({"small":false})"));
    // And so does another document.
    app.postText(big);
    QVERIFY(app.delegate.loadJSONString(QStringLiteral("[\"opened\"]")));
    QTest::qWait(1500);
    QCOMPARE(app.json(), QByteArray(R"(["opened"])"));
}

// ---------------------------------------------------------------------------------------------------------
// Loading the page

void EditorBridgeTest::pageIsChosenByAppearance_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<bool>("relativeDirectory");
    QTest::newRow("light") << false << false;
    QTest::newRow("light, directory given relative") << false << true;
    QTest::newRow("dark") << true << false;
    QTest::newRow("dark, directory given relative") << true << true;
}

void EditorBridgeTest::pageIsChosenByAppearance()
{
    QFETCH(bool, dark);
    QFETCH(bool, relativeDirectory);
    PaletteGuard palette;
    useAppearance(dark);
    Bridge app(false);
    if (relativeDirectory)
        app.delegate.editor()->setEditorPageDirectory(QDir::current().relativeFilePath(app.pageDir.path()));
    app.launch();

    QCOMPARE(app.page.handlerRegistrations, 1);
    QCOMPARE(app.delegate.editor()->editorPageIsDark(), dark);
    QCOMPARE(app.page.loadedHtml, QStringList{dark ? kDarkPage : kLightPage});
    QCOMPARE(app.page.baseUrls.size(), 1);
    const QString file = app.pagePath(dark);
    const QUrl base = app.page.baseUrls.first();
    if (relativeDirectory) {
        // The page's scripts resolve against the base, so it must name the file wherever the program runs.
        QVERIFY2(base.isLocalFile() && QFileInfo(base.toLocalFile()).isAbsolute(), qPrintable(base.toString()));
        QCOMPARE(QFileInfo(base.toLocalFile()).canonicalFilePath(), QFileInfo(file).canonicalFilePath());
    } else {
        QCOMPARE(base, QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    }
    // Neither loading nor the page's answer loads it again or registers the handler again.
    QVERIFY(app.ready());
    QCOMPARE(app.page.loadedHtml.size(), 1);
    QCOMPARE(app.page.handlerRegistrations, 1);
}

void EditorBridgeTest::unusablePageIsLoggedWithoutFallback_data()
{
    QTest::addColumn<bool>("unreadable");
    QTest::newRow("missing, though the dark page is there") << false;
    // A file that opens but cannot be read: reading this process's memory from address 0 fails.
    QTest::newRow("unreadable") << true;
}

// A light page that is missing or unreadable is logged once and nothing is loaded in its place; the window still
// works and still talks to the page.
void EditorBridgeTest::unusablePageIsLoggedWithoutFallback()
{
    QFETCH(bool, unreadable);
    PaletteGuard palette;
    useAppearance(false);
    Bridge app(false);
    QVERIFY(QFile::remove(app.pagePath(false)));
    if (unreadable)
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), app.pagePath(false)));
    QVERIFY(QFile::exists(app.pagePath(true)));
    LogRecorder log;
    app.launch();

    QVERIFY(app.page.loadedHtml.isEmpty());
    QVERIFY(app.page.baseUrls.isEmpty());
    QVERIFY(!app.delegate.editor()->editorPageIsDark());
    QCOMPARE(log.errorsNaming(QStringLiteral("setupWebview()")), 1);
    // A file that is there but unreadable is not reported as missing.
    const QString missing = QStringLiteral("Could not locate editor HTML resource");
    QCOMPARE(log.lines.count(errorLine("setupWebview()", missing)), unreadable ? 0 : 1);
    QCOMPARE(log.lines.join(QLatin1Char('\n')).contains(missing), !unreadable);

    QCOMPARE(app.page.handlerRegistrations, 1);
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"still": "works"})")));
    QVERIFY(app.settle());
    QCOMPARE(app.json(), QByteArray(R"({"still":"works"})"));
    QVERIFY(app.pageShowsDocument());
    app.postText(QStringLiteral("[1,"));
    QVERIFY(app.delegate.editor()->JsonError().startsWith(QStringLiteral("Line 1, column 4")));
}

// ---------------------------------------------------------------------------------------------------------
// Pushing

void EditorBridgeTest::documentChangesArePushed_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<bool>("pushes");
    QTest::newRow("load") << int(Change::Load) << true;
    QTest::newRow("value edit") << int(Change::ValueEdit) << true;
    QTest::newRow("replace all") << int(Change::ReplaceAll) << true;
    QTest::newRow("replace all without a match") << int(Change::ReplaceNothing) << false;
}

void EditorBridgeTest::documentChangesArePushed()
{
    QFETCH(int, change);
    QFETCH(bool, pushes);
    Bridge app;
    QVERIFY(app.ready());
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"counter": 1, "list": [1, 2], "name": "old value"})")));
    QVERIFY(app.settle());
    QVERIFY(app.pageShowsDocument());
    const qsizetype before = app.pushCount();
    const QByteArray json = app.json();

    switch (Change(change)) {
    case Change::Load:
        QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"([{"loaded": "it's new"}])")));
        break;
    case Change::ValueEdit:
        app.document()->root()->child(0)->setValueLabel(QStringLiteral("2"));
        break;
    case Change::ReplaceAll:
    case Change::ReplaceNothing: {
        app.delegate.findReplace()->showFindReplace();
        FindReplaceDialog* panel = app.delegate.findReplace()->findReplacePanel();
        panel->findField()->setText(Change(change) == Change::ReplaceAll ? QStringLiteral("old")
                                                                         : QStringLiteral("absent"));
        panel->replaceField()->setText(QStringLiteral("new"));
        panel->replaceAllButton()->click();
        QCOMPARE(app.alerts.alerts.size(), 1);
        break;
    }
    }
    QVERIFY(app.settle());
    QCOMPARE(app.json() != json, pushes);
    QCOMPARE(app.pushCount(), before + (pushes ? 1 : 0));
    QVERIFY(app.pageShowsDocument());
}

// Pushes wait for the page to load; each load gets the whole text, even when nothing changed, and without waiting
// for the answers of the page it replaced.
void EditorBridgeTest::pageGetsTheTextOnEachLoad()
{
    Bridge app;
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"before": "load"})")));
    QTest::qWait(50);
    QCOMPARE(app.pushCount(), 0);
    QVERIFY(!app.delegate.editor()->editorPushIsIdle());

    app.page.finishLoading();
    QVERIFY(app.settle());
    QCOMPARE(app.pushCount(), 1);
    QVERIFY(app.pageShowsDocument());

    // This page never answers; the one that replaces it gets the text at once.
    app.page.holdAnswers = true;
    app.page.finishLoading();
    QTRY_COMPARE(app.pushCount(), 2);
    QVERIFY(!app.delegate.editor()->editorPushIsIdle());
    app.page.finishLoading();
    QTRY_COMPARE(app.pushCount(), 3);
    app.page.holdAnswers = false;
    app.page.releaseAnswers();
    QVERIFY(app.settle());
    QTest::qWait(50);
    QCOMPARE(app.pushCount(), 3);
    QVERIFY(app.pageShowsDocument());
}

// Edits go in as few pushes as the page can take: a burst makes one push, and edits made while a push is unanswered
// wait for it and then go as one.
void EditorBridgeTest::editsAreMergedIntoFewPushes()
{
    Bridge app;
    QVERIFY(app.ready());
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"counter": 0})")));
    QVERIFY(app.settle());
    const qsizetype pushes = app.pushCount();

    TreeNode* counter = app.document()->root()->child(0);
    for (int i = 1; i <= 50; ++i)
        counter->setValueLabel(QString::number(i));
    QVERIFY(app.settle());
    QTest::qWait(50);
    QCOMPARE(app.pushCount(), pushes + 1);
    QVERIFY(app.pageShowsDocument());
    QVERIFY(app.page.shownText().contains("\"counter\": 50"));

    app.page.holdAnswers = true;
    counter->setValueLabel(QStringLiteral("51"));
    QTRY_COMPARE(app.pushCount(), pushes + 2);
    const qsizetype scripts = app.page.scripts.size();
    for (int i = 52; i <= 60; ++i) {
        counter->setValueLabel(QString::number(i));
        QTest::qWait(10);
    }
    QTest::qWait(100);
    QCOMPARE(app.page.scripts.size(), scripts);
    QVERIFY(!app.delegate.editor()->editorPushIsIdle());

    app.page.holdAnswers = false;
    app.page.releaseAnswers();
    QVERIFY(app.settle());
    QTest::qWait(50);
    QCOMPARE(app.pushCount(), pushes + 3);
    QVERIFY(app.pageShowsDocument());
    QVERIFY(app.page.shownText().contains("\"counter\": 60"));
}

void EditorBridgeTest::longTextIsPushedInParts()
{
    Bridge app;
    QVERIFY(app.ready());
    app.delegate.editor()->editorPusher()->setPartLength(10);
    const qsizetype before = app.page.scripts.size();
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(
        R"({"a": "it's \ud83d\ude00\ud83d\ude00 \\ x", "b": [1, 9007199254740993, "a line longer than a part"]})")));
    QVERIFY(app.settle());
    // In parts of whole lines, which the page joins again.
    QVERIFY(app.page.scripts.mid(before).filter(QStringLiteral("stagePushedLines(")).size() > 3);
    QVERIFY(app.pageShowsDocument());
    // A change of several lines goes in parts as well.
    app.document()->root()->child(1)->setKindLabel(QStringLiteral("Object"));
    QVERIFY(app.settle());
    QVERIFY(app.pageShowsDocument());
}

void EditorBridgeTest::pushInPartsStopsAtAFailedPart()
{
    Bridge app;
    QVERIFY(app.ready());
    QVERIFY(app.waitPastTimedPush());
    app.delegate.editor()->editorPusher()->setPartLength(8);
    const qsizetype before = app.page.scripts.size();
    app.page.answers = {true, QVariant()}; // the second part is refused
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"(["one", "two", "three", "four"])")));
    QVERIFY(app.settle());
    // The page may still show the older text: it is told to drop it, and no text from it is taken meanwhile.
    QCOMPARE(app.page.scripts.mid(before).last(),
             QStringLiteral("showNotice('The code editor could not show this document. The outline, search, jq and "
                            "exports work as usual.')"));
    const QByteArray document = app.json();
    app.postText(QStringLiteral(R"(["older"])"));
    QCOMPARE(app.json(), document);

    // The page lacks the text, so the next push goes out whole and starts afresh.
    app.document()->root()->child(0)->setValueLabel(QStringLiteral("uno"));
    QVERIFY(app.settle());
    QVERIFY(app.lastPush().startsWith(QStringLiteral("showPushedLines(null, ")));
    QVERIFY(app.pageShowsDocument());
}

// A document too large for the page is not pushed: the page shows a notice instead and nothing typed there is
// taken, until a document that fits is pushed again.
void EditorBridgeTest::documentTooLargeForThePageShowsANotice()
{
    Bridge app;
    QVERIFY(app.ready());
    QVERIFY(app.waitPastTimedPush());
    app.delegate.editor()->editorPusher()->setTextLimit(16);
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"(["one", "two", "three"])")));
    QVERIFY(app.settle());
    QCOMPARE(app.page.scripts.last(), QStringLiteral("showNotice('This document is too large for the code editor (more "
                                                     "than 16 bytes of text). The outline, search, jq and exports "
                                                     "work as usual.')"));
    app.postText(QStringLiteral(R"(["typed"])"));
    QCOMPARE(app.json(), QByteArray(R"(["one","two","three"])"));

    QVERIFY(app.delegate.loadJSONString(QStringLiteral("[1]")));
    QVERIFY(app.settle());
    QVERIFY(app.pageShowsDocument());
    app.postText(QStringLiteral("[2]"));
    QCOMPARE(app.json(), QByteArray("[2]"));
}

void EditorBridgeTest::reloadDropsTheRestOfAPushInParts()
{
    Bridge app;
    QVERIFY(app.ready());
    app.delegate.editor()->editorPusher()->setPartLength(8);
    app.page.holdAnswers = true;
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"(["one", "two", "three", "four"])")));
    QTRY_VERIFY(!app.page.pushes().isEmpty());
    // The page reloads before answering: its answers never come, and the reloaded page gets the whole text.
    app.page.held.clear();
    app.page.holdAnswers = false;
    app.page.shownLines = {QByteArray()};
    app.page.finishLoading();
    QVERIFY(app.settle());
    QVERIFY(app.pageShowsDocument());
}

// Typing in the page since the last push makes the lines compared out of date: the page refuses them, and the
// whole text goes instead.
void EditorBridgeTest::pageTypedInSinceThePushTakesTheWholeText()
{
    Bridge app;
    QVERIFY(app.ready());
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"a": 1, "b": [true, false]})")));
    QVERIFY(app.settle());
    app.page.typedSinceShown = true;
    app.page.shownLines[1] = "  \"a\": typed,";
    const qint64 shown = app.page.shownVersion;
    app.document()->root()->child(0)->setValueLabel(QStringLiteral("2"));
    QVERIFY(app.settle());
    const QStringList pushes = app.page.pushes();
    QVERIFY(pushes.at(pushes.size() - 2).startsWith(QStringLiteral("showPushedLines(%1, ").arg(shown)));
    QVERIFY(pushes.last().startsWith(QStringLiteral("showPushedLines(null, %1, ").arg(app.page.shownVersion)));
    QVERIFY(app.pageShowsDocument());
}

// An edit typed in the page comes as the lines it replaced; the window reads its own pretty text with them
// replaced. When its text is not what the page showed, it asks for the page's whole text instead.
void EditorBridgeTest::pageEditComesAsChangedLines()
{
    Bridge app;
    QVERIFY(app.ready());
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"a": 1, "b": [true, false]})")));
    QVERIFY(app.settle());
    const qsizetype pushes = app.pushCount();
    app.postLines(1, 1, {"  \"a\": 9007199254740993,", "  \"added\": {},"});
    QCOMPARE(app.json(), QByteArray(R"({"a":9007199254740993,"added":{},"b":[true,false]})"));
    QVERIFY(app.pageShowsDocument());
    // Lines removed, at the end, and text that is not JSON, which leaves the tree as it was.
    app.postLines(3, 5, {"  \"b\": []", "}"});
    QCOMPARE(app.json(), QByteArray(R"({"a":9007199254740993,"added":{},"b":[]})"));
    app.postLines(3, 1, {"  \"b\": [,"});
    QVERIFY2(app.delegate.editor()->JsonError().startsWith(QStringLiteral("Line 4, column ")),
             qPrintable(app.delegate.editor()->JsonError()));
    QCOMPARE(app.json(), QByteArray(R"({"a":9007199254740993,"added":{},"b":[]})"));
    // The window cannot write the refused text again: the next edit makes it ask for the whole text.
    const qsizetype scripts = app.page.scripts.size();
    app.postLines(3, 1, {"  \"b\": [2]"});
    QCOMPARE(app.page.scripts.mid(scripts), QStringList{QStringLiteral("sendWholeText()")});
    app.postText(QString::fromUtf8(app.page.shownText()));
    QCOMPARE(app.json(), QByteArray(R"({"a":9007199254740993,"added":{},"b":[2]})"));
    QVERIFY(app.delegate.editor()->JsonError().isNull());
    // An edit against a version the window did not give or take also asks for the whole text.
    app.postLines(0, 1, {"{"}, -99);
    QCOMPARE(app.page.scripts.last(), QStringLiteral("sendWholeText()"));
    QCOMPARE(app.pushCount(), pushes);
}

void EditorBridgeTest::timedPushOnlyWhenThePageMayLackTheText_data()
{
    QTest::addColumn<QVariant>("answer");
    QTest::addColumn<bool>("timedPush");
    QTest::newRow("page answered true") << QVariant(true) << false;
    QTest::newRow("page answered false") << QVariant(false) << true;
    QTest::newRow("script failed") << QVariant() << true;
    QTest::newRow("page answered text") << QVariant(QStringLiteral("true")) << true;
}

void EditorBridgeTest::timedPushOnlyWhenThePageMayLackTheText()
{
    QFETCH(QVariant, answer);
    QFETCH(bool, timedPush);
    Bridge app(false);
    app.page.defaultAnswer = answer;
    app.page.actsAsPage = false;
    app.launch();
    app.page.finishLoading();
    QVERIFY(app.settle());
    const qsizetype pushes = app.pushCount();
    QCOMPARE(pushes, 1);

    QVERIFY(app.waitPastTimedPush());
    QCOMPARE(app.pushCount(), pushes + (timedPush ? 1 : 0));
}

QTEST_MAIN(EditorBridgeTest)
