// Measures the window on one file, offscreen: open to the first painted, fully expanded outline; search
// keystrokes to the re-filtered, repainted outline; a value edit to the updated subtitle; peak memory; jq over
// the document; the XML and YAML exports.
//
//   QT_QPA_PLATFORM=offscreen brackwell-window-bench FILE
#include "BenchSupport.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "app/Workspace.h"
#include "app/documents/DocumentController.h"
#include "app/documents/ExportController.h"
#include "app/downloader/DownloadController.h"
#include "app/editor/EditorController.h"
#include "app/findreplace/FindReplaceController.h"
#include "app/jq/JqController.h"
#include "app/jq/JqPanel.h"
#include "app/jq/ResultView.h"
#include "app/menus/MainMenus.h"
#include "app/newsletter/NewsletterController.h"
#include "app/outline/OutlineController.h"
#include "app/outline/OutlineModel.h"
#include "app/outline/OutlineView.h"
#include "app/paths/PathController.h"
#include "app/search/SearchController.h"
#include "app/search/SearchField.h"
#include "model/Document.h"
#include "model/Settings.h"
#include "model/TreeNode.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

double peakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void row(const char* what, double seconds, const char* goal)
{
    if (*goal)
        std::printf("%-44s %9.3f s   (goal %s)\n", what, seconds, goal);
    else
        std::printf("%-44s %9.3f s\n", what, seconds);
}

// Paints the outline now, as the next frame would.
void paintOutline(AppDelegate& delegate)
{
    delegate.window()->outlineView()->viewport()->repaint();
}

} // namespace

