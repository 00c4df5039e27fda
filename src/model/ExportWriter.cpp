#include "model/ExportWriter.h"

#include "model/Alerts.h"
#include "model/Document.h"
#include "model/Log.h"
#include "model/PropertyList.h"
#include "model/Settings.h"
#include "model/TextExport.h"
#include "model/TreeNode.h"

#include <QBuffer>
#include <QFileInfo>
#include <QSaveFile>
#include <functional>

namespace ExportWriter {

namespace {

// The formats written by streaming into a device.
bool streams(ExportFormat format)
{
    return format != ExportFormat::Json && format != ExportFormat::PlistOpenStep;
}

bool writeStream(const TreeNode& root, ExportFormat format, QIODevice& out, QString* why)
{
    switch (format) {
    case ExportFormat::Xml:
        return TextExport::writeXml(root, out, why);
    case ExportFormat::Yaml:
        return TextExport::writeYaml(root, out, why);
    case ExportFormat::PlistXml:
        return PropertyList::writeXml(root, out, why);
    case ExportFormat::PlistBinary:
        return PropertyList::writeBinary(root, out, why);
    case ExportFormat::Json:
    case ExportFormat::PlistOpenStep:
        break;
    }
    return false;
}

} // namespace

std::optional<QByteArray> exportBytes(const TreeNode* root, ExportFormat format, QString* why)
{
    if (!root) {
        if (why)
            *why = QStringLiteral("The document has no content.");
        return std::nullopt;
    }
    switch (format) {
    case ExportFormat::Json:
        return root->jsonText(why);
    case ExportFormat::PlistXml:
        return PropertyList::propertyListText(*root, PropertyList::xmlFormat, why);
    case ExportFormat::PlistOpenStep:
        return PropertyList::propertyListText(*root, PropertyList::openStepFormat, why);
    case ExportFormat::PlistBinary:
        return PropertyList::propertyListData(*root, why);
    case ExportFormat::Xml:
    case ExportFormat::Yaml:
        break;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!writeStream(*root, format, buffer, why))
        return std::nullopt;
    return bytes;
}

namespace {

// Replaces the file only once `write` has put every byte into it and succeeded.
bool replaceFile(const QString& path, const std::function<bool(QIODevice&, QString*)>& write, QString* why)
{
    QSaveFile file(path);
    QString reason;
    if (!file.open(QIODevice::WriteOnly))
        reason = file.errorString();
    else if (!write(file, &reason))
        file.cancelWriting();
    else if (!file.commit())
        reason = file.errorString();
    else
        return true;
    if (why)
        *why = reason;
    return false;
}

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* why)
{
    return replaceFile(
        path,
        [&bytes](QIODevice& file, QString* reason) {
            if (file.write(bytes) == bytes.size())
                return true;
            *reason = file.errorString();
            return false;
        },
        why);
}

bool writeFile(const TreeNode* root, ExportFormat format, const QString& path, QString* why)
{
    if (!root || !streams(format)) {
        const std::optional<QByteArray> bytes = exportBytes(root, format, why);
        return bytes && writeFileAtomically(path, *bytes, why);
    }
    return replaceFile(
        path, [root, format](QIODevice& file, QString* reason) { return writeStream(*root, format, file, reason); },
        why);
}

bool marksSaved(ExportFormat format)
{
    return format != ExportFormat::Xml && format != ExportFormat::Yaml;
}

void presentFailure(ExportFormat format)
{
    Alerts::present({ExportFormats::failureTitle(), ExportFormats::failureMessage(format), Alert::Style::Critical});
}

bool writeExport(const QString& path, ExportFormat format, Document& document)
{
    QString why;
    // Property lists are written atomically too: a failed write must not leave half a file in place of a
    // good one.
    if (!writeFile(document.root(), format, path, &why)) {
        BW_LOG_ERROR("writeExport(to:format:document:page:)", why);
        presentFailure(format);
        return false;
    }
    if (format == ExportFormat::Json) {
        document.setUrl(path);
        document.setName(QFileInfo(path).fileName());
        Settings::instance().addRecentDocument(QFileInfo(path).absoluteFilePath());
    }
    if (marksSaved(format))
        document.setSaved(true);
    return true;
}

} // namespace ExportWriter
