// Measures the document model on one file: load, JSON text, filter passes, descriptions after an edit,
// memory; and, in the same run, `brackwell-cli format` against `jq -c -S .` on the same file. With --lines, the
// relaxed reader on a JSON Lines file against the strict load of FILE.
//
//   brackwell-bench FILE [--no-jq] [--lines FILE.jsonl]
#include "model/Document.h"
#include "model/FilterPass.h"
#include "model/SearchSettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

double peakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double currentResidentMiB()
{
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        long size = 0;
        if (std::fscanf(statm, "%ld %ld", &size, &pages) != 2)
            pages = 0;
        std::fclose(statm);
    }
    return double(pages) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

struct ChildRun
{
    bool ok = false;
    double seconds = 0;
    double peakMiB = 0;
};

// Runs a program with its standard output sent to /dev/null, measuring wall time and its peak memory.
ChildRun runChild(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    ChildRun run;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        run.seconds = double(timer.nsecsElapsed()) / 1e9;
        run.peakMiB = double(usage.ru_maxrss) / 1024.0;
        run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

template <class F> double timed(F&& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
}

std::size_t countNodes(const TreeNode* root)
{
    std::size_t count = 0;
    std::vector<const TreeNode*> pending{root};
    while (!pending.empty()) {
        const TreeNode* node = pending.back();
        pending.pop_back();
        ++count;
        pending.insert(pending.end(), node->children().begin(), node->children().end());
    }
    return count;
}

TreeNode* firstLeaf(TreeNode* node)
{
    while (node->childCount() > 0)
        node = node->child(node->childCount() / 2);
    return node;
}

void row(const char* what, const QString& value, const char* goal = "")
{
    std::printf("  %-44s %18s   %s\n", what, value.toUtf8().constData(), goal);
}

QString seconds(double s)
{
    return QStringLiteral("%1 s").arg(s, 0, 'f', 3);
}

QString mib(double m)
{
    return QStringLiteral("%1 MiB").arg(m, 0, 'f', 0);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: brackwell-bench FILE [--no-jq] [--lines FILE.jsonl]\n");
        return 2;
    }
    const QString path = args[1];
    const bool withJq = !args.contains(QStringLiteral("--no-jq"));
    const qsizetype linesAt = args.indexOf(QStringLiteral("--lines"));
    const QString linesPath = linesAt > 0 ? args.value(linesAt + 1) : QString();
    std::printf("%s (%.1f MiB)\n", QFileInfo(path).fileName().toUtf8().constData(),
                double(QFileInfo(path).size()) / (1024.0 * 1024.0));

    // The programs run first, while this process is small: a spawned child starts with its parent's
    // memory high-water mark on Linux, which would otherwise be reported as the child's.
    ChildRun cli, jq;
    if (withJq) {
        cli = runChild({BRACKWELL_CLI_PATH, "format", path.toStdString()});
        jq = runChild({"/usr/bin/jq", "-c", "-S", ".", path.toStdString()});
    }

    std::unique_ptr<Document> document;
    Error error;
    const double load = timed([&] {
        auto loaded = Document::documentFromFile(path);
        if (loaded)
            document = std::move(*loaded);
        else
            error = loaded.error();
    });
    if (!document) {
        std::fprintf(stderr, "%s\n", error.description().toUtf8().constData());
        return 1;
    }
    TreeNode* root = document->root();
    const double residentAfterLoad = currentResidentMiB();
    const std::size_t nodes = countNodes(root);

    qsizetype textSize = 0;
    const double write = timed([&] { textSize = root->jsonText().value_or(QByteArray()).size(); });

    SearchSettings settings;
    auto filterPass = [&](const QString& search, bool caseSensitive, bool regex, std::size_t& kept) {
        settings.text = search;
        settings.caseSensitive = caseSensitive;
        settings.regularExpression = regex;
        settings.compileExpression();
        return timed([&] { kept = FilterPass::run(root, NodeMatcher(settings)); });
    };
    std::size_t keptPlain = 0, keptFolded = 0, keptRegex = 0, keptAfterEdit = 0;
    const double plain = filterPass(QStringLiteral("gamma"), true, false, keptPlain);
    const double folded = filterPass(QStringLiteral("GAMMA"), false, false, keptFolded);
    const double regex = filterPass(QStringLiteral("gam+a"), true, true, keptRegex);

    const double peakBeforeDescription = peakResidentMiB();

    // One edit invalidates every cached description; the next reads rebuild them.
    TreeNode* leaf = firstLeaf(root);
    leaf->setValueLabel(leaf->isString() ? QStringLiteral("edited") : QStringLiteral("1"));
    qsizetype descriptionSize = 0;
    const double describe = timed([&] { descriptionSize = root->description().size(); });
    const double refilter = filterPass(QStringLiteral("gamma"), true, false, keptAfterEdit);
    const double peak = peakResidentMiB();

    std::printf("\n  %-44s %18s   %s\n", "measure", "result", "goal");
    row("nodes", QString::number(nodes));
    row("load (file to tree, members sorted)", seconds(load), "<= 0.6 s");
    row("jsonText", seconds(write), "<= 0.4 s");
    row("JSON text size", QStringLiteral("%1 bytes").arg(textSize));
    row("filter pass, plain \"gamma\"", seconds(plain), "<= 0.3 s");
    row("  nodes kept", QString::number(keptPlain));
    row("filter pass, case-insensitive \"GAMMA\"", seconds(folded));
    row("  nodes kept", QString::number(keptFolded));
    row("filter pass, regular expression \"gam+a\"", seconds(regex));
    row("  nodes kept", QString::number(keptRegex));
    row("filter pass after one value edit", seconds(refilter));
    row("root description after the edit", seconds(describe));
    row("  description length (characters)", QString::number(descriptionSize));
    row("resident memory after load", mib(residentAfterLoad));
    row("peak resident memory: load, write, filters", mib(peakBeforeDescription), "<= 700 MiB");
    row("peak with the root description held too", mib(peak));
    if (withJq) {
        std::printf("\n");
        row("brackwell-cli format FILE", cli.ok ? seconds(cli.seconds) : QStringLiteral("failed"));
        row("  peak memory", mib(cli.peakMiB));
        row("jq -c -S . FILE", jq.ok ? seconds(jq.seconds) : QStringLiteral("failed"));
        row("  peak memory", mib(jq.peakMiB));
        if (cli.ok && jq.ok)
            row("jq time / brackwell-cli time", QStringLiteral("%1x").arg(jq.seconds / cli.seconds, 0, 'f', 1),
                ">= 5x");
    }

    if (!linesPath.isEmpty()) {
        // The same JSON Lines file by its own name, and under a .json name (read strictly first, refused, then
        // recognised), against the strict load of FILE: the best of three rounds each, taken in turn, so that
        // other work on the machine weighs on all three alike.
        document.reset();
        QTemporaryDir dir;
        const QString unnamed = dir.filePath(QStringLiteral("lines.json"));
        QFile::link(QFileInfo(linesPath).absoluteFilePath(), unnamed);
        qsizetype values = 0;
        auto loadFile = [&](const QString& file, Document::Reading reading) {
            std::optional<Document::Loaded> read;
            const double time = timed([&] { read = Document::documentFromFile(file, reading); });
            if (!*read) {
                std::fprintf(stderr, "%s: %s\n", file.toUtf8().constData(),
                             read->error().description().toUtf8().constData());
                std::exit(1);
            }
            const Document& lines = ***read;
            if (reading == Document::Reading::Relaxed && lines.readReport().dialect != Dialect::JsonLines) {
                std::fprintf(stderr, "%s: not read as JSON Lines\n", file.toUtf8().constData());
                std::exit(1);
            }
            values = lines.readReport().values;
            return time;
        };
        double strict = 1e9, byName = 1e9, found = 1e9;
        for (int round = 0; round < 3; ++round) {
            strict = std::min(strict, loadFile(path, Document::Reading::Strict));
            byName = std::min(byName, loadFile(linesPath, Document::Reading::Relaxed));
            found = std::min(found, loadFile(unnamed, Document::Reading::Relaxed));
        }
        std::printf("\n%s (%.1f MiB), best of three rounds\n", QFileInfo(linesPath).fileName().toUtf8().constData(),
                    double(QFileInfo(linesPath).size()) / (1024.0 * 1024.0));
        row("JSON Lines values", QString::number(values));
        row("strict load of FILE", seconds(strict));
        row("load as JSON Lines (.jsonl)", seconds(byName));
        row("  against the strict load", QStringLiteral("%1x").arg(byName / strict, 0, 'f', 2), "<= 2x");
        row("load as .json: strict, refused, JSON Lines", seconds(found));
        row("  against the strict load", QStringLiteral("%1x").arg(found / strict, 0, 'f', 2));
    }

    return 0;
}
