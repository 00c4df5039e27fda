#include "model/ExportWriter.h"

#include "model/Alerts.h"
#include "model/Document.h"
#include "model/Log.h"
#include "model/PropertyList.h"
#include "model/Settings.h"
#include "model/TreeNode.h"

#include <QFileInfo>
#include <QSaveFile>

namespace ExportWriter {

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
    if (why)
        *why = QStringLiteral("%1 is made by the code editor page.").arg(ExportFormats::displayName(format));
    return std::nullopt;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* why)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (why)
            *why = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        if (why)
            *why = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (why)
            *why = file.errorString();
        return false;
    }
    return true;
}

bool writeFile(const TreeNode* root, ExportFormat format, const QString& path, QString* why)
{
    if (!root || (format != ExportFormat::PlistXml && format != ExportFormat::PlistBinary)) {
        const std::optional<QByteArray> bytes = exportBytes(root, format, why);
        return bytes && writeFileAtomically(path, *bytes, why);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (why)
            *why = file.errorString();
        return false;
    }
    const bool written = format == ExportFormat::PlistXml ? PropertyList::writeXml(*root, file, why)
                                                          : PropertyList::writeBinary(*root, file, why);
    if (!written) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (why)
            *why = file.errorString();
        return false;
    }
    return true;
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
    document.setSaved(true);
    return true;
}

} // namespace ExportWriter
