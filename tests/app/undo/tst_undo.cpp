#include "AppTestSupport.h"
#include "app/findreplace/FindReplaceDialog.h"
#include "app/search/SearchField.h"
#include "app/undo/UndoHistory.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QJsonValue>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

namespace {

const char* const kDocument = R"({"a":[1,2,3],"b":{"c":"xx","d":true},"e":"xx"})";

// A launched window with a document read from a file, so that it has a saved state.
struct UndoApp : LaunchedApp
{
    QTemporaryDir dir;

    bool open(const QByteArray& json = kDocument)
    {
        const QString path = dir.filePath(QStringLiteral("doc.json"));
        if (!writeFile(path, json))
            return false;
        delegate.openDocumentURL(path);
        return waitUntilLoaded() && document() && document()->saved();
    }
    UndoHistory* history() const { return delegate.undoHistory(); }
    QAction* undo() const { return history()->undoAction(); }
    QAction* redo() const { return history()->redoAction(); }
    OutlineModel* model() const { return delegate.outlineModel(); }
    int rowOf(const QString& path) const
    {
        for (int row = 0; row < model()->rowCount(); ++row)
            if (model()->nodeAt(row)->path() == path)
                return row;
        return -1;
    }
    bool select(const QString& path) const
    {
        delegate.window()->outlineView()->selectRow(rowOf(path));
        return delegate.CurrentPath() == path;
    }
    bool setCell(const QString& path, int column, const QString& text) const
    {
        return model()->setData(model()->index(rowOf(path), column), text);
    }
    void replaceAll(const QString& find, const QString& replacement)
    {
        delegate.findReplace()->showFindReplace();
        FindReplaceDialog* panel = delegate.findReplace()->findReplacePanel();
        panel->findField()->setText(find);
        panel->replaceField()->setText(replacement);
        panel->keysCheck()->setChecked(true);
        delegate.findReplace()->performReplaceAll();
    }
    // Every edit the window offers, by name.
    bool edit(const QString& step)
    {
        if (step == QLatin1String("rename"))
            return setCell(QStringLiteral("root.b.c"), OutlineModel::NameColumn, QStringLiteral("k"));
        if (step == QLatin1String("kind, collection to leaf"))
            return setCell(QStringLiteral("root.a"), OutlineModel::KindColumn, QStringLiteral("String"));
        if (step == QLatin1String("kind, collection to collection"))
            return setCell(QStringLiteral("root.b"), OutlineModel::KindColumn, QStringLiteral("Array"));
        if (step == QLatin1String("kind, leaf to collection"))
            return setCell(QStringLiteral("root.e"), OutlineModel::KindColumn, QStringLiteral("Object"));
        if (step == QLatin1String("value, rewritten"))
            return setCell(QStringLiteral("root.b.d"), OutlineModel::ValueColumn, QStringLiteral("yes"));
        if (step == QLatin1String("add row")) {
            if (!select(QStringLiteral("root.a[1]")))
                return false;
            delegate.outline()->addForSelectedRow();
        } else if (step == QLatin1String("remove row")) {
            if (!select(QStringLiteral("root.a[1]")))
                return false;
            delegate.outline()->removeSelectedRow();
        } else if (step == QLatin1String("replace all")) {
            replaceAll(QStringLiteral("x"), QStringLiteral("y"));
        } else if (step == QLatin1String("code editor")) {
            delegate.editor()->contentChanged(QJsonValue(QStringLiteral(R"({"z": [1]})")));
        } else {
            return false;
        }
        return true;
    }
};

} // namespace

