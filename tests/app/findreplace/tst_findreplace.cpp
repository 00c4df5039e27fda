#include "AppTestSupport.h"
#include "app/findreplace/FindReplaceDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString kTitle = QStringLiteral("Replace complete");

// Opens the sheet and fills it in as the user would.
FindReplaceDialog* fillIn(AppDelegate& delegate, const QString& find, const QString& replacement,
                          bool caseSensitive = true, bool includeKeys = false)
{
    delegate.findReplace()->showFindReplace();
    FindReplaceDialog* panel = delegate.findReplace()->findReplacePanel();
    panel->findField()->setText(find);
    panel->replaceField()->setText(replacement);
    panel->caseCheck()->setChecked(caseSensitive);
    panel->keysCheck()->setChecked(includeKeys);
    return panel;
}

// Every row as "depth name|kind|value".
QStringList rowTexts(const OutlineModel& model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells{QString::number(model.index(row, 0).data(OutlineModel::DepthRole).toInt())};
        for (int column = 0; column < OutlineModel::ColumnCount; ++column)
            cells << model.index(row, column).data().toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

} // namespace

class TestFindReplace : public QObject
{
    Q_OBJECT
private slots:
    // The sheet is built once and keeps what the user typed and ticked between showings.
    void sheetIsKept()
    {
        LaunchedApp app;
        QVERIFY(!app.delegate.findReplace()->findReplacePanel());
        app.delegate.menus()->action(MenuCommand::FindReplace)->trigger();
        FindReplaceDialog* panel = app.delegate.findReplace()->findReplacePanel();
        QVERIFY(panel);
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->caseCheck()->text(), QStringLiteral("Case sensitive"));
        QVERIFY(panel->caseCheck()->isChecked());
        QCOMPARE(panel->keysCheck()->text(), QStringLiteral("Include keys"));
        QVERIFY(!panel->keysCheck()->isChecked());

