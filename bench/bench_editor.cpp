// Measures the code editor page on one file, offscreen: opening the file until the page shows it (or its notice
// that the document is too large), the memory of the window and of the web engine's processes once it does, an
// outline edit until the page shows it, a burst of edits, and a character typed in the page until the outline
// follows; for each, the longest time the window's event loop was blocked (what a user would feel as a freeze).
//
//   QT_QPA_PLATFORM=offscreen brackwell-editor-bench FILE
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
#include "app/menus/MainMenus.h"
#include "app/newsletter/NewsletterController.h"
#include "app/outline/OutlineController.h"
#include "app/paths/PathController.h"
#include "app/search/SearchController.h"
#include "editor/ContentPusher.h"
#include "editor/EditorPage.h"
#include "editor/WebEngineSetup.h"
#include "model/Document.h"
#include "model/NodeKind.h"
#include "model/Settings.h"
#include "model/TreeNode.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

// Ticks every few milliseconds and remembers the longest gap between ticks.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_timer.setInterval(5);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_longest = 0;
        m_timer.start();
    }
    double longestSeconds()
    {
        m_timer.stop();
        return double(m_longest) / 1e9;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// Runs the event loop until `condition` holds. QTest::qWaitFor sleeps 10 ms between rounds of events, which
// would add to every exchange with the page; this wakes at once for each event.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 600'000)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(5);
    QEventLoop loop;
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

std::optional<QVariant> evaluate(EditorPage* page, const QString& script)
{
    std::optional<QVariant> answer;
    page->runJavaScript(script, [&answer](const QVariant& result) { answer = result; });
    if (!waitFor([&] { return answer.has_value(); }))
        return std::nullopt;
    return answer;
}

// The first string value in document order, which takes any text as its new value.
TreeNode* firstString(TreeNode* node)
{
    if (node->kind() == qint64(NodeKind::String))
        return node;
    for (TreeNode* child : node->children())
        if (TreeNode* found = firstString(child))
            return found;
    return nullptr;
}

struct Resident
{
    qint64 window = 0;
    qint64 children = 0;
};

// Resident memory of this process and, apart, of every process below it (the web engine's).
Resident residentMemory()
{
    const auto rss = [](const QString& pid) {
        QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
        if (!statm.open(QIODevice::ReadOnly))
            return qint64(0);
        return statm.readAll().split(' ').value(1).toLongLong() * qint64(sysconf(_SC_PAGESIZE));
    };
    const auto parentOf = [](const QString& pid) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return QString();
        const QByteArray text = stat.readAll();
        // The command name may hold spaces: the fields after it start past its closing parenthesis.
        return QString::fromLatin1(text.mid(text.lastIndexOf(')') + 2).split(' ').value(1));
    };
    const QString self = QString::number(QCoreApplication::applicationPid());
    QHash<QString, QString> parents;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs))
        if (pid.front().isDigit())
            parents.insert(pid, parentOf(pid));
    Resident resident{rss(self), 0};
    for (auto it = parents.cbegin(); it != parents.cend(); ++it) {
        QString up = it.value();
        for (int depth = 0; depth < 8 && !up.isEmpty() && up != self; ++depth)
            up = parents.value(up);
        if (up == self && it.key() != self)
            resident.children += rss(it.key());
    }
    return resident;
}

void row(const char* what, double seconds, double stall)
{
    std::printf("%-40s %8.3f s   longest freeze %6.3f s\n", what, seconds, stall);
}

} // namespace

