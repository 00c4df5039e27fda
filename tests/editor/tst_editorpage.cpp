// The code editor with the real page in QtWebEngine (headless): pushes, edits made in the page, the page
// choice by appearance, and a missing page.

#include "tst_editorpage.h"

#include "app/AppTestSupport.h"
#include "app/undo/UndoHistory.h"
#include "editor/ContentPusher.h"
#include "editor/EditorPage.h"
#include "editor/WebEngineSetup.h"
#include "model/Document.h"
#include "model/TreeNode.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPalette>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <optional>

namespace {

constexpr int kPageTimeoutMs = 30'000;

// The result of a script evaluated in the page, or nothing when it does not answer in time.
std::optional<QVariant> evaluate(EditorPage* page, const QString& script)
{
    std::optional<QVariant> answer;
    page->runJavaScript(script, [&answer](const QVariant& result) { answer = result; });
    if (!QTest::qWaitFor([&] { return answer.has_value(); }, kPageTimeoutMs))
        return std::nullopt;
    return answer;
}

QByteArray canonical(const QString& json)
{
    std::unique_ptr<Document> document = loaded(Document::documentFromText(json));
    return document ? document->root()->jsonText().value_or("?") : QByteArray("not a document");
}

// A launched window with the real page, from the build tree.
struct PageApp : LaunchedApp
{
    explicit PageApp(const QString& pageDirectory = {}) : LaunchedApp(false)
    {
        if (!pageDirectory.isEmpty())
            delegate.editor()->setEditorPageDirectory(pageDirectory);
        launch();
    }
    EditorPage* page() const { return delegate.editor()->Webview(); }
    QByteArray json() const { return delegate.TheDocument()->root()->jsonText().value_or("?"); }
    std::optional<QVariant> evaluate(const QString& script) const { return ::evaluate(page(), script); }
    QString pageText() const
    {
        return evaluate(QStringLiteral("typeof editorText === 'function' ? editorText() : null"))
            .value_or(QVariant())
            .toString();
    }
    // Waits until the page shows the document (as a value: the page shows it pretty-printed).
    bool showsDocument() const
    {
        return QTest::qWaitFor(
            [this] { return delegate.editor()->editorPushIsIdle() && canonical(pageText()) == json(); },
            kPageTimeoutMs);
    }
    bool typeInPage(const QString& text) const
    {
        const QString literal = QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact));
        return evaluate(QStringLiteral("typeText(%1[0])").arg(literal)).value_or(QVariant()).toBool();
    }
};

} // namespace

void EditorPageTest::pushedTextKeepsEveryCharacterAndNumber()
{
    PageApp app;
    const QString text = QStringLiteral(
        R"({"big": 9007199254740993, "small": -9223372036854775808, "real": 0.1, "tiny": 5e-324,
            "quote": "it's", "backslash": "a\\b", "dq": "say \"hi\"", "breaks": "one\ntwo\r\nthree",
            "wide": "\u00e9\u4e2d\ud83d\ude00", "separators": "\u2028\u2029", "empty": {}, "none": [],
            "nested": [[{"x": null, "y": false}]]})");
    QVERIFY(app.delegate.loadJSONString(text));
    QVERIFY2(app.showsDocument(), qPrintable(app.pageText()));
    const QString shown = app.pageText();
    // Exactly the tokens sent: a JavaScript number would have become 9007199254740992.
    QVERIFY(shown.contains(QStringLiteral("\"big\": 9007199254740993")));
    QVERIFY(shown.contains(QStringLiteral("\"small\": -9223372036854775808")));
    // Two-space indentation, one member per line.
    QVERIFY(shown.startsWith(QStringLiteral("{\n  \"")));
    QVERIFY(shown.contains(QStringLiteral("\n  \"nested\": [\n    [\n      {\n        \"x\": null,")));
    QVERIFY(shown.contains(QStringLiteral("\"empty\": {},")));
    QCOMPARE(app.delegate.editor()->JsonError(), QString());
}

void EditorPageTest::longTextIsPushedInParts()
{
    PageApp app;
    app.delegate.editor()->editorPusher()->setPartLength(1000);
    QString json = QStringLiteral("[");
    for (int i = 0; i < 500; ++i)
        json += QStringLiteral("\"\u00e9\U0001F600 %1 it's \\\\\", ").arg(i);
    json += QStringLiteral("9007199254740993]");
    QVERIFY(app.delegate.loadJSONString(json));
    QVERIFY2(app.showsDocument(), qPrintable(app.pageText().left(200)));
    QVERIFY(app.pageText().contains(QStringLiteral("\n  9007199254740993\n]")));
    // And once more, replacing what the first push staged.
    app.delegate.TheDocument()->root()->child(0)->setValueLabel(QStringLiteral("first"));
    QVERIFY(app.showsDocument());
}

