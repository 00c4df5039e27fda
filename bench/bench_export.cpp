// Measures the exports on one file, each written to a temporary folder.
//
// First, while this process is still small (a spawned child starts with its parent's memory high-water mark on
// Linux), brackwell-cli exports the file to XML and to YAML, from the file and from its JSON text on standard
// input as the window runs it; the two must give the same bytes. With --pyyaml, PyYAML's C emitter then dumps
// the same document in the same run, for comparison.
//
// Then the document is loaded here and Save As, XML, YAML and the property lists are timed in-process. A
// property list has no null, so those are timed twice: on the document as it is (where they end in their
// failure) and on a copy whose nulls were turned into empty strings. That copy is then exported by
// brackwell-cli, to JSON and to both property-list forms, to compare the three in one run.
//
//   brackwell-export-bench FILE [--pyyaml]
#include "model/Document.h"
#include "model/ExportWriter.h"
#include "model/TreeNode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// PyYAML's C emitter in the output closest to the YAML export: block style, text unescaped, no line folding,
// keys sorted. It prints the time of the dump alone, after the document has been read.
const char* const kPyYamlDump =
    "import json, sys, time, yaml\n"
    "with open(sys.argv[1], encoding='utf-8') as f:\n"
    "    data = json.load(f)\n"
    "start = time.perf_counter()\n"
    "with open(sys.argv[2], 'w', encoding='utf-8') as out:\n"
    "    yaml.dump(data, out, Dumper=yaml.CSafeDumper, default_flow_style=False, allow_unicode=True,\n"
    "              width=2**31 - 1, sort_keys=True)\n"
    "print('%.3f' % (time.perf_counter() - start))\n";

double peakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double fileMiB(const QString& path)
{
    return double(QFileInfo(path).size()) / (1024.0 * 1024.0);
}

struct ChildRun
{
    bool ok = false;
    double seconds = 0;
    double peakMiB = 0;
};

// Runs a program, its standard input and output from and to the files given (or /dev/null), measuring wall time
// and its own peak memory.
ChildRun runChild(const std::vector<std::string>& argv, const std::string& in = "/dev/null",
                  const std::string& out = "/dev/null")
{
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    ChildRun run;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
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

std::string local(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// brackwell-cli export --to FORMAT IN OUT, from start to exit; IN "-" reads `stdinFile`.
ChildRun cliExport(const char* format, const QString& in, const QString& out, const QString& stdinFile = {})
{
    const ChildRun run = runChild({BRACKWELL_CLI_PATH, "export", "--to", format, local(in), local(out)},
                                  stdinFile.isEmpty() ? "/dev/null" : local(stdinFile));
    std::printf("  brackwell-cli export --to %-12s %-4s %8.3f s  %-8s %8.1f MiB written, peak %5.0f MiB\n", format,
                in == QLatin1String("-") ? "-" : "FILE", run.seconds, run.ok ? "ok" : "failed",
                run.ok ? fileMiB(out) : 0.0, run.peakMiB);
    return run;
}

bool sameBytes(const QString& a, const QString& b)
{
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly) || first.size() != second.size())
        return false;
    while (!first.atEnd())
        if (first.read(1 << 20) != second.read(1 << 20))
            return false;
    return true;
}

double measure(const char* what, Document& document, const QString& path, ExportFormat format)
{
    QElapsedTimer timer;
    timer.start();
    const bool ok = ExportWriter::writeExport(path, format, document);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("  %-46s %8.3f s  %-8s %10.1f MiB written, peak %5.0f MiB\n", what, seconds, ok ? "ok" : "failed",
                ok ? fileMiB(path) : 0.0, peakResidentMiB());
    return ok ? seconds : 0;
}

