// Measures Save As and the property-list exports on one file, each written to a temporary folder.
// A property list has no null, so the exports are timed twice: on the document as it is (where they end in
// their failure) and on a copy whose nulls were turned into empty strings.
//
//   brackwell-export-bench FILE [--no-binary]
//
// libplist 2.2 (Debian 12) writes binary property lists in time that grows with the square of the node count,
// so --no-binary skips that export on large files.
#include "model/Document.h"
#include "model/ExportWriter.h"
#include "model/TreeNode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
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
        std::fprintf(stderr, "usage: brackwell-export-bench FILE [--no-binary]\n");
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
    if (!app.arguments().contains(QStringLiteral("--no-binary")))
        measure("binary property list", *document, dir.filePath("binary.plist"), ExportFormat::PlistBinary);
    measure("XML property list", *document, dir.filePath("xml.plist"), ExportFormat::PlistXml);
    return 0;
}
