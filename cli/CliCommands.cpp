#include "cli/CliCommands.h"

#include "model/Document.h"
#include "model/ExportWriter.h"
#include "model/FilterPass.h"
#include "model/NodePath.h"
#include "model/SearchSettings.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <string>

namespace Cli {
namespace {

const char* const kUsage =
    "Usage:\n"
    "  brackwell-cli format FILE [--relaxed]\n"
    "      Print the document as compact JSON with sorted keys.\n"
    "  brackwell-cli tree FILE [--search TEXT] [--regex] [--ignore-case] [--relaxed]\n"
    "                          [--path-style outline|jq|pointer|jsonpath]\n"
    "      Print the outline, fully expanded, as the window shows it under that search:\n"
    "      one line per node with its path, kind and value, separated by tabs. The path is\n"
    "      the outline's (root.a[2], the default), jq's (.a[2]), a JSON Pointer (/a/2) or a\n"
    "      JSONPath ($['a'][2]).\n"
    "  brackwell-cli export --to FORMAT IN OUT\n"
    "      Write the document IN to OUT in FORMAT: json, xml, yaml, plist-xml, plist-binary or\n"
    "      plist-openstep. OUT is replaced only when the whole export was written.\n"
    "  brackwell-cli --help | --version\n"
    "\n"
    "FILE and IN may be - for standard input. --relaxed also reads JSON with comments, JSON5 and\n"
    "JSON Lines (one value per line, read as an array; always so for .jsonl and .ndjson files) and\n"
    "says on standard error what it read. Duplicate keys are reported on standard error. Exit\n"
    "status: 0 success, 1 invalid document or failed export, 2 bad usage.\n";

constexpr int kInvalidDocument = 1;
constexpr int kBadUsage = 2;

int usageError(const QString& problem)
{
    std::fprintf(stderr, "brackwell-cli: %s\n\n%s", problem.toUtf8().constData(), kUsage);
    return kBadUsage;
}

// Buffered standard output for outlines of millions of lines.
class Output
{
public:
    ~Output() { flush(); }
    std::string& buffer() { return m_buffer; }
    void maybeFlush()
    {
        if (m_buffer.size() > (1 << 20))
            flush();
    }
    void flush()
    {
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), stdout);
        m_buffer.clear();
    }

private:
    std::string m_buffer;
};

std::unique_ptr<Document> load(const QString& file, Document::Reading reading = Document::Reading::Strict)
{
    auto read = [&]() -> Document::Loaded {
        if (file != QLatin1String("-"))
            return Document::documentFromFile(file, reading);
        QFile input;
        if (!input.open(stdin, QIODevice::ReadOnly))
            return Error(Error::Code::FileRead, QStringLiteral("Standard input could not be read."));
        auto bytes = Document::readDocumentBytes(input);
        if (!bytes) {
            Error error = bytes.error();
            error.message = QStringLiteral("Standard input could not be read: %1").arg(error.message);
            return error;
        }
        return Document::documentFromBytes(std::move(*bytes), reading);
    };
    Document::Loaded loaded = read();
    if (!loaded) {
        std::fprintf(stderr, "JSON content doesn't appear to be valid.\n%s\n",
                     loaded.error().description().toUtf8().constData());
        return nullptr;
    }
    std::unique_ptr<Document> document = std::move(*loaded);
    // What was read and what saving would drop, for the user; the output itself stays plain.
    for (const QString& note :
         {Dialects::readAs(document->readReport()), Dialects::duplicateKeysWarning(document->readReport())})
        if (!note.isEmpty())
            std::fprintf(stderr, "%s\n", note.toUtf8().constData());
    return document;
}

int format(const QString& file, Document::Reading reading)
{
    const auto document = load(file, reading);
    if (!document)
        return kInvalidDocument;
    const auto text = document->root()->jsonText();
    if (!text) {
        std::fprintf(stderr, "The document cannot be written as JSON.\n%s\n",
                     text.error().message.toUtf8().constData());
        return kInvalidDocument;
    }
    std::fwrite(text->constData(), 1, size_t(text->size()), stdout);
    std::fputc('\n', stdout);
    return 0;
}

void appendUtf8(std::string& out, const QString& text)
{
    out += text.toUtf8().toStdString();
}

void appendLine(std::string& out, std::string_view path, const TreeNode* node, qsizetype shownChildren)
{
    out += path;
    out += '\t';
    appendUtf8(out, node->kindLabel());
    out += '\t';
    if (node->isCollection()) {
        out += '(';
        out += std::to_string(shownChildren);
        out += " items)";
    } else {
        node->appendValueText(out);
    }
    out += '\n';
}

