#include "model/PropertyList.h"

#include "model/Log.h"
#include "model/TreeNode.h"

#include <memory>
#include <plist/plist.h>
#include <string>
#include <vector>

namespace PropertyList {
namespace {

struct PlistDeleter
{
    void operator()(void* plist) const { plist_free(static_cast<plist_t>(plist)); }
};
using OwnedPlist = std::unique_ptr<void, PlistDeleter>;

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

class Converter
{
public:
    explicit Converter(bool forXml) : m_forXml(forXml) {}

    // The libplist tree of `root`, or nothing with the reason in `why`.
    OwnedPlist convert(const TreeNode& root, QString& why)
    {
        struct Frame
        {
            const TreeNode* node;
            plist_t container;
            qsizetype next;
        };
        OwnedPlist top(make(root, why));
        if (!top)
            return {};
        std::vector<Frame> stack;
        if (root.isCollection())
            stack.push_back({&root, top.get(), 0});
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next >= frame.node->childCount()) {
                stack.pop_back();
                continue;
            }
            const TreeNode* child = frame.node->child(frame.next++);
            plist_t item = make(*child, why);
            if (!item)
                return {};
            const plist_t container = frame.container;
            if (frame.node->isObject()) {
                const std::string key(child->nameUtf8());
                if (!acceptable(key, why)) {
                    plist_free(item);
                    return {};
                }
                // A later member of the same name replaces an earlier one, as in the JSON text.
                plist_dict_set_item(container, key.c_str(), item);
            } else {
                plist_array_append_item(container, item);
            }
            if (child->isCollection())
                stack.push_back({child, item, 0});
        }
        return top;
    }

private:
    bool acceptable(std::string_view utf8, QString& why) const
    {
        if (utf8.find('\0') != std::string_view::npos) {
            why = QStringLiteral("A text holds the character U+0000, which a property list cannot keep.");
            return false;
        }
        if (m_forXml && !fitsXml(utf8)) {
            why = QStringLiteral("A text holds a control character, which XML cannot carry.");
            return false;
        }
        return true;
    }

    plist_t make(const TreeNode& node, QString& why) const
    {
        if (node.isArray())
            return plist_new_array();
        if (node.isObject())
            return plist_new_dict();
        if (node.isNull()) {
            why = QStringLiteral("A property list has no null value.");
            return nullptr;
        }
        switch (node.valueType()) {
        case TreeNode::IntegerValue:
            // libplist keeps integers as 64-bit patterns and writes negative ones correctly.
            return plist_new_uint(static_cast<uint64_t>(node.integerValue()));
        case TreeNode::FloatValue:
            return plist_new_real(node.floatValue());
        case TreeNode::BooleanValue:
            return plist_new_bool(node.boolValue() ? 1 : 0);
        case TreeNode::StringValue: {
            const std::string text(node.stringValueUtf8());
            if (!acceptable(text, why))
                return nullptr;
            return plist_new_string(text.c_str());
        }
        default:
            why = QStringLiteral("A node has no value.");
            return nullptr;
        }
    }

    bool m_forXml;
};

std::optional<QByteArray> fail(const char* operation, const QString& message, QString* why)
{
    Log::error(message, __FILE__, __LINE__, operation);
    if (why)
        *why = message;
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> propertyListText(const TreeNode& node, int format, QString* why)
{
    constexpr const char* operation = "propertyListText(_:)";
    if (format != xmlFormat)
        return fail(operation, QStringLiteral("The property list format %1 cannot be written.").arg(format), why);
    QString reason;
    const OwnedPlist plist = Converter(true).convert(node, reason);
    if (!plist)
        return fail(operation, reason, why);
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(plist.get(), &xml, &length);
    if (!xml)
        return fail(operation, QStringLiteral("The property list writer failed."), why);
    QByteArray text(xml, qsizetype(length));
    plist_to_xml_free(xml);
    // libplist writes carriage returns as they are, and XML readers turn them into line feeds; its own
    // layout uses only line feeds and tabs, so every carriage return here belongs to a text.
    text.replace('\r', "&#13;");
    if (!text.isValidUtf8())
        return fail(operation, QStringLiteral("The property list is not UTF-8 text."), why);
    return text;
}

std::optional<QByteArray> propertyListData(const TreeNode& node, QString* why)
{
    constexpr const char* operation = "propertyListData()";
    QString reason;
    const OwnedPlist plist = Converter(false).convert(node, reason);
    if (!plist)
        return fail(operation, reason, why);
    char* data = nullptr;
    uint32_t length = 0;
    plist_to_bin(plist.get(), &data, &length);
    if (!data)
        return fail(operation, QStringLiteral("The property list writer failed."), why);
    QByteArray bytes(data, qsizetype(length));
    plist_to_bin_free(data);
    return bytes;
}

} // namespace PropertyList