int main(int argc, char* argv[])
{
    // The outline alone; brackwell-editor-bench measures the code editor page.
    qputenv("BRACKWELL_EDITOR_PAGE", "none");
    QApplication application(argc, argv);
    const BenchSetup setup(argc, argv);
    const QString path = setup.path();
    if (path.isEmpty())
        return 2;

    AppDelegate delegate;
    delegate.window()->show();
    delegate.applicationDidFinishLaunching();
    QApplication::processEvents();
    std::printf("file: %s (%.1f MiB)\n", qPrintable(path), double(QFileInfo(path).size()) / (1024.0 * 1024.0));

    // Open: from the request to the first painted outline with every row expanded.
    QElapsedTimer timer;
    timer.start();
    openAndWait(delegate, path);
    paintOutline(delegate);
    const double open = double(timer.nsecsElapsed()) / 1e9;
    OutlineModel* model = delegate.outlineModel();
    std::printf("rows shown: %d\n", model->rowCount());
    row("open to first painted, expanded outline", open, "<= 1.0 s");

    // Scrolling: jump to the middle and the end, painting each time.
    QScrollBar* scroll = delegate.window()->outlineView()->verticalScrollBar();
    timer.restart();
    for (int step = 1; step <= 20; ++step) {
        scroll->setValue(int(qint64(scroll->maximum()) * step / 20));
        paintOutline(delegate);
    }
    row("20 scroll jumps, each painted (average)", double(timer.nsecsElapsed()) / 1e9 / 20, "smooth");
    scroll->setValue(0);

    // Search keystrokes: each one re-filters the whole tree and repaints.
    SearchField* field = delegate.window()->searchField();
    const QString typed = QStringLiteral("theta");
    double worst = 0;
    for (qsizetype i = 1; i <= typed.size(); ++i) {
        timer.restart();
        field->setText(typed.left(i));
        paintOutline(delegate);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        worst = std::max(worst, seconds);
        std::printf("  keystroke \"%s\": %.3f s, %d rows\n", qPrintable(typed.left(i)), seconds, model->rowCount());
    }
    row("search keystroke (slowest)", worst, "<= 0.3 s");
    timer.restart();
    delegate.search()->setRegularExpressions(true);
    paintOutline(delegate);
    row("the same text as a regular expression", double(timer.nsecsElapsed()) / 1e9, "");
    delegate.search()->setRegularExpressions(false);
    timer.restart();
    field->clear();
    paintOutline(delegate);
    row("clearing the search", double(timer.nsecsElapsed()) / 1e9, "<= 0.3 s");

    timer.restart();
    delegate.outline()->collapseAllRows();
    paintOutline(delegate);
    row("Collapse All", double(timer.nsecsElapsed()) / 1e9, "");
    timer.restart();
    delegate.outline()->expandAllRows();
    paintOutline(delegate);
    row("Expand All", double(timer.nsecsElapsed()) / 1e9, "");

    // Edit: a number value typed in place, to the subtitle with its unsaved mark.
    delegate.TheDocument()->setSaved(true);
    int leaf = 0;
    while (leaf < model->rowCount() && !model->nodeAt(leaf)->isNumber())
        ++leaf;
    timer.restart();
    model->setData(model->index(leaf, OutlineModel::ValueColumn), QStringLiteral("42"));
    paintOutline(delegate);
    const double edit = double(timer.nsecsElapsed()) / 1e9;
    std::printf("subtitle after the edit: %s\n", qPrintable(delegate.windowSubtitle()));
    row("value edit to updated subtitle", edit, "<= 0.1 s");

    std::printf("%-44s %9.0f MiB (goal <= 1024 MiB)\n", "peak resident memory", peakResidentMiB());

    // jq: "." over the whole document, from Run to the result on screen; the window keeps its event loop.
    delegate.jq()->showJQPanel();
    JqPanel* panel = delegate.jq()->jqPanel();
    panel->commandField()->setText(QStringLiteral("."));
    QEventLoop jqLoop;
    QObject::connect(delegate.jq(), &JqController::jqRunFinished, &jqLoop, &QEventLoop::quit);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(100);
    timer.restart();
    delegate.jq()->executeJQ();
    jqLoop.exec();
    panel->resultView()->viewport()->repaint();
    const double jq = double(timer.nsecsElapsed()) / 1e9;
    ticker.stop();
    std::printf("jq result: %d lines, status \"%s\"\n", panel->resultView()->lineCount(),
                qPrintable(delegate.jq()->JQmessage()));
    row("jq \".\" from Run to the result shown", jq, "");
    std::printf("%-44s %9d (one every 0.1 s while jq ran)\n", "event loop ticks during the run", ticks);
    std::printf("%-44s %9.0f MiB\n", "peak resident memory after jq", peakResidentMiB());

    // The XML and YAML exports, written by brackwell-cli from the document's JSON text: from the request to the
    // file in place, and the longest time the window's event loop was held meanwhile.
    const QTemporaryDir exports;
    for (const ExportFormat format : {ExportFormat::Xml, ExportFormat::Yaml}) {
        const QString target = exports.filePath(QStringLiteral("export.") + ExportFormats::extensions(format).first());
        QEventLoop exportLoop;
        bool written = false;
        const auto connection =
            QObject::connect(delegate.exports(), &ExportController::exportFinished, &exportLoop, [&](bool ok) {
                written = ok;
                exportLoop.quit();
            });
        QElapsedTimer sinceTick;
        qint64 longestMs = 0;
        QTimer beat;
        QObject::connect(&beat, &QTimer::timeout, [&] { longestMs = std::max(longestMs, sinceTick.restart()); });
        beat.start(5);
        sinceTick.start();
        timer.restart();
        if (delegate.exports()->writeExport(target, format))
            exportLoop.exec();
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        beat.stop();
        QObject::disconnect(connection);
        std::printf("%-4s export, request to the file in place %9.3f s   %s, %.1f MiB, longest freeze %.3f s\n",
                    qPrintable(ExportFormats::displayName(format)), seconds, written ? "ok" : "FAILED",
                    double(QFileInfo(target).size()) / (1024.0 * 1024.0), double(longestMs) / 1000.0);
    }
    return 0;
}
