#include "AppTestSupport.h"
#include "app/jq/JqPanel.h"
#include "app/menus/MenuText.h"
#include "app/jq/ResultView.h"
#include "jq/JqRecipes.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

const QString kSample = QStringLiteral("{\"b\":[1,2],\"a\":\"x\"}");
const QString kPrettySample = QStringLiteral("{\n  \"a\": \"x\",\n  \"b\": [\n    1,\n    2\n  ]\n}\n");
const QString kOperation = QStringLiteral("executeJQ(_:)");
const QString kFailed = QStringLiteral("Something went wrong!");
const QString kSucceeded = QStringLiteral("Query was successful");
const QColor kRed(0xff, 0x3b, 0x30);
const QColor kMint(0x00, 0xc7, 0xbe);
constexpr int kRunTimeout = 20000;

QString fixture(const QString& name)
{
    return QStringLiteral(BRACKWELL_TEST_FIXTURES "/") + name;
}

// What the bundled jq itself prints for `filter` over `input`, for comparison with the panel.
QByteArray jqOutput(const QString& filter, const QByteArray& input)
{
    QProcess jq;
    jq.start(JqRun::bundledJqPath(), {filter});
    jq.write(input);
    jq.closeWriteChannel();
    return jq.waitForFinished(kRunTimeout) ? jq.readAllStandardOutput() : QByteArray("jq did not finish");
}

// The message of every error line the jq run reported.
QStringList errorMessages(const LogRecorder& log)
{
    QStringList messages;
    for (qsizetype i = 0; i < log.lines.size(); ++i)
        if (log.levels[i] == Log::Level::Error && log.lines[i].contains(kOperation + QLatin1Char(']')))
            messages << log.lines[i].section(QLatin1Char('\n'), 1);
    return messages;
}

QString statusText(const QString& message, const QColor& color)
{
    return message + QLatin1Char(' ') + color.name();
}

// The controller's status as statusText() writes it; with `shown`, marked where the panel's line disagrees.
QString statusOf(AppDelegate& delegate, bool shown)
{
    JqController* jq = delegate.jq();
    QString text = statusText(jq->JQmessage(), jq->JQmessageColor());
    if (shown && (jq->jqPanel()->statusLine()->text() != jq->JQmessage() ||
                  !jq->jqPanel()->statusLine()->styleSheet().contains(jq->JQmessageColor().name())))
        text += QStringLiteral(" (panel shows otherwise)");
    return text;
}

// A launched controller with the jq panel shown and its log recorded.
struct JqSession : LaunchedApp
{
    LogRecorder log;
    QSignalSpy finished{delegate.jq(), &JqController::jqRunFinished};

    JqSession() { delegate.jq()->showJQPanel(); }
    JqPanel* panel() { return delegate.jq()->jqPanel(); }
    QString result() { return panel()->resultView()->text(); }
    QStringList errors() const { return errorMessages(log); }
    QString status() { return statusOf(delegate, true); }
    void start(const QString& filter)
    {
        panel()->commandField()->setText(filter);
        delegate.jq()->executeJQ();
    }
    // Runs `filter` and waits for the run to end.
    bool run(const QString& filter)
    {
        const qsizetype before = finished.size();
        start(filter);
        return QTest::qWaitFor([&] { return finished.size() > before; }, kRunTimeout);
    }
};

} // namespace

