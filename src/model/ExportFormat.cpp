#include "model/ExportFormat.h"

#include <array>

namespace ExportFormats {
namespace {

constexpr std::array kAll{ExportFormat::Json,     ExportFormat::Xml,           ExportFormat::Yaml,
                          ExportFormat::PlistXml, ExportFormat::PlistOpenStep, ExportFormat::PlistBinary};

} // namespace

QStringList extensions(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Json:
        return {QStringLiteral("json")};
    case ExportFormat::Xml:
        return {QStringLiteral("xml")};
    case ExportFormat::Yaml:
        return {QStringLiteral("yaml"), QStringLiteral("yml")};
    case ExportFormat::PlistXml:
    case ExportFormat::PlistOpenStep:
    case ExportFormat::PlistBinary:
        return {QStringLiteral("plist")};
    }
    return {};
}

QString displayName(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Json:
        return QStringLiteral("JSON");
    case ExportFormat::Xml:
        return QStringLiteral("XML");
    case ExportFormat::Yaml:
        return QStringLiteral("YAML");
    case ExportFormat::PlistXml:
        return QStringLiteral("Property List (XML)");
    case ExportFormat::PlistOpenStep:
        return QStringLiteral("Property List (OpenStep)");
    case ExportFormat::PlistBinary:
        return QStringLiteral("Property List (Binary)");
    }
    return {};
}

QString failureMessage(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Json:
        return QStringLiteral(
            "Document contents could not be saved to disk. Please, contact support if the issue persists.");
    case ExportFormat::Xml:
        return QStringLiteral("Document contents could not be exported as XML.");
    case ExportFormat::Yaml:
        return QStringLiteral("Document contents could not be exported as YAML.");
    case ExportFormat::PlistXml:
    case ExportFormat::PlistBinary:
        return QStringLiteral("Document contents could not be exported as Property List.");
    case ExportFormat::PlistOpenStep:
        return QStringLiteral("Document contents could not be exported as Property List");
    }
    return {};
}

QString failureTitle()
{
    return QStringLiteral("Something went wrong!");
}

QString cliName(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Json:
        return QStringLiteral("json");
    case ExportFormat::Xml:
        return QStringLiteral("xml");
    case ExportFormat::Yaml:
        return QStringLiteral("yaml");
    case ExportFormat::PlistXml:
        return QStringLiteral("plist-xml");
    case ExportFormat::PlistOpenStep:
        return QStringLiteral("plist-openstep");
    case ExportFormat::PlistBinary:
        return QStringLiteral("plist-binary");
    }
    return {};
}

std::optional<ExportFormat> fromCliName(const QString& name)
{
    for (ExportFormat format : kAll)
        if (cliName(format) == name)
            return format;
    return std::nullopt;
}

} // namespace ExportFormats
