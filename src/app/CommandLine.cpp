#include "app/CommandLine.h"

namespace CommandLine {

std::optional<QString> informationRequested(const QStringList& arguments)
{
    if (arguments.size() != 2)
        return std::nullopt;
    const QString& option = arguments[1];
    if (option == QLatin1String("--version") || option == QLatin1String("-v"))
        return QStringLiteral("brackwell %1\n").arg(QStringLiteral(BRACKWELL_VERSION));
    if (option != QLatin1String("--help") && option != QLatin1String("-h"))
        return std::nullopt;
    return QStringLiteral(
        "Usage: brackwell [FILE]\n"
        "Open FILE, a JSON document, in the Brackwell window: an outline of typed nodes (name, kind, value)\n"
        "to edit in place, search, rewrite with find and replace and query with jq, beside the document's\n"
        "text in a code editor. Without FILE the window opens with an empty document.\n"
        "\n"
        "Only one Brackwell runs per user: a later launch hands FILE to the running window (asking first\n"
        "when its document has unsaved changes) and raises it.\n"
        "\n"
        "Options:\n"
        "  -h, --help     display this help and exit\n"
        "  -v, --version  output version information and exit\n"
        "\n"
        "Files:\n"
        "  Settings (recent documents and searches, answered questions) are kept in the XDG configuration\n"
        "  folder, usually ~/.config/Brackwell/.\n"
        "\n"
        "See also brackwell-cli(1), the command-line companion on the same document model.\n");
}

} // namespace CommandLine