std::size_t replaceNulls(TreeNode* root)
{
    std::size_t replaced = 0;
    std::vector<TreeNode*> pending{root};
    while (!pending.empty()) {
        TreeNode* node = pending.back();
        pending.pop_back();
        if (node->isNull()) {
            node->setKind(qint64(NodeKind::String));
            node->setStringValue("");
            ++replaced;
        }
        pending.insert(pending.end(), node->children().begin(), node->children().end());
    }
    return replaced;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: brackwell-export-bench FILE [--pyyaml]\n");
        return 2;
    }
    const QString path = args[1];
    QTemporaryDir dir;
    std::printf("%s (%.1f MiB)\n", qPrintable(QFileInfo(path).fileName()), fileMiB(path));

    // XML and YAML as brackwell-cli writes them, and as the window has it write them: from the JSON text.
    const QString text = dir.filePath(QStringLiteral("text.json"));
    runChild({BRACKWELL_CLI_PATH, "format", local(path)}, "/dev/null", local(text));
    ChildRun cliYaml;
    for (const char* format : {"xml", "yaml"}) {
        const QString fromFile = dir.filePath(QStringLiteral("cli.") + QLatin1String(format));
        const QString fromText = dir.filePath(QStringLiteral("window.") + QLatin1String(format));
        const ChildRun run = cliExport(format, path, fromFile);
        cliExport(format, QStringLiteral("-"), fromText, text);
        std::printf("    the same bytes from the file and from the JSON text: %s\n",
                    sameBytes(fromFile, fromText) ? "yes" : "NO");
        if (format == std::string_view("yaml"))
            cliYaml = run;
    }
    QFile::remove(text);
    double pyYamlDump = 0;
    ChildRun pyYaml;
    if (args.contains(QStringLiteral("--pyyaml"))) {
        const QString seconds = dir.filePath(QStringLiteral("pyyaml-seconds"));
        pyYaml = runChild({"python3", "-c", kPyYamlDump, local(path), local(dir.filePath(QStringLiteral("py.yaml")))},
                          "/dev/null", local(seconds));
        QFile answer(seconds);
        pyYamlDump = answer.open(QIODevice::ReadOnly) ? answer.readAll().trimmed().toDouble() : 0;
        std::printf(
            "  PyYAML CSafeDumper: dump %.3f s, with reading the JSON %.3f s, %.1f MiB written, peak %.0f MiB\n",
            pyYamlDump, pyYaml.seconds, fileMiB(dir.filePath(QStringLiteral("py.yaml"))), pyYaml.peakMiB);
    }

    auto loaded = Document::documentFromFile(path);
    if (!loaded) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::unique_ptr<Document> document = std::move(*loaded);
    std::printf("  in-process, peak after load %.0f MiB\n", peakResidentMiB());
    measure("Save As (JSON)", *document, dir.filePath("saved.json"), ExportFormat::Json);
    measure("XML", *document, dir.filePath("in-process.xml"), ExportFormat::Xml);
    const double yaml = measure("YAML", *document, dir.filePath("in-process.yaml"), ExportFormat::Yaml);
    if (pyYamlDump > 0 && yaml > 0 && cliYaml.ok)
        std::printf("  PyYAML's dump / our YAML write: %.1f x; PyYAML with reading / brackwell-cli export: %.1f x "
                    "(goal >= 5 x)\n",
                    pyYamlDump / yaml, pyYaml.seconds / cliYaml.seconds);
    measure("binary property list, document as it is", *document, dir.filePath("as-is.plist"),
            ExportFormat::PlistBinary);
    const std::size_t nulls = replaceNulls(document->root());
    std::printf("  (%zu nulls turned into empty strings)\n", nulls);
    const QString nullFree = dir.filePath(QStringLiteral("null-free.json"));
    measure("Save As (JSON), without nulls", *document, nullFree, ExportFormat::Json);
    measure("binary property list", *document, dir.filePath("binary.plist"), ExportFormat::PlistBinary);
    measure("XML property list", *document, dir.filePath("xml.plist"), ExportFormat::PlistXml);
    document.reset();

    // These children start with this process's high-water mark, so their peaks read at least that.
    const ChildRun json = cliExport("json", nullFree, dir.filePath("cli.json"));
    const ChildRun binary = cliExport("plist-binary", nullFree, dir.filePath("cli-binary.plist"));
    const ChildRun xml = cliExport("plist-xml", nullFree, dir.filePath("cli-xml.plist"));
    if (json.ok && binary.ok && xml.ok)
        std::printf("  binary / JSON: %.2f x, XML / JSON: %.2f x (goal <= 4 x)\n", binary.seconds / json.seconds,
                    xml.seconds / json.seconds);
    return 0;
}