class TestJqPanel : public QObject
{
    Q_OBJECT
private slots:
    // The panel starts gray and neutral; showing and closing it change only whether it is shown.
    void showAndClose()
    {
        LaunchedApp app;
        AppDelegate& delegate = app.delegate;
        QSignalSpy shownChanges(delegate.jq(), &JqController::isJQPanelShownChanged);
        const QString initial =
            statusText(QStringLiteral("Enter a command to see the results"), JqController::initialJqMessageColor());
        QCOMPARE(statusOf(delegate, false), initial);
        QVERIFY(!delegate.jq()->hasJQError());
        QVERIFY(!delegate.jq()->isJQPanelShown());

        delegate.jq()->showJQPanel();
        QVERIFY(delegate.jq()->isJQPanelShown());
        JqPanel* panel = delegate.jq()->jqPanel();
        QVERIFY(panel->isVisible());
        QCOMPARE(statusOf(delegate, true), initial);
        QVERIFY(panel->runButton()->isEnabled());
        QVERIFY(!panel->stopButton()->isEnabled());

        delegate.jq()->setJQmessage(QStringLiteral("Earlier message"));
        panel->commandField()->setText(QStringLiteral("keys"));
        panel->resultView()->setText(QStringLiteral("earlier result\n"));
        delegate.jq()->closeJQPanel();
        QVERIFY(!delegate.jq()->isJQPanelShown());
        QVERIFY(!panel->isVisible());
        delegate.jq()->showJQPanel();
        QVERIFY(delegate.jq()->isJQPanelShown());
        QCOMPARE(shownChanges.size(), 3);
        QCOMPARE(statusOf(delegate, true),
                 statusText(QStringLiteral("Earlier message"), JqController::initialJqMessageColor()));
        QCOMPARE(panel->commandField()->text(), QStringLiteral("keys"));
        QCOMPARE(panel->resultView()->text(), QStringLiteral("earlier result\n"));

        // Escape or the window's close box dismisses the panel the same way.
        panel->reject();
        QVERIFY(!delegate.jq()->isJQPanelShown());
        QVERIFY(!panel->isVisible());
    }