        panel->findField()->setText(QStringLiteral("needle"));
        panel->replaceField()->setText(QStringLiteral("thread"));
        panel->caseCheck()->setChecked(false);
        panel->keysCheck()->setChecked(true);
        app.delegate.findReplace()->closeFindReplace();
        QVERIFY(!panel->isVisible());
        app.delegate.findReplace()->showFindReplace();
        QCOMPARE(app.delegate.findReplace()->findReplacePanel(), panel);
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->findField()->text(), QStringLiteral("needle"));
        QCOMPARE(panel->replaceField()->text(), QStringLiteral("thread"));
        QVERIFY(!panel->caseCheck()->isChecked());
        QVERIFY(panel->keysCheck()->isChecked());
        // The old find text is selected, so typing replaces it.
        QCOMPARE(panel->findField()->selectedText(), QStringLiteral("needle"));
        QVERIFY(app.alerts.alerts.isEmpty());
    }

    // Replace All runs over the whole document, counts names and values (a value once), and reports the count.
    void replaceAll_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<bool>("includeKeys");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("report");
        const QString pets = QStringLiteral("{\"a\":\"cat\",\"b\":\"dog\"}");
        QTest::newRow("one value") << pets << "cat"
                                   << "cow" << true << false << "{\"a\":\"cow\",\"b\":\"dog\"}"
                                   << "Replaced 1 occurrence.";
        QTest::newRow("nothing found") << pets << "zebra"
                                       << "cow" << true << false << pets << "Replaced 0 occurrences.";
        QTest::newRow("nested, a value counts once")
            << "{\"a\":\"cat cat\",\"b\":[\"cat\",{\"c\":\"Cat\"}],\"cat\":1,\"d\":\"concatenate\"}"
            << "cat"
            << "dog" << true << false
            << "{\"a\":\"dog dog\",\"b\":[\"dog\",{\"c\":\"Cat\"}],\"cat\":1,\"d\":\"condogenate\"}"
            << "Replaced 3 occurrences.";
        QTest::newRow("ignoring case") << "{\"a\":\"Cat\",\"b\":\"CAT\",\"c\":\"dog\"}"
                                       << "cat"
                                       << "cow" << false << false << "{\"a\":\"cow\",\"b\":\"cow\",\"c\":\"dog\"}"
                                       << "Replaced 2 occurrences.";
        QTest::newRow("keys included") << "{\"cat\":\"cat\",\"dog\":1}"
                                       << "cat"
                                       << "cow" << true << true << "{\"cow\":\"cow\",\"dog\":1}"
                                       << "Replaced 2 occurrences.";
        QTest::newRow("keys left alone") << "{\"cat\":\"cat\",\"dog\":1}"
                                         << "cat"
                                         << "cow" << true << false << "{\"cat\":\"cow\",\"dog\":1}"
                                         << "Replaced 1 occurrence.";
        QTest::newRow("only texts change")
            << "{\"n\":123,\"s\":\"123\",\"t\":true,\"u\":\"true\"}"
            << "12"
            << "4" << true << false << "{\"n\":123,\"s\":\"43\",\"t\":true,\"u\":\"true\"}"
            << "Replaced 1 occurrence.";
        QTest::newRow("key collision") << "{\"a\":\"a\",\"b\":2}"
                                       << "a"
                                       << "b" << true << true << "{\"a\":\"b\",\"b\":2}"
                                       << "Replaced 1 occurrence. 1 key was left unchanged because another member "
                                          "already has the new name.";
        QTest::newRow("two key collisions") << "{\"x1\":1,\"x2\":2,\"y1\":3,\"y2\":4}"
                                            << "x"
                                            << "y" << true << true << "{\"x1\":1,\"x2\":2,\"y1\":3,\"y2\":4}"
                                            << "Replaced 0 occurrences. 2 keys were left unchanged because another "
                                               "member already has the new name.";
    }
    void replaceAll()
    {
        QFETCH(QString, json);
        QFETCH(QString, find);
        QFETCH(QString, replacement);
        QFETCH(bool, caseSensitive);
        QFETCH(bool, includeKeys);
        QFETCH(QString, result);
        QFETCH(QString, report);
        LaunchedApp app;
        QVERIFY(app.delegate.loadJSONString(json));
        app.document()->setSaved(true);
        FindReplaceDialog* panel = fillIn(app.delegate, find, replacement, caseSensitive, includeKeys);

        panel->replaceAllButton()->click();
        QCOMPARE(app.json(), result);
        QVERIFY(!panel->isVisible());
        QCOMPARE(app.alerts.alerts.size(), 1);
        QCOMPARE(app.alerts.alerts.first().title, kTitle);
        QCOMPARE(app.alerts.alerts.first().message, report);
        const bool changed = result != json;
        QCOMPARE(app.document()->saved(), !changed);
        QCOMPARE(app.subtitle(), changed ? QStringLiteral("Untitled*") : QStringLiteral("Untitled"));
        // The outline shows the tree as it is now, as a freshly built outline of it would.
        OutlineModel fresh;
        fresh.setRoot(app.document()->root());
        QCOMPARE(rowTexts(*app.delegate.outlineModel()), rowTexts(fresh));
        fresh.setRoot(nullptr);
    }

    // Without a find text or a document, Replace All only beeps: no change, no report, the sheet stays.
    void nothingToReplace()
    {
        {
            LaunchedApp app;
            QVERIFY(app.delegate.loadJSONString(QStringLiteral("{\"a\":\"x\"}")));
            app.document()->setSaved(true);
            FindReplaceDialog* panel = fillIn(app.delegate, QString(), QStringLiteral("y"));
            panel->replaceAllButton()->click();
            QVERIFY(panel->isVisible());
            QVERIFY(app.alerts.alerts.isEmpty());
            QCOMPARE(app.json(), QStringLiteral("{\"a\":\"x\"}"));
            QVERIFY(app.document()->saved());
        }
        TemporarySettings settings;
        AlertRecorder alerts;
        AppDelegate unlaunched;
        QVERIFY(!unlaunched.TheDocument());
        FindReplaceDialog* panel = fillIn(unlaunched, QStringLiteral("x"), QStringLiteral("y"));
        unlaunched.findReplace()->performReplaceAll();
        QVERIFY(panel->isVisible());
        QVERIFY(alerts.alerts.isEmpty());
    }

    // Return in either field runs Replace All; Escape and Cancel close the sheet without replacing anything.
    void keyboard_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("replaces");
        QTest::newRow("return in the find field") << "return find" << true;
        QTest::newRow("return in the replace field") << "return replace" << true;
        QTest::newRow("escape") << "escape" << false;
        QTest::newRow("cancel button") << "cancel" << false;
    }
    void keyboard()
    {
        QFETCH(QString, action);
        QFETCH(bool, replaces);
        LaunchedApp app;
        app.delegate.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(app.delegate.window()));
        QVERIFY(app.delegate.loadJSONString(QStringLiteral("[\"one\",\"two\"]")));
        FindReplaceDialog* panel = fillIn(app.delegate, QStringLiteral("o"), QStringLiteral("0"));
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        if (action == QLatin1String("return find"))
            QTest::keyClick(panel->findField(), Qt::Key_Return);
        else if (action == QLatin1String("return replace"))
            QTest::keyClick(panel->replaceField(), Qt::Key_Return);
        else if (action == QLatin1String("escape"))
            QTest::keyClick(panel->findField(), Qt::Key_Escape);
        else
            panel->cancelButton()->click();
        QVERIFY(!panel->isVisible());
        QCOMPARE(app.json(), replaces ? QStringLiteral("[\"0ne\",\"tw0\"]") : QStringLiteral("[\"one\",\"two\"]"));
        QCOMPARE(app.alertTexts(),
                 replaces ? QStringList{kTitle + QStringLiteral(": Replaced 2 occurrences.")} : QStringList());
    }
};

QTEST_MAIN(TestFindReplace)
#include "tst_findreplace.moc"