// Text typed in the page that the window cannot read keeps the tree, says why and stays as typed; once mended it
// replaces the tree and is not pushed back, which would move the user's cursor.
void EditorPageTest::editInPageReplacesTreeWithoutPushBack()
{
    PageApp app;
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"a": 1})")));
    QVERIFY(app.showsDocument());
    app.delegate.TheDocument()->setSaved(true);
    QSignalSpy pushed(app.delegate.editor()->editorPusher(), &ContentPusher::pushed);
    const QString refused = QStringLiteral("{\"a\": 1,\n  \"b\": }");
    QVERIFY(app.typeInPage(refused));
    QTRY_VERIFY_WITH_TIMEOUT(!app.delegate.editor()->JsonError().isNull(), kPageTimeoutMs);
    QVERIFY2(app.delegate.editor()->JsonError().startsWith(QStringLiteral("Line 2, column 8")),
             qPrintable(app.delegate.editor()->JsonError()));
    QTest::qWait(500);
    QCOMPARE(app.pageText(), refused);
    QCOMPARE(app.json(), QByteArray(R"({"a":1})"));
    QVERIFY(app.delegate.TheDocument()->saved());

    const QString mended = QStringLiteral(R"({"b": [true, 9007199254740993], "a": "x"})");
    QVERIFY(app.typeInPage(mended));
    QTRY_COMPARE_WITH_TIMEOUT(app.json(), QByteArray(R"({"a":"x","b":[true,9007199254740993]})"), kPageTimeoutMs);
    QCOMPARE(app.delegate.editor()->JsonError(), QString());
    QVERIFY(!app.delegate.TheDocument()->saved());
    QVERIFY(app.delegate.windowSubtitle().endsWith(QLatin1Char('*')));
    QCOMPARE(app.delegate.outlineModel()->rowCount(), 5); // the root, a, b and b's two elements: all expanded
    QTest::qWait(800);
    QCOMPARE(pushed.count(), 0);
    QCOMPARE(app.pageText(), mended);
}

void EditorPageTest::longEditInPageArrivesWhole()
{
    PageApp app;
    QVERIFY(app.delegate.loadJSONString(QStringLiteral("[]")));
    QVERIFY(app.showsDocument());
    // Over a million characters goes in two parts, and the first part would end between the two halves of an
    // emoji.
    QString body;
    for (int i = 0; i < 400'000; ++i)
        body += QStringLiteral("a\U0001F600");
    const QString text = QStringLiteral("[\"") + body + QStringLiteral("\", 9007199254740993]");
    QVERIFY(app.typeInPage(text));
    QTRY_COMPARE_WITH_TIMEOUT(app.delegate.TheDocument()->root()->childCount(), qsizetype(2), kPageTimeoutMs);
    QVERIFY(app.delegate.TheDocument()->root()->child(0)->valueLabel() == body);
    QCOMPARE(app.json().right(18), QByteArray(",9007199254740993]"));
}

void EditorPageTest::editingKeysInThePageStayInThePage()
{
    PageApp app;
    app.delegate.window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(app.delegate.window()));
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"a": [1, 2], "b": "word"})")));
    QVERIFY(app.showsDocument());
    const int rows = app.delegate.outlineModel()->rowCount();
    app.delegate.window()->outlineView()->selectRow(2); // a[0]
    QVERIFY(app.delegate.CurrentNode());
    auto* view = app.delegate.window()->editorHost()->findChild<QWidget*>(QStringLiteral("codeEditorView"));
    QVERIFY(view);
    QWidget* target = view->focusProxy() ? view->focusProxy() : view;
    target->setFocus();
    // Deleting a word and selecting by word are the editor's; they must not remove or fold outline rows.
    QTest::keyClick(target, Qt::Key_Backspace, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(target, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    QApplication::processEvents();
    QCOMPARE(app.delegate.outlineModel()->rowCount(), rows);
    QCOMPARE(app.json(), QByteArray(R"({"a":[1,2],"b":"word"})"));

    // Edit > Copy copies the editor's selection.
    QGuiApplication::clipboard()->clear();
    QVERIFY(app.evaluate(QStringLiteral("selectAllText()")).value_or(false).toBool());
    app.delegate.menus()->action(MenuCommand::Copy)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(), app.pageText(), kPageTimeoutMs);
}