int main(int argc, char* argv[])
{
    WebEngineSetup::prepareProcess();
    QApplication application(argc, argv);
    const BenchSetup setup(argc, argv);
    const QString path = setup.path();
    if (path.isEmpty())
        return 2;
    std::printf("file: %s (%.1f MiB)\n", qPrintable(path), double(QFileInfo(path).size()) / (1024.0 * 1024.0));

    AppDelegate delegate;
    delegate.window()->show();
    delegate.applicationDidFinishLaunching();
    EditorPage* page = delegate.editor()->Webview();
    if (!page || !waitFor([&] {
            return evaluate(page, QStringLiteral("typeof showPushedLines")) == QVariant(QStringLiteral("function")) &&
                   delegate.editor()->editorPushIsIdle();
        })) {
        std::fprintf(stderr, "the editor page did not load\n");
        return 1;
    }
    StallMeter stalls;
    QElapsedTimer clock;
    // Opening: the file is read on a worker thread, then the outline and the page follow.
    stalls.start();
    clock.start();
    delegate.openDocumentURL(path);
    waitFor([&] { return !delegate.isLoading(); });
    const double installed = clock.elapsed() / 1000.0;
    waitFor([&] { return delegate.editor()->editorPushIsIdle(); });
    const double shown = clock.elapsed() / 1000.0;
    const double openStall = stalls.longestSeconds();
    row("open: document installed", installed, openStall);
    row("open: page shows the document", shown, openStall);
    const QString notice = evaluate(page, QStringLiteral("noticeText()")).value_or(QVariant()).toString();
    const QVariant length = evaluate(page, QStringLiteral("editorLength()")).value_or(QVariant());
    if (notice.isEmpty())
        std::printf("page text: %.1f M characters\n", length.toDouble() / 1e6);
    else
        std::printf("page shows the notice: %s\n", qPrintable(notice));
    // Memory settles once the page has laid out and collected what the push left behind.
    waitFor([] { return false; }, 5000);
    const Resident resident = residentMemory();
    std::printf("resident 5 s after: window %.0f MiB, web engine %.0f MiB, together %.2f GiB\n",
                resident.window / 1048576.0, resident.children / 1048576.0,
                double(resident.window + resident.children) / (1 << 30));

    // One outline edit: the changed line goes to the page.
    TreeNode* scalar = firstString(delegate.TheDocument()->root());
    if (!scalar) {
        std::fprintf(stderr, "the document holds no string to edit\n");
        return 1;
    }
    QSignalSpy pushed(delegate.editor()->editorPusher(), &ContentPusher::pushed);
    stalls.start();
    clock.start();
    scalar->setValueLabel(QStringLiteral("edited-once"));
    waitFor([&] { return delegate.editor()->editorPushIsIdle(); });
    row("edit: page shows the edit", clock.elapsed() / 1000.0, stalls.longestSeconds());

    // Ten edits 20 ms apart: pushes are merged, the page ends with the last.
    pushed.clear();
    stalls.start();
    clock.start();
    for (int i = 1; i <= 10; ++i) {
        scalar->setValueLabel(QStringLiteral("edited-%1").arg(i));
        QTest::qWait(20);
    }
    waitFor([&] { return delegate.editor()->editorPushIsIdle(); });
    row("ten edits: page shows the last", clock.elapsed() / 1000.0, stalls.longestSeconds());
    std::printf("pushes for ten edits: %lld\n", static_cast<long long>(pushed.count()));
    if (!notice.isEmpty())
        return 0;
    const bool latest = evaluate(page, QStringLiteral("editorIndexOf('\"edited-10\"') >= 0")).value_or(false).toBool();
    std::printf("page shows the last edit: %s\n", latest ? "yes" : "NO");

    // One character typed in the page: the changed line comes back, and the tree is read again with it.
    const qint64 at = evaluate(page, QStringLiteral("editorIndexOf('\"edited-10\"')")).value_or(-1).toLongLong();
    stalls.start();
    clock.start();
    evaluate(page, QStringLiteral("typeAt(%1, %1, 'X')").arg(at + 1));
    const bool followed = waitFor([&] {
        TreeNode* edited = firstString(delegate.TheDocument()->root());
        return edited && edited->valueLabel() == QLatin1String("Xedited-10");
    });
    const qint64 followedAt = QDateTime::currentMSecsSinceEpoch();
    row("typed in the page: outline follows", clock.elapsed() / 1000.0, stalls.longestSeconds());
    // The page waits for a pause in typing before it reports; this is the time from its report.
    const qint64 reportedAt = evaluate(page, QStringLiteral("window.lastReportTime")).value_or(0).toLongLong();
    row("  of which after the typing pause", double(followedAt - reportedAt) / 1000.0, 0.0);
    std::printf("outline follows the page: %s\n", followed ? "yes" : "NO");
    return latest && followed ? 0 : 1;
}
