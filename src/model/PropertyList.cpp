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

Error fail(const char* operation, const Error& error)
{
    Log::error(error.message, __FILE__, __LINE__, operation);
    return error;
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

Result<QByteArray> propertyListText(const TreeNode& node, int format)
{
    constexpr const char* operation = "propertyListText(_:)";
    if (format != xmlFormat)
        return fail(operation, Error(Error::Code::UnknownFormat,
                                     QStringLiteral("The property list format %1 cannot be written.").arg(format)));
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    if (auto written = writeXml(node, buffer); !written)
        return fail(operation, written.error());
    return text;
}

Result<QByteArray> propertyListData(const TreeNode& node)
{
    constexpr const char* operation = "propertyListData()";
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (auto written = writeBinary(node, buffer); !written)
        return fail(operation, written.error());
    return data;
}

} // namespace PropertyList
