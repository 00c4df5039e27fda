// Measures Save As and the property-list exports on one file, each written to a temporary folder.
// A property list has no null, so the exports are timed twice: on the document as it is (where they end in
// their failure) and on a copy whose nulls were turned into empty strings. That copy is then exported by
// brackwell-cli, to JSON and to both property-list forms, to compare the three in one run.
//
//   brackwell-export-bench FILE
#include "model/Document.h"
#include "model/ExportWriter.h"
#include "model/TreeNode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

double peakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void measure(const char* what, Document& document, const QString& path, ExportFormat format)
{
    QElapsedTimer timer;
    timer.start();
    const bool ok = ExportWriter::writeExport(path, format, document);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("  %-46s %8.3f s  %-8s %10.1f MiB written, peak %5.0f MiB\n", what, seconds, ok ? "ok" : "failed",
                ok ? double(QFileInfo(path).size()) / (1024.0 * 1024.0) : 0.0, peakResidentMiB());
}

double childPeakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// brackwell-cli export --to FORMAT IN OUT, timed from start to exit; 0 when it failed.
double cliExport(const char* format, const QString& in, const QString& out)
{
    QElapsedTimer timer;
    timer.start();
    QProcess cli;
    cli.start(QStringLiteral(BRACKWELL_CLI_PATH),
              {QStringLiteral("export"), QStringLiteral("--to"), QString::fromLatin1(format), in, out});
    if (!cli.waitForFinished(-1) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0)
        return 0;
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("  brackwell-cli export --to %-13s %8.3f s  %10.1f MiB written, peak of the children so far %5.0f MiB\n",
                format, seconds, double(QFileInfo(out).size()) / (1024.0 * 1024.0), childPeakMiB());
    return seconds;
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
    if (argc < 2) {
        std::fprintf(stderr, "usage: brackwell-export-bench FILE\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir dir;
    std::unique_ptr<Document> document = Document::documentFromFile(path);
    if (!document) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::printf("%s (%.1f MiB), peak after load %.0f MiB\n", qPrintable(QFileInfo(path).fileName()),
                double(QFileInfo(path).size()) / (1024.0 * 1024.0), peakResidentMiB());
    measure("Save As (JSON)", *document, dir.filePath("saved.json"), ExportFormat::Json);
    measure("binary property list, document as it is", *document, dir.filePath("as-is.plist"),
            ExportFormat::PlistBinary);
    const std::size_t nulls = replaceNulls(document->root());
    std::printf("  (%zu nulls turned into empty strings)\n", nulls);
    const QString nullFree = dir.filePath(QStringLiteral("null-free.json"));
    measure("Save As (JSON), without nulls", *document, nullFree, ExportFormat::Json);
    measure("binary property list", *document, dir.filePath("binary.plist"), ExportFormat::PlistBinary);
    measure("XML property list", *document, dir.filePath("xml.plist"), ExportFormat::PlistXml);
    document.reset();

    const double json = cliExport("json", nullFree, dir.filePath("cli.json"));
    const double binary = cliExport("plist-binary", nullFree, dir.filePath("cli-binary.plist"));
    const double xml = cliExport("plist-xml", nullFree, dir.filePath("cli-xml.plist"));
    if (json > 0 && binary > 0 && xml > 0)
        std::printf("  binary / JSON: %.2f x, XML / JSON: %.2f x (goal <= 4 x)\n", binary / json, xml / json);
    return 0;
}
