#include "model/PropertyList.h"

#include "model/Log.h"
#include "model/TreeNode.h"

#include <QBuffer>

namespace PropertyList {
namespace {

// Characters XML 1.0 cannot hold at all: controls other than tab, line feed and carriage return, and the
// non-characters U+FFFE and U+FFFF.
bool fitsXml(std::string_view utf8)
{
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')
            return false;
        if (byte == 0xEF && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(utf8[i + 2]) & 0xFE) == 0xBE)
            return false;
    }
    return true;
}

std::optional<QByteArray> fail(const char* operation, const QString& message, QString* why)
{
    Log::error(message, __FILE__, __LINE__, operation);
    if (why)
        *why = message;
    return std::nullopt;
}

} // namespace

QString textRefusal(std::string_view utf8, bool forXml)
{
    if (utf8.find('\0') != std::string_view::npos)
        return QStringLiteral("A text holds the character U+0000, which a property list cannot keep.");
    if (forXml && !fitsXml(utf8))
        return QStringLiteral("A text holds a control character, which XML cannot carry.");
    return {};
}

QString leafRefusal(const TreeNode& node)
{
    if (node.isNull())
        return QStringLiteral("A property list has no null value.");
    if (node.valueType() == TreeNode::NoValue || node.valueType() == TreeNode::NullValue)
        return QStringLiteral("A node has no value.");
    return {};
}

std::optional<QByteArray> propertyListText(const TreeNode& node, int format, QString* why)
{
    constexpr const char* operation = "propertyListText(_:)";
    if (format != xmlFormat)
        return fail(operation, QStringLiteral("The property list format %1 cannot be written.").arg(format), why);
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    QString reason;
    if (!writeXml(node, buffer, &reason))
        return fail(operation, reason, why);
    return text;
}

std::optional<QByteArray> propertyListData(const TreeNode& node, QString* why)
{
    constexpr const char* operation = "propertyListData()";
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QString reason;
    if (!writeBinary(node, buffer, &reason))
        return fail(operation, reason, why);
    return data;
}

} // namespace PropertyList