// A document too large for the editor leaves it empty and read-only under a notice, never showing an older text
// or taking one typed there; a document that fits brings the text and the editing back.
void EditorPageTest::documentTooLargeShowsANoticeInThePage()
{
    PageApp app;
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"small": 1})")));
    QVERIFY(app.showsDocument());
    app.delegate.editor()->editorPusher()->setTextLimit(64);
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"large": "%1"})").arg(QString(100, u'x'))));
    QTRY_VERIFY_WITH_TIMEOUT(app.evaluate(QStringLiteral("noticeText()"))
                                 .value_or(QVariant())
                                 .toString()
                                 .startsWith(QStringLiteral("This document is too large for the code editor")),
                             kPageTimeoutMs);
    QCOMPARE(app.pageText(), QString());
    QVERIFY(app.evaluate(QStringLiteral("typeText('{\"typed\": 1}')")).value_or(false).toBool());
    QTest::qWait(1000); // longer than the page waits for a pause in typing
    QVERIFY(app.json().startsWith(QByteArray(R"({"large":)")));

    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"fits": 2})")));
    QVERIFY(app.showsDocument());
    QVERIFY(app.evaluate(QStringLiteral("noticeText()")).value_or(QVariant(1)).isNull());
    QVERIFY(app.typeInPage(QStringLiteral(R"({"fits": 3})")));
    QTRY_COMPARE_WITH_TIMEOUT(app.json(), QByteArray(R"({"fits":3})"), kPageTimeoutMs);
}

// While the code editor has the focus, the undo keys undo typing there; each text it then sends is a step of the
// document's history like any other, and the document's own history is not walked back.
void EditorPageTest::undoKeysInThePageUndoTyping()
{
    PageApp app;
    app.delegate.window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(app.delegate.window()));
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"a": 1})")));
    QVERIFY(app.showsDocument());
    QVERIFY(app.typeInPage(QStringLiteral(R"({"a": 2})")));
    QTRY_COMPARE_WITH_TIMEOUT(app.json(), QByteArray(R"({"a":2})"), kPageTimeoutMs);
    const QUndoStack* history = app.delegate.undoHistory()->stack();
    QCOMPARE(history->count(), 1);

    auto* view = app.delegate.window()->editorHost()->findChild<QWidget*>(QStringLiteral("codeEditorView"));
    QVERIFY(view);
    QWidget* target = view->focusProxy() ? view->focusProxy() : view;
    target->setFocus();
    QVERIFY(app.evaluate(QStringLiteral("selectAllText()")).value_or(false).toBool());
    QTest::keyClick(target, Qt::Key_Z, Qt::ControlModifier);
    QTRY_COMPARE_WITH_TIMEOUT(app.json(), QByteArray(R"({"a":1})"), kPageTimeoutMs);
    QCOMPARE(history->count(), 2);
    QCOMPARE(history->index(), 2);
    QTest::keyClick(target, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_COMPARE_WITH_TIMEOUT(app.json(), QByteArray(R"({"a":2})"), kPageTimeoutMs);
    QCOMPARE(history->index(), 3);
}

void EditorPageTest::darkAppearanceLoadsDarkPageOnce()
{
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    QApplication::setPalette(dark);
    {
        PageApp app;
        QVERIFY(app.delegate.editor()->editorPageIsDark());
        QSignalSpy loads(app.page(), &EditorPage::loadFinished);
        QVERIFY(app.showsDocument());
        QCOMPARE(app.evaluate(QStringLiteral("document.documentElement.dataset.appearance")).value_or(QVariant()),
                 QVariant(QStringLiteral("dark")));
        // A change of appearance afterwards loads nothing.
        QApplication::setPalette(original);
        QTest::qWait(500);
        QVERIFY(loads.count() <= 1);
        QCOMPARE(app.evaluate(QStringLiteral("document.documentElement.dataset.appearance")).value_or(QVariant()),
                 QVariant(QStringLiteral("dark")));
    }
    QApplication::setPalette(original);
    PageApp light;
    QVERIFY(!light.delegate.editor()->editorPageIsDark());
    QVERIFY(light.showsDocument());
    QCOMPARE(light.evaluate(QStringLiteral("document.documentElement.dataset.appearance")).value_or(QVariant()),
             QVariant(QStringLiteral("light")));
}

void EditorPageTest::missingPageIsLoggedAndWindowStillWorks()
{
    // Only the dark page is there, and the appearance is light: there is no fallback.
    QTemporaryDir dir;
    QVERIFY(
        QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/brackwell/Core/index-dark.html"),
                    dir.filePath(QStringLiteral("index-dark.html"))));
    LogRecorder log;
    PageApp app(dir.path());
    QCOMPARE(log.errorsNaming(QStringLiteral("setupWebview()")), 1);
    QVERIFY(log.lines.join(QLatin1Char('\n')).contains(QStringLiteral("Could not locate editor HTML resource")));
    QVERIFY(app.delegate.loadJSONString(QStringLiteral(R"({"still": "works"})")));
    // The push fails, and so does the notice that follows it.
    QTRY_VERIFY_WITH_TIMEOUT(app.delegate.editor()->editorPushIsIdle(), kPageTimeoutMs);
    QCOMPARE(app.json(), QByteArray(R"({"still":"works"})"));
}

int main(int argc, char** argv)
{
    WebEngineSetup::prepareProcess();
    QApplication application(argc, argv);
    EditorPageTest test;
    return QTest::qExec(&test, argc, argv);
}