int tree(const QString& file, const SearchSettings& search, Document::Reading reading, PathStyle style)
{
    const auto document = load(file, reading);
    if (!document)
        return kInvalidDocument;
    TreeNode* root = document->root();
    const bool filtering = !search.text.isEmpty();
    if (filtering)
        FilterPass::run(root, NodeMatcher(search));
    auto shown = [filtering](const TreeNode* node) -> qsizetype {
        return filtering ? FilterPass::keptChildCount(node) : node->childCount();
    };

    Output output;
    std::string rootPath;
    NodePath::appendRoot(rootPath, root, style);
    appendLine(output.buffer(), rootPath, root, shown(root));

    // Depth-first in outline order; each level extends its parent's path, as the node's path would read.
    struct Frame
    {
        const TreeNode* node;
        qsizetype next;
        std::size_t pathLength;
    };
    std::string path = rootPath;
    std::vector<Frame> stack{{root, 0, path.size()}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.node->childCount()) {
            stack.pop_back();
            continue;
        }
        const qsizetype index = top.next++;
        const TreeNode* child = top.node->child(index);
        if (filtering && !child->filterVisible())
            continue;
        path.resize(top.pathLength);
        NodePath::appendStep(path, child, index, style);
        appendLine(output.buffer(), path, child, shown(child));
        output.maybeFlush();
        stack.push_back({child, 0, path.size()});
    }
    return 0;
}

int exportTo(const QStringList& args)
{
    QString to;
    QStringList files;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--to")) {
            if (++i == args.size())
                return usageError(QStringLiteral("--to needs a FORMAT"));
            to = args[i];
        } else if (args[i].startsWith(QLatin1String("--"))) {
            return usageError(QStringLiteral("unexpected argument '%1'").arg(args[i]));
        } else {
            files << args[i];
        }
    }
    if (to.isNull() || files.size() != 2)
        return usageError(QStringLiteral("export takes --to FORMAT, IN and OUT"));
    const auto format = ExportFormats::fromCliName(to);
    if (!format)
        return usageError(QStringLiteral("unknown FORMAT '%1'").arg(to));
    const auto document = load(files[0]);
    if (!document)
        return kInvalidDocument;
    if (auto written = ExportWriter::writeFile(document->root(), *format, files[1]); !written) {
        std::fprintf(stderr, "%s\n%s\n", ExportFormats::failureMessage(*format).toUtf8().constData(),
                     written.error().message.toUtf8().constData());
        return kInvalidDocument;
    }
    return 0;
}

} // namespace

int run(const QStringList& arguments)
{
    const QStringList args = arguments.mid(1);
    if (args.isEmpty())
        return usageError(QStringLiteral("no command given"));
    if (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.first() == QLatin1String("--version")) {
        std::printf("brackwell-cli %s\n", QCoreApplication::applicationVersion().toUtf8().constData());
        return 0;
    }
    const QString command = args.first();
    const auto relaxed =
        args.contains(QStringLiteral("--relaxed")) ? Document::Reading::Relaxed : Document::Reading::Strict;
    if (command == QLatin1String("format")) {
        QStringList files;
        for (const QString& arg : args.mid(1)) {
            if (arg == QLatin1String("--relaxed"))
                continue;
            if (arg.startsWith(QLatin1String("--")))
                return usageError(QStringLiteral("unexpected argument '%1'").arg(arg));
            files << arg;
        }
        if (files.size() != 1)
            return usageError(QStringLiteral("format takes exactly one FILE"));
        return format(files.first(), relaxed);
    }
    if (command == QLatin1String("export"))
        return exportTo(args);
    if (command != QLatin1String("tree"))
        return usageError(QStringLiteral("unknown command '%1'").arg(command));

    QString file;
    PathStyle style = PathStyle::Outline;
    SearchSettings settings;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--search")) {
            if (++i == args.size())
                return usageError(QStringLiteral("--search needs a TEXT"));
            settings.text = args[i];
        } else if (arg == QLatin1String("--regex")) {
            settings.regularExpression = true;
        } else if (arg == QLatin1String("--ignore-case")) {
            settings.caseSensitive = false;
        } else if (arg == QLatin1String("--relaxed")) {
        } else if (arg == QLatin1String("--path-style")) {
            if (++i == args.size())
                return usageError(QStringLiteral("--path-style needs outline, jq, pointer or jsonpath"));
            const auto named = NodePath::styleNamed(args[i]);
            if (!named)
                return usageError(QStringLiteral("unknown path style '%1'").arg(args[i]));
            style = *named;
        } else if (arg.startsWith(QLatin1String("--")) || (!file.isNull())) {
            return usageError(QStringLiteral("unexpected argument '%1'").arg(arg));
        } else {
            file = arg;
        }
    }
    if (file.isNull())
        return usageError(QStringLiteral("tree needs a FILE"));
    if (const auto problem = settings.compileExpression()) {
        std::fprintf(stderr, "Invalid regex: %s\n", problem->toUtf8().constData());
        return kBadUsage;
    }
    return tree(file, settings, relaxed, style);
}

} // namespace Cli
