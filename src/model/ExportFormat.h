#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The formats a document is saved or exported in. The codes are fixed.
enum class ExportFormat {
    Json = 0,
    Xml = 1,
    Yaml = 2,
    PlistXml = 3,
    PlistOpenStep = 4,
    PlistBinary = 5,
};

namespace ExportFormats {

// The file extensions a save panel offers for the format, the first being the default suffix.
QStringList extensions(ExportFormat format);
// A short name for panels and menus ("JSON", "Property List"…).
QString displayName(ExportFormat format);
// The message of the format's failure alert, whose title is failureTitle().
QString failureMessage(ExportFormat format);
QString failureTitle();
// The command line's names: json, xml, yaml, plist-xml, plist-openstep, plist-binary.
QString cliName(ExportFormat format);
std::optional<ExportFormat> fromCliName(const QString& name);

} // namespace ExportFormats
