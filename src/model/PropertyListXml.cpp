// The XML property list, streamed from the tree.
#include "model/DeviceSink.h"
#include "model/MemberOrder.h"
#include "model/NumberText.h"
#include "model/PropertyList.h"
#include "model/TreeNode.h"

#include <charconv>
#include <vector>

namespace PropertyList {
namespace {

constexpr std::string_view kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                     "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                     "<plist version=\"1.0\">\n";

class XmlWriter
{
public:
    explicit XmlWriter(QIODevice& device) : m_out(device) {}

    bool write(const TreeNode& root, Error& why)
    {
        m_out.put(kHeader);
        if (!value(root, 0, why))
            return false;
        // Explicit stack: documents nest far deeper than the call stack allows.
        std::size_t depth = 0;
        if (root.isCollection() && root.childCount() > 0)
            open(&root, depth);
        while (depth > 0) {
            Frame& top = m_stack[depth - 1];
            if (top.next == top.children.size()) {
                indent(depth - 1);
                m_out.put(top.children.node()->isArray() ? "</array>\n" : "</dict>\n");
                --depth;
                continue;
            }
            const TreeNode* child = top.children.at(top.next++);
            if (top.children.node()->isObject()) {
                const QString refused = textRefusal(child->nameUtf8(), true);
                if (!refused.isEmpty()) {
                    why = Error(Error::Code::NotWritable, refused);
                    return false;
                }
                indent(depth);
                m_out.put("<key>");
                escaped(child->nameUtf8());
                m_out.put("</key>\n");
            }
            if (!value(*child, depth, why))
                return false;
            if (child->isCollection() && child->childCount() > 0)
                open(child, depth);
        }
        m_out.put("</plist>\n");
        return m_out.finish(why);
    }

private:
    struct Frame
    {
        MemberOrder::OrderedChildren children;
        std::size_t next = 0;
    };

    // Frames are reused across siblings, so their order buffers are allocated once per depth.
    void open(const TreeNode* collection, std::size_t& depth)
    {
        if (depth == m_stack.size())
            m_stack.emplace_back();
        Frame& frame = m_stack[depth++];
        frame.children.reset(collection);
        frame.next = 0;
    }

    void indent(std::size_t depth)
    {
        for (std::size_t i = 0; i < depth; ++i)
            m_out.put('\t');
    }

    // The node's opening line, or its whole element for a leaf or an empty collection.
    bool value(const TreeNode& node, std::size_t depth, Error& why)
    {
        indent(depth);
        if (node.isCollection()) {
            const bool array = node.isArray();
            if (node.childCount() == 0)
                m_out.put(array ? "<array/>\n" : "<dict/>\n");
            else
                m_out.put(array ? "<array>\n" : "<dict>\n");
            return true;
        }
        if (const QString refused = leafRefusal(node); !refused.isEmpty()) {
            why = Error(Error::Code::NotWritable, refused);
            return false;
        }
        switch (node.valueType()) {
        case TreeNode::IntegerValue: {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, node.integerValue()).ptr;
            m_out.put("<integer>");
            m_out.put(std::string_view(digits, std::size_t(end - digits)));
            m_out.put("</integer>\n");
            break;
        }
        case TreeNode::FloatValue:
            m_number.clear();
            NumberText::appendFloatText(m_number, node.floatValue());
            m_out.put("<real>");
            m_out.put(m_number);
            m_out.put("</real>\n");
            break;
        case TreeNode::BooleanValue:
            m_out.put(node.boolValue() ? "<true/>\n" : "<false/>\n");
            break;
        default: {
            const std::string_view text = node.stringValueUtf8();
            if (const QString refused = textRefusal(text, true); !refused.isEmpty()) {
                why = Error(Error::Code::NotWritable, refused);
                return false;
            }
            m_out.put("<string>");
            escaped(text);
            m_out.put("</string>\n");
            break;
        }
        }
        return true;
    }

    // Markup characters as entities; a carriage return as a reference, since XML readers turn a literal one
    // into a line feed.
    void escaped(std::string_view text)
    {
        std::size_t run = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            std::string_view entity;
            switch (text[i]) {
            case '&':
                entity = "&amp;";
                break;
            case '<':
                entity = "&lt;";
                break;
            case '>':
                entity = "&gt;";
                break;
            case '\r':
                entity = "&#13;";
                break;
            default:
                continue;
            }
            m_out.put(text.substr(run, i - run));
            m_out.put(entity);
            run = i + 1;
        }
        m_out.put(text.substr(run));
    }

    DeviceSink m_out;
    std::vector<Frame> m_stack;
    std::string m_number;
};

} // namespace

Result<void> writeXml(const TreeNode& node, QIODevice& out)
{
    Error why;
    if (XmlWriter(out).write(node, why))
        return {};
    return why;
}

} // namespace PropertyList
