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

Result<void> writeStream(const TreeNode& root, ExportFormat format, QIODevice& out)
{
    switch (format) {
    case ExportFormat::Xml:
        return TextExport::writeXml(root, out);
    case ExportFormat::Yaml:
        return TextExport::writeYaml(root, out);
    case ExportFormat::PlistXml:
        return PropertyList::writeXml(root, out);
    case ExportFormat::PlistBinary:
        return PropertyList::writeBinary(root, out);
    case ExportFormat::Json:
    case ExportFormat::PlistOpenStep:
        break;
    }
    return Error(Error::Code::UnknownFormat, QStringLiteral("The format is not written by streaming."));
}

} // namespace

Result<QByteArray> exportBytes(const TreeNode* root, ExportFormat format)
{
    if (!root)
        return Error(Error::Code::NoContent, QStringLiteral("The document has no content."));
    switch (format) {
    case ExportFormat::Json:
        return root->jsonText();
    case ExportFormat::PlistXml:
        return PropertyList::propertyListText(*root, PropertyList::xmlFormat);
    case ExportFormat::PlistOpenStep:
        return PropertyList::propertyListText(*root, PropertyList::openStepFormat);
    case ExportFormat::PlistBinary:
        return PropertyList::propertyListData(*root);
    case ExportFormat::Xml:
    case ExportFormat::Yaml:
        break;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (auto written = writeStream(*root, format, buffer); !written)
        return written.error();
    return bytes;
}

namespace {

// Replaces the file only once `write` has put every byte into it and succeeded.
Result<void> replaceFile(const QString& path, const std::function<Result<void>(QIODevice&)>& write)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Error(Error::Code::FileWrite, file.errorString());
    if (auto written = write(file); !written) {
        file.cancelWriting();
        return written;
    }
    if (!file.commit())
        return Error(Error::Code::FileWrite, file.errorString());
    return {};
}

} // namespace

Result<void> writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    return replaceFile(path, [&bytes](QIODevice& file) -> Result<void> {
        if (file.write(bytes) == bytes.size())
            return {};
        return Error(Error::Code::FileWrite, file.errorString());
    });
}

Result<void> writeFile(const TreeNode* root, ExportFormat format, const QString& path)
{
    if (!root || !streams(format)) {
        const Result<QByteArray> bytes = exportBytes(root, format);
        if (!bytes)
            return bytes.error();
        return writeFileAtomically(path, *bytes);
    }
    return replaceFile(path, [root, format](QIODevice& file) { return writeStream(*root, format, file); });
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
    // Property lists are written atomically too: a failed write must not leave half a file in place of a
    // good one.
    if (auto written = writeFile(document.root(), format, path); !written) {
        BW_LOG_ERROR("writeExport(to:format:document:page:)", written.error().message);
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
