// Measures the edit history on one file, offscreen: what 1,000 value edits keep, Undo and Redo of a value edit,
// of a Replace All and of removing a large subtree, each up to the repainted outline.
//
//   QT_QPA_PLATFORM=offscreen brackwell-undo-bench FILE   (made by gen_json.py: {"count": N, "items": [...]})
#include "BenchSupport.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "app/Workspace.h"
#include "app/documents/DocumentController.h"
#include "app/documents/ExportController.h"
#include "app/downloader/DownloadController.h"
#include "app/editor/EditorController.h"
#include "app/findreplace/FindReplaceController.h"
#include "app/findreplace/FindReplaceDialog.h"
#include "app/jq/JqController.h"
#include "app/menus/MainMenus.h"
#include "app/newsletter/NewsletterController.h"
#include "app/outline/OutlineController.h"
#include "app/outline/OutlineModel.h"
#include "app/outline/OutlineView.h"
#include "app/paths/PathController.h"
#include "app/search/SearchController.h"
#include "app/undo/UndoHistory.h"
#include "model/Alerts.h"
#include "model/Document.h"
#include "model/Settings.h"
#include "model/TreeNode.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QUndoStack>
#include <cstdio>
#include <malloc.h>

namespace {

// Replace All ends in a report; the bench reads the count from the tree instead.
class SilentAlerts : public AlertPresenter
{
public:
    void present(const Alert&) override {}
};

double seconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void row(const char* what, double value, const char* unit, const char* goal)
{
    std::printf("%-52s %10.3f %s   (goal %s)\n", what, value, unit, goal);
}

// Triggers the item and paints the outline, as the next frame would; returns the seconds it took.
double timed(AppDelegate& delegate, QAction* item)
{
    QElapsedTimer timer;
    timer.start();
    item->trigger();
    delegate.window()->outlineView()->viewport()->repaint();
    return seconds(timer);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("BRACKWELL_EDITOR_PAGE", "none");
    QApplication application(argc, argv);
    const BenchSetup setup(argc, argv);
    const QString path = setup.path();
    if (path.isEmpty())
        return 2;
    SilentAlerts alerts;
    Alerts::setPresenter(&alerts);

    AppDelegate delegate;
    delegate.window()->show();
    delegate.applicationDidFinishLaunching();
    QApplication::processEvents();
    openAndWait(delegate, path);
    OutlineModel* model = delegate.outlineModel();
    UndoHistory* history = delegate.undoHistory();
    std::printf("file: %s (%.1f MiB), %d rows, tree %.0f MiB, history budget %.0f MiB\n", qPrintable(path),
                double(QFileInfo(path).size()) / 1048576.0, model->rowCount(),
                double(delegate.TheDocument()->root()->store().allocatedBytes()) / 1048576.0,
                double(history->budget()) / 1048576.0);

    // 1,000 value edits of numbers typed in the outline, one row after another.
    int row0 = 0;
    while (row0 < model->rowCount() && !model->nodeAt(row0)->isNumber())
        ++row0;
    std::vector<int> numberRows;
    for (int r = row0; r < model->rowCount() && numberRows.size() < 1000; ++r)
        if (model->nodeAt(r)->isNumber())
            numberRows.push_back(r);
    const std::size_t heapBefore = heapInUse();
    for (size_t i = 0; i < numberRows.size(); ++i)
        model->setData(model->index(numberRows[i], OutlineModel::ValueColumn), QString::number(i));
    const double heapGrowth = double(heapInUse() - heapBefore) / 1048576.0;
    std::printf("%d steps kept\n", history->stack()->count());
    row("history after 1,000 value edits (its own count)", double(history->bytes()) / 1048576.0, "MiB", "<= 2 MiB");
    row("heap growth over the 1,000 edits (measured)", heapGrowth, "MiB", "<= 2 MiB");

    // Undo and Redo of one value edit.
    double worstUndo = 0;
    double worstRedo = 0;
    for (int i = 0; i < 10; ++i) {
        worstUndo = std::max(worstUndo, timed(delegate, history->undoAction()));
        worstRedo = std::max(worstRedo, timed(delegate, history->redoAction()));
    }
    row("Undo of a value edit (slowest of 10)", worstUndo * 1000, "ms", "<= 50 ms");
    row("Redo of a value edit (slowest of 10)", worstRedo * 1000, "ms", "<= 50 ms");

    // Replace All over about a million string values.
    delegate.findReplace()->showFindReplace();
    FindReplaceDialog* panel = delegate.findReplace()->findReplacePanel();
    panel->findField()->setText(QStringLiteral("ta"));
    panel->replaceField()->setText(QStringLiteral("TA"));
    panel->keysCheck()->setChecked(false);
    // Undo must give back the same text, not merely something quick.
    const auto text = [&delegate] { return delegate.TheDocument()->root()->jsonText().value_or(QByteArray()); };
    const QByteArray original = text();
    QElapsedTimer timer;
    timer.start();
    delegate.findReplace()->performReplaceAll();
    delegate.window()->outlineView()->viewport()->repaint();
    std::printf("Replace All \"ta\" -> \"TA\": %.3f s, history now %.1f MiB\n", seconds(timer),
                double(history->bytes()) / 1048576.0);
    row("Undo of the Replace All", timed(delegate, history->undoAction()), "s", "<= 1 s");
    std::printf("text after the undo: %s\n", text() == original ? "the same as before" : "DIFFERENT");
    row("Redo of the Replace All", timed(delegate, history->redoAction()), "s", "");

    // Remove Row of "items", the array of every record.
    TreeNode* items = nullptr;
    for (TreeNode* child : delegate.TheDocument()->root()->children())
        if (child->name() == QLatin1String("items"))
            items = child;
    delegate.window()->outlineView()->selectRow(model->rowOf(items));
    const QByteArray beforeRemoval = text();
    timer.restart();
    delegate.outline()->removeSelectedRow();
    delegate.window()->outlineView()->viewport()->repaint();
    std::printf("Remove Row of \"items\" (%lld records): %.3f s, %d rows left\n", qlonglong(items->childCount()),
                seconds(timer), model->rowCount());
    row("Undo of Remove Row of \"items\"", timed(delegate, history->undoAction()), "s", "<= 0.5 s");
    std::printf("rows after the undo: %d, selected: %s, text %s\n", model->rowCount(),
                qPrintable(delegate.CurrentPath()), text() == beforeRemoval ? "the same as before" : "DIFFERENT");
    row("Redo of Remove Row of \"items\"", timed(delegate, history->redoAction()), "s", "");
    Alerts::setPresenter(nullptr);
    return 0;
}