    // A run that ends with status 0 shows standard output only, as UTF-8 or not at all, in mint.
    void successfulRun_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("expected");
        QTest::newRow("identity") << QString() << "." << kPrettySample;
        QTest::newRow("empty filter acts as identity") << QString() << "" << kPrettySample;
        QTest::newRow("no output") << QString() << "empty" << QString();
        QTest::newRow("debug output on stderr") << QString() << "debug | .a"
                                                << "\"x\"\n";
        QTest::newRow("filter is the only argument") << fixture(QStringLiteral("fake-jq-echo.sh")) << ".a | \"x y\""
                                                     << "1|.a | \"x y\"|{\"a\":\"x\",\"b\":[1,2]}";
        QTest::newRow("empty filter is one empty argument") << fixture(QStringLiteral("fake-jq-echo.sh")) << ""
                                                            << "1||{\"a\":\"x\",\"b\":[1,2]}";
        QTest::newRow("output not UTF-8") << fixture(QStringLiteral("fake-jq-invalid-utf8.sh")) << "." << QString();
    }
    void successfulRun()
    {
        QFETCH(QString, program);
        QFETCH(QString, filter);
        QFETCH(QString, expected);
        JqSession s;
        QVERIFY(s.delegate.loadJSONString(kSample));
        s.delegate.jq()->setJqProgram(program);
        QVERIFY(s.run(filter));
        QCOMPARE(s.result(), expected);
        if (program.isEmpty())
            QCOMPARE(s.result().toUtf8(), jqOutput(filter, s.json().toUtf8()));
        QCOMPARE(s.finished.size(), 1);
        QVERIFY(!s.delegate.jq()->hasJQError());
        QCOMPARE(s.status(), statusText(kSucceeded, kMint));
        QVERIFY(s.errors().isEmpty());
        QVERIFY(s.panel()->runButton()->isEnabled());
        QVERIFY(!s.panel()->stopButton()->isEnabled());
    }

    // A run that jq rejects shows why in the result, in red, and logs it. "%1" stands for jq's own words.
    void failedRun_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("logged");
        QTest::newRow("syntax error") << QString() << ".[" << kFailed << "%1"
                                      << "jq exited with status 3 (reason 1): %1";
        QTest::newRow("exit 5 without output")
            << fixture(QStringLiteral("fake-jq-exit5.sh")) << "." << kFailed << "jq exited with status 5 and no output."
            << "jq exited with status 5 (reason 1): ";
        QTest::newRow("not executable") << "plain file"
                                        << "."
                                        << "Failed to run jq"
                                        << "Error launching jq: %1"
                                        << "Failed to run jq: %1";
    }
    void failedRun()
    {
        QFETCH(QString, program);
        QFETCH(QString, filter);
        QFETCH(QString, message);
        QFETCH(QString, result);
        QFETCH(QString, logged);
        QTemporaryDir dir;
        if (program == QLatin1String("plain file")) {
            program = dir.filePath(QStringLiteral("jq"));
            QVERIFY(writeFile(program, "#!/bin/sh\nexit 0\n"));
        }
        JqSession s;
        QVERIFY(s.delegate.loadJSONString(kSample));
        s.delegate.jq()->setJqProgram(program);
        QVERIFY(s.run(filter));

        const QString prefix = result.section(QStringLiteral("%1"), 0, 0);
        QVERIFY2(s.result().startsWith(prefix), qPrintable(s.result()));
        const QString detail = s.result().mid(prefix.size());
        if (result.contains(QStringLiteral("%1")))
            QVERIFY(!detail.isEmpty());
        QCOMPARE(s.result(), QString(result).replace(QStringLiteral("%1"), detail));
        QCOMPARE(s.errors(), QStringList{QString(logged).replace(QStringLiteral("%1"), detail)});
        if (program.isEmpty())
            QVERIFY(s.result().contains(QStringLiteral("error")));
        QVERIFY(s.delegate.jq()->hasJQError());
        QCOMPARE(s.status(), statusText(message, kRed));
        QCOMPARE(s.finished.size(), 1);
        QVERIFY(s.panel()->runButton()->isEnabled());
        QVERIFY(!s.delegate.jq()->isRunningJQ());
    }

    // Without jq or without a document to give it, nothing is started and the panel says why at once.
    void refusedRun_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("logged");
        QTest::newRow("jq missing") << "missing jq"
                                    << "jq binary not found in app bundle"
                                    << "Error: bundled jq binary 'jq' is missing."
                                    << "jq binary 'jq' not found in app bundle";
        QTest::newRow("root is a string") << "string root"
                                          << "Could not serialize current document"
                                          << "Error: no valid JSON loaded in the main window."
                                          << "Could not serialize current document for jq";
        QTest::newRow("no document") << "not launched"
                                     << "Could not serialize current document"
                                     << "Error: no valid JSON loaded in the main window."
                                     << "Could not serialize current document for jq";
    }
    void refusedRun()
    {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        QFETCH(QString, result);
        QFETCH(QString, logged);
        // A controller that never finished launching is the only one without a document.
        LaunchedApp app(setup != QLatin1String("not launched"));
        AppDelegate& delegate = app.delegate;
        LogRecorder log;
        if (setup == QLatin1String("missing jq"))
            delegate.jq()->setJqProgram(QStringLiteral("/nonexistent/jq"));
        if (setup == QLatin1String("string root"))
            delegate.TheDocument()->root()->setKindLabel(QStringLiteral("String"));
        delegate.jq()->showJQPanel();
        QSignalSpy finished(delegate.jq(), &JqController::jqRunFinished);
        delegate.jq()->jqPanel()->commandField()->setText(QStringLiteral("."));
        delegate.jq()->executeJQ();

        QVERIFY(!delegate.jq()->isRunningJQ());
        QVERIFY(delegate.jq()->jqPanel()->runButton()->isEnabled());
        QCOMPARE(finished.size(), 0);
        QCOMPARE(statusOf(delegate, true), statusText(message, kRed));
        QCOMPARE(delegate.jq()->jqPanel()->resultView()->text(), result);
        QCOMPARE(errorMessages(log), QStringList{logged});
        QVERIFY(delegate.jq()->hasJQError());
    }

    // Stop ends the run and drops the one waiting for it; being stopped is no failure: a neutral status in
    // the first gray, no result, no error line.
    void stopHungRun()
    {
        JqSession s;
        QVERIFY(s.delegate.loadJSONString(kSample));
        s.delegate.jq()->setJqProgram(fixture(QStringLiteral("fake-jq-hang.sh")));
        s.panel()->resultView()->setText(QStringLiteral("earlier result\n"));
        s.start(QStringLiteral("."));
        QVERIFY(s.delegate.jq()->isRunningJQ());
        QVERIFY(s.panel()->stopButton()->isEnabled());
        QVERIFY(s.panel()->busyIndicator()->isVisibleTo(s.panel()));

        // A request made meanwhile waits for the run; one that would fail at once shows that it never ran.
        s.delegate.jq()->setJqProgram(QStringLiteral("/nonexistent/jq"));
        s.delegate.jq()->executeJQ();
        QVERIFY(s.delegate.jq()->isRunningJQ());
        QVERIFY(s.errors().isEmpty());

        s.panel()->stopButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(s.finished.size(), 1, kRunTimeout);
        QVERIFY(!s.delegate.jq()->isRunningJQ());
        QVERIFY(!s.delegate.jq()->hasJQError());
        QCOMPARE(s.status(), statusText(QStringLiteral("Stopped"), JqController::initialJqMessageColor()));
        // Screen readers hear the status through the label's description.
        QCOMPARE(s.panel()->statusLine()->accessibleDescription(), QStringLiteral("Stopped"));
        QCOMPARE(s.result(), QString());
        QVERIFY(s.panel()->runButton()->isEnabled());
        QVERIFY(!s.panel()->stopButton()->isEnabled());
        QVERIFY(!s.panel()->busyIndicator()->isVisibleTo(s.panel()));
        QTest::qWait(300);
        QCOMPARE(s.finished.size(), 1);
        QVERIFY(s.errors().isEmpty());
    }

    // Run asked again while jq runs is not lost: the latest filter asked for runs once the current run ends.
    void runWhileRunningWaits()
    {
        JqSession s;
        QVERIFY(s.delegate.loadJSONString(kSample));
        s.delegate.jq()->setJqProgram(fixture(QStringLiteral("fake-jq-slow.sh")));
        s.start(QStringLiteral("first"));
        QVERIFY(s.delegate.jq()->isRunningJQ());
        QVERIFY(s.panel()->runButton()->isEnabled());
        s.panel()->commandField()->setText(QStringLiteral("second"));
        s.panel()->runButton()->click();
        s.panel()->commandField()->setText(QStringLiteral("third"));
        QTest::keyClick(s.panel()->commandField(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(s.finished.size(), 2, kRunTimeout);
        QCOMPARE(s.result(), QStringLiteral("third\n"));
        QCOMPARE(s.status(), statusText(kSucceeded, kMint));
        QVERIFY(!s.delegate.jq()->isRunningJQ());
        QTest::qWait(300);
        QCOMPARE(s.finished.size(), 2);
    }

    // jq that quits before reading a large document leaves the run intact, and the next run reads it all.
    void earlyExitOverLargeDocument()
    {
        JqSession s;
        const QString item = QStringLiteral("\"%1\"").arg(QString(100, QLatin1Char('x')));
        QStringList items;
        for (int i = 0; i < 40000; ++i)
            items << item;
        QVERIFY(s.delegate.loadJSONString(QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']')));

        QVERIFY(s.run(QStringLiteral(".[")));
        QVERIFY(s.delegate.jq()->hasJQError());
        QVERIFY(s.result().contains(QStringLiteral("compile error")));
        QCOMPARE(s.errors().size(), 1);
        QVERIFY(s.errors().first().startsWith(QStringLiteral("jq exited with status 3 (reason 1): ")));

        QVERIFY(s.run(QStringLiteral("length")));
        QCOMPARE(s.result(), QStringLiteral("40000\n"));
        QVERIFY(!s.delegate.jq()->hasJQError());
        QCOMPARE(s.status(), statusText(kSucceeded, kMint));
    }

    // The result is kept line by line; a final line feed ends the last line, and copying takes every line.
    void resultLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("final line feed") << kPrettySample
                                         << QStringList{"{", "  \"a\": \"x\",", "  \"b\": [", "    1,", "    2", "  ]",
                                                        "}"};
        QTest::newRow("no final line feed") << "first\nlast" << QStringList{"first", "last"};
        QTest::newRow("blank lines") << "a\n\nb\n\n" << QStringList{"a", "", "b", ""};
        QTest::newRow("one line") << "42" << QStringList{"42"};
        QTest::newRow("not ASCII") << QString::fromUtf8("\xc3\xa9t\xc3\xa9\n\xf0\x9f\x98\x80")
                                   << QStringList{QString::fromUtf8("\xc3\xa9t\xc3\xa9"),
                                                  QString::fromUtf8("\xf0\x9f\x98\x80")};
    }
    void resultLines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        ResultView view;
        view.selectAll();
        view.setText(text);
        QCOMPARE(view.text(), text);
        QCOMPARE(view.lineCount(), lines.size());
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(view.line(i), lines[i]);
        QVERIFY(view.selectedText().isEmpty());

        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        view.selectAll();
        view.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), lines.join(QLatin1Char('\n')));

        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        view.setText(text);
        QTest::keySequence(&view, QKeySequence::SelectAll);
        QTest::keySequence(&view, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), lines.join(QLatin1Char('\n')));
    }

    // The recipe button sits once in the command field; its menu lists recent picks above the groups.
    void recipes()
    {
        LaunchedApp app;
        AppDelegate& delegate = app.delegate;
        delegate.jq()->showJQPanel();
        delegate.jq()->closeJQPanel();
        delegate.jq()->showJQPanel();
        QLineEdit* field = delegate.jq()->jqPanel()->commandField();
        QList<QToolButton*> buttons;
        for (QToolButton* button : field->findChildren<QToolButton*>())
            if (button->toolTip() == QLatin1String("Insert jq recipe"))
                buttons << button;
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.first(), delegate.jq()->jqPanel()->recipeButton());
        QCOMPARE(buttons.first()->text(), QString(QChar(0x2304)));

        // The menu's items as drawn, each group shown as "[group]".
        auto openMenu = [&] {
            buttons.first()->click();
            QMenu* menu = delegate.jq()->jqRecipeMenu();
            QStringList items;
            if (!menu)
                return items;
            items << menu->title();
            for (QAction* action : menu->actions()) {
                QString item = action->isSeparator() ? QStringLiteral("---") : withoutMnemonic(action->text());
                if (action->menu())
                    item = QStringLiteral("[group]");
                if (!action->isEnabled())
                    item += QStringLiteral(" (disabled)");
                items << item;
            }
            menu->close();
            return items;
        };
        const QStringList groups(8, QStringLiteral("[group]"));
        QCOMPARE(openMenu(), QStringList{"jq Recipes"} + groups);
        // Items show the catalogue's titles as written, ampersands included, with the template as tooltip.
        QStringList shown;
        QStringList expected;
        const QList<QAction*> items = delegate.jq()->jqRecipeMenu()->actions();
        for (size_t g = 0; g < JqRecipes::jqRecipeGroups().size(); ++g) {
            const JQRecipeGroup& group = JqRecipes::jqRecipeGroups()[g];
            expected << group.title;
            QMenu* submenu = g < size_t(items.size()) ? items[qsizetype(g)]->menu() : nullptr;
            QVERIFY(submenu);
            shown << withoutMnemonic(submenu->menuAction()->text());
            for (const JQRecipe& recipe : group.recipes)
                expected << recipe.title + QStringLiteral(" / ") + recipe.templateText;
            for (QAction* action : submenu->actions())
                shown << withoutMnemonic(action->text()) + QStringLiteral(" / ") + action->toolTip();
        }
        QCOMPARE(shown, expected);

        // Picking from a group goes through the menu item itself.
        QMenu* filter = delegate.jq()->jqRecipeMenu()->actions().at(1)->menu();
        QVERIFY(filter);
        QAction* equals = filter->actions().first();
        QCOMPARE(equals->text(), QStringLiteral("Equals: select(.x == v)"));
        equals->trigger();
        QCOMPARE(field->text(), QStringLiteral("select(.<field> == <value>)"));
        QCOMPARE(field->selectionStart(), 8);
        QCOMPARE(field->selectedText(), QStringLiteral("<field>"));

        delegate.jq()->jqRecipePicked(QStringLiteral("."));
        QCOMPARE(field->text(), QStringLiteral("."));
        QCOMPARE(field->cursorPosition(), 1);
        QVERIFY(!field->hasSelectedText());

        QCOMPARE(openMenu(),
                 QStringList({"jq Recipes", "Recent (disabled)", ".", "select(.<field> == <value>)", "---"}) + groups);
        // A recent item inserts its template like the recipe it came from.
        delegate.jq()->jqRecipeMenu()->actions().at(2)->trigger();
        QCOMPARE(field->text(), QStringLiteral("select(.<field> == <value>)"));
        QCOMPARE(field->selectedText(), QStringLiteral("<field>"));
    }
};

QTEST_MAIN(TestJqPanel)
#include "tst_jqpanel.moc"