class TestUndo : public QObject
{
    Q_OBJECT
private slots:
    // Each kind of edit is one step: Undo gives back the text before it byte for byte, selects the row it touched and
    // returns to the saved state; Redo makes it again. The menu items name the step.
    void eachEditIsOneStep_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("selectedAfterUndo");
        QTest::addColumn<QString>("selectedAfterRedo");
        // The step, its name in the menu, and the row selected after Undo and after Redo.
        const char* const steps[][4] = {
            {"rename", "Rename", "root.b.c", "root.b.k"},
            {"kind, collection to leaf", "Change Kind", "root.a", "root.a"},
            {"kind, collection to collection", "Change Kind", "root.b", "root.b"},
            {"kind, leaf to collection", "Change Kind", "root.e", "root.e"},
            {"value, rewritten", "Edit Value", "root.b.d", "root.b.d"},
            {"add row", "Add Row", "root.a[1]", "root.a[2]"},
            {"remove row", "Remove Row", "root.a[1]", "root.a[1]"},
            {"replace all", "Replace All", "root.b.c", "root.b.c"},
            {"code editor", "Edit in Code Editor", "root", "root"},
        };
        for (const auto& step : steps)
            QTest::newRow(step[0]) << step[0] << step[1] << step[2] << step[3];
    }
    void eachEditIsOneStep()
    {
        QFETCH(QString, step);
        QFETCH(QString, name);
        QFETCH(QString, selectedAfterUndo);
        QFETCH(QString, selectedAfterRedo);
        UndoApp app;
        QVERIFY(app.open());
        // The prefix carries the mnemonic, and stands alone while there is nothing to undo.
        QCOMPARE(app.undo()->text(), QStringLiteral("&Undo"));
        QVERIFY(!app.undo()->isEnabled());
        const QString before = app.json();
        QVERIFY(app.edit(step));
        const QString after = app.json();
        QVERIFY(after != before);
        QCOMPARE(app.subtitle(), QStringLiteral("doc.json*"));
        QCOMPARE(app.undo()->text(), QStringLiteral("&Undo ") + name);
        QCOMPARE(app.history()->stack()->count(), 1);

        for (int round = 0; round < 2; ++round) {
            app.undo()->trigger();
            QCOMPARE(app.json(), before);
            QCOMPARE(app.delegate.CurrentPath(), selectedAfterUndo);
            QCOMPARE(app.subtitle(), QStringLiteral("doc.json"));
            QVERIFY(app.document()->saved());
            QVERIFY(!app.undo()->isEnabled());
            QCOMPARE(app.redo()->text(), QStringLiteral("Re&do ") + name);

            app.redo()->trigger();
            QCOMPARE(app.json(), after);
            QCOMPARE(app.delegate.CurrentPath(), selectedAfterRedo);
            QCOMPARE(app.subtitle(), QStringLiteral("doc.json*"));
            QVERIFY(!app.redo()->isEnabled());
        }
        QVERIFY(app.alerts.alerts.size() <= 1); // the replace-all report
    }

    // Save and Save As move the saved state; a document made from text has none until it is saved.
    void savedStateFollowsSaving()
    {
        UndoApp app;
        QVERIFY(app.delegate.loadJSONString(QString::fromLatin1(kDocument)));
        QVERIFY(app.edit(QStringLiteral("rename")));
        app.undo()->trigger();
        QVERIFY(!app.document()->saved());

        app.prompts.savePaths = {app.dir.filePath(QStringLiteral("saved.json"))};
        app.delegate.documents()->saveDocumentAs();
        QCOMPARE(app.subtitle(), QStringLiteral("saved.json"));
        app.redo()->trigger(); // the rename again, after the saved state
        QCOMPARE(app.subtitle(), QStringLiteral("saved.json*"));
        app.undo()->trigger();
        QCOMPARE(app.subtitle(), QStringLiteral("saved.json"));
        app.redo()->trigger();

        QVERIFY(app.edit(QStringLiteral("value, rewritten")));
        app.delegate.documents()->saveDocument();
        QCOMPARE(app.subtitle(), QStringLiteral("saved.json"));
        app.undo()->trigger();
        app.undo()->trigger();
        QCOMPARE(app.subtitle(), QStringLiteral("saved.json*"));
        app.redo()->trigger();
        app.redo()->trigger();
        QCOMPARE(app.subtitle(), QStringLiteral("saved.json"));
        QCOMPARE(readFile(app.dir.filePath(QStringLiteral("saved.json"))), app.json().toUtf8());
    }

    // Every way of putting another document in the window starts an empty history.
    void replacingTheDocumentEmptiesTheHistory_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("new") << "new";
        QTest::newRow("open") << "open";
        QTest::newRow("clipboard") << "clipboard";
    }
    void replacingTheDocumentEmptiesTheHistory()
    {
        QFETCH(QString, command);
        UndoApp app;
        QVERIFY(app.open());
        QVERIFY(app.edit(QStringLiteral("rename")));
        app.undo()->trigger();
        QVERIFY(app.edit(QStringLiteral("remove row")));
        app.prompts.confirmationAnswers = {{true, false}};
        if (command == QLatin1String("new")) {
            app.delegate.documents()->newDocument();
        } else if (command == QLatin1String("open")) {
            QVERIFY(app.open(R"([1])"));
        } else {
            QGuiApplication::clipboard()->setText(QStringLiteral("[2]"));
            app.delegate.documents()->openFromClipboard();
        }
        QCOMPARE(app.history()->stack()->count(), 0);
        QVERIFY(!app.undo()->isEnabled());
        QVERIFY(!app.redo()->isEnabled());
        QCOMPARE(app.history()->bytes(), std::size_t(0));
    }

    // Past its budget the history drops its oldest steps, always keeping the newest; a dropped saved state can no
    // longer be reached by undoing.
    void budgetDropsTheOldestSteps()
    {
        UndoApp app;
        QVERIFY(app.open());
        QVERIFY(app.edit(QStringLiteral("value, rewritten")));
        const std::size_t oneStep = app.history()->bytes();
        QVERIFY(oneStep > 0);
        app.history()->setBudget(2 * oneStep);
        for (const char* value : {"5", "6", "7"})
            QVERIFY(app.setCell(QStringLiteral("root.a[0]"), OutlineModel::ValueColumn, QString::fromLatin1(value)));
        QCOMPARE(app.history()->stack()->count(), 2);
        QCOMPARE(app.history()->bytes(), 2 * oneStep);
        app.undo()->trigger();
        app.undo()->trigger();
        QVERIFY(!app.undo()->isEnabled());
        QCOMPARE(app.json(), QStringLiteral(R"({"a":[5,2,3],"b":{"c":"xx","d":false},"e":"xx"})"));
        QCOMPARE(app.subtitle(), QStringLiteral("doc.json*"));

        app.history()->setBudget(0);
        QVERIFY(app.edit(QStringLiteral("code editor")));
        QCOMPARE(app.history()->stack()->count(), 1);
        app.undo()->trigger();
        QCOMPARE(app.json(), QStringLiteral(R"({"a":[5,2,3],"b":{"c":"xx","d":false},"e":"xx"})"));
    }

    // Undo and Redo keep the outline as the user left it: collapsed rows stay collapsed and the search stays applied.
    void outlineKeepsCollapsedRowsAndSearch()
    {
        UndoApp app;
        QVERIFY(app.open(R"({"a":{"k2":1,"m":3},"b":["x2","y"],"c":"z2"})"));
        app.delegate.search()->setValue(QStringLiteral("2"));
        QVERIFY(app.select(QStringLiteral("root.c")));
        app.delegate.outline()->removeSelectedRow();
        app.model()->setExpanded(app.rowOf(QStringLiteral("root.a")), false);
        const int rows = app.model()->rowCount();
        app.undo()->trigger();
        QCOMPARE(app.delegate.CurrentPath(), QStringLiteral("root.c"));
        QVERIFY(!app.model()->isExpanded(app.rowOf(QStringLiteral("root.a"))));
        QCOMPARE(app.model()->rowCount(), rows + 1);
        QCOMPARE(app.rowOf(QStringLiteral("root.b[1]")), -1); // still filtered out

        app.replaceAll(QStringLiteral("x2"), QStringLiteral("x3")); // no longer matches
        app.model()->setExpanded(app.rowOf(QStringLiteral("root.a")), false);
        QCOMPARE(app.rowOf(QStringLiteral("root.b[0]")), -1);
        app.undo()->trigger();
        QVERIFY(app.rowOf(QStringLiteral("root.b[0]")) > 0);
        QVERIFY(!app.model()->isExpanded(app.rowOf(QStringLiteral("root.a"))));

        // A subtree of over 100,000 rows comes back by listing the rows again rather than inserting them.
        app.delegate.search()->setValue(QString());
        QByteArray large = R"({"a":{"k":1},"big":[0)";
        for (int i = 1; i <= 100'000; ++i)
            large += ',' + QByteArray::number(i);
        QVERIFY(app.open(large + "]}"));
        app.model()->setExpanded(app.rowOf(QStringLiteral("root.a")), false);
        const int all = app.model()->rowCount();
        QVERIFY(app.select(QStringLiteral("root.big")));
        app.delegate.outline()->removeSelectedRow();
        app.model()->setExpanded(app.rowOf(QStringLiteral("root.a")), false);
        app.undo()->trigger();
        QCOMPARE(app.model()->rowCount(), all);
        QCOMPARE(app.delegate.CurrentPath(), QStringLiteral("root.big"));
        QCOMPARE(app.model()->nodeAt(all - 1)->path(), QStringLiteral("root.big[100000]"));
        QVERIFY(!app.model()->isExpanded(app.rowOf(QStringLiteral("root.a"))));
    }

    // The standard keys undo and redo the document from the outline; in a text field they belong to the field.
    void keys()
    {
        UndoApp app;
        MainWindow* window = app.delegate.window();
        QVERIFY(app.showActive());
        QVERIFY(app.open());
        const QString before = app.json();
        QVERIFY(app.edit(QStringLiteral("rename")));
        const QString after = app.json();
        window->outlineView()->setFocus();
        QTest::keyClick(window->outlineView(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(app.json(), before);
        QTest::keyClick(window->outlineView(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(app.json(), after);

        SearchField* field = window->searchField();
        field->setFocus();
        QTest::keyClicks(field, QStringLiteral("q"));
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(field->text(), QString());
        QCOMPARE(app.json(), after);
    }
};

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
