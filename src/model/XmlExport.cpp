// The XML export, streamed from the tree.
#include "model/DeviceSink.h"
#include "model/JsonWriter.h"
#include "model/MemberOrder.h"
#include "model/TextExport.h"
#include "model/TreeNode.h"

#include <array>
#include <optional>
#include <vector>

namespace TextExport {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// What a byte of text needs: nothing, an entity in text and attributes, an entity in attributes only, a
// refusal (controls XML 1.0 cannot carry even as references), or a look at the bytes after it (U+FFFE, U+FFFF).
enum ByteClass : std::uint8_t { Plain, Escaped, EscapedInAttribute, Refused, NonCharacterLead };

constexpr auto kByteClasses = [] {
    std::array<ByteClass, 256> table{};
    for (int c = 0; c < 0x20; ++c)
        table[c] = Refused;
    table['\t'] = EscapedInAttribute;
    table['\n'] = EscapedInAttribute;
    table['\r'] = Escaped; // XML readers turn a literal carriage return into a line feed
    table['&'] = Escaped;
    table['<'] = Escaped;
    table['>'] = Escaped;
    table['"'] = EscapedInAttribute;
    table['\''] = EscapedInAttribute;
    table[0xEF] = NonCharacterLead;
    return table;
}();

std::string_view entity(char c)
{
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    case '\'':
        return "&apos;";
    case '\t':
        return "&#9;";
    case '\n':
        return "&#10;";
    default:
        return "&#13;";
    }
}

// One character of valid UTF-8 at `i`, which moves past it.
char32_t decode(std::string_view text, std::size_t& i)
{
    const auto byte = [&](std::size_t at) { return char32_t(static_cast<unsigned char>(text[at])); };
    const char32_t lead = byte(i);
    if (lead < 0x80)
        return ++i, lead;
    if (lead < 0xE0)
        return i += 2, ((lead & 0x1F) << 6) | (byte(i - 1) & 0x3F);
    if (lead < 0xF0)
        return i += 3, ((lead & 0x0F) << 12) | ((byte(i - 2) & 0x3F) << 6) | (byte(i - 1) & 0x3F);
    return i += 4,
           ((lead & 0x07) << 18) | ((byte(i - 3) & 0x3F) << 12) | ((byte(i - 2) & 0x3F) << 6) | (byte(i - 1) & 0x3F);
}

// XML 1.0 name characters of the Basic Multilingual Plane; names with others go into an attribute, which
// holds anything.
bool isNameStart(char32_t c)
{
    return (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || c == 0x200C || c == 0x200D || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD);
}

bool isNameCharacter(char32_t c)
{
    return isNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040;
}

// Whether a member's element can be named after it: an XML name without a colon, not reserved (starting
// with "xml" in any letter case), and not "member", which would read back as a member named by attribute.
bool isElementName(std::string_view name)
{
    if (name.empty() || name == "member")
        return false;
    if (name.size() >= 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' && (name[2] | 0x20) == 'l')
        return false;
    std::size_t i = 0;
    if (!isNameStart(decode(name, i)))
        return false;
    while (i < name.size())
        if (!isNameCharacter(decode(name, i)))
            return false;
    return true;
}

class XmlWriter
{
public:
    explicit XmlWriter(QIODevice& device) : m_out(device) {}

    bool write(const TreeNode& root, Error& why)
    {
        if (!root.isCollection()) {
            why = Error(Error::Code::NotWritable,
                        QStringLiteral("JSON text must have an array or an object at the top level."));
            return false;
        }
        m_out.put(kDeclaration);
        // Explicit stack: documents nest far deeper than the call stack allows.
        std::size_t depth = 0;
        if (!element(root, "root", std::nullopt, depth))
            return fail(why);
        while (depth > 0) {
            Frame& top = m_stack[depth - 1];
            if (top.next == top.children.size()) {
                newLine(depth - 1);
                m_out.put("</");
                m_out.put(top.tag);
                m_out.put('>');
                --depth;
                continue;
            }
            const TreeNode* child = top.children.at(top.next++);
            newLine(depth);
            bool written = false;
            if (!top.children.node()->isObject())
                written = element(*child, "item", std::nullopt, depth);
            else if (const std::string_view name = child->nameUtf8(); isElementName(name))
                written = element(*child, name, std::nullopt, depth);
            else
                written = element(*child, "member", name, depth);
            if (!written)
                return fail(why);
        }
        m_out.put('\n');
        return m_out.finish(why);
    }

private:
    struct Frame
    {
        MemberOrder::OrderedChildren children;
        std::string_view tag;
        std::size_t next = 0;
    };

    bool fail(Error& why)
    {
        why = m_error;
        return false;
    }

    void newLine(std::size_t depth)
    {
        m_out.put('\n');
        for (std::size_t i = 0; i < depth; ++i)
            m_out.put("  ");
    }

    // The node's whole element, or for a collection with children its start tag (its frame is pushed).
    bool element(const TreeNode& node, std::string_view tag, std::optional<std::string_view> nameAttribute,
                 std::size_t& depth)
    {
        m_out.put('<');
        m_out.put(tag);
        if (nameAttribute) {
            m_out.put(" name=\"");
            if (!escaped(*nameAttribute, true, node))
                return false;
            m_out.put('"');
        }
        if (node.isCollection()) {
            m_out.put(node.isArray() ? std::string_view(" type=\"array\"") : std::string_view(" type=\"object\""));
            if (node.childCount() == 0) {
                m_out.put("/>");
                return true;
            }
            m_out.put('>');
            if (depth == m_stack.size())
                m_stack.emplace_back();
            Frame& frame = m_stack[depth++];
            frame.children.reset(&node);
            frame.tag = tag;
            frame.next = 0;
            return true;
        }
        const Result<JsonWriter::Leaf> leaf = JsonWriter::leaf(node, m_number);
        if (!leaf) {
            m_error = leaf.error();
            return false;
        }
        switch (leaf->type) {
        case JsonWriter::Leaf::Null:
            m_out.put(" type=\"null\"/>");
            return true;
        case JsonWriter::Leaf::String:
            if (leaf->text.empty()) {
                m_out.put("/>");
                return true;
            }
            m_out.put('>');
            if (!escaped(leaf->text, false, node))
                return false;
            break;
        case JsonWriter::Leaf::Number:
        case JsonWriter::Leaf::Boolean:
            m_out.put(leaf->type == JsonWriter::Leaf::Number ? std::string_view(" type=\"number\">")
                                                             : std::string_view(" type=\"boolean\">"));
            m_out.put(leaf->text);
            break;
        }
        m_out.put("</");
        m_out.put(tag);
        m_out.put('>');
        return true;
    }

    // Markup characters as entities, and in attributes tabs, line feeds and quotes too, so that readers keep
    // them as they are; false for a character XML 1.0 cannot carry.
    bool escaped(std::string_view text, bool attribute, const TreeNode& node)
    {
        std::size_t run = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const ByteClass kind = kByteClasses[static_cast<unsigned char>(text[i])];
            if (kind == Plain || (kind == EscapedInAttribute && !attribute))
                continue;
            if (kind == NonCharacterLead) {
                // U+FFFE and U+FFFF: EF BF BE and EF BF BF.
                if (i + 2 < text.size() && text[i + 1] == '\xBF' &&
                    (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE)
                    return refuse(text[i + 2] == '\xBE' ? 0xFFFE : 0xFFFF, node);
                continue;
            }
            if (kind == Refused)
                return refuse(static_cast<unsigned char>(text[i]), node);
            m_out.put(text.substr(run, i - run));
            m_out.put(entity(text[i]));
            run = i + 1;
        }
        m_out.put(text.substr(run));
        return true;
    }

    bool refuse(unsigned code, const TreeNode& node)
    {
        m_error = Error(Error::Code::NotWritable,
                        QStringLiteral("U+%1 cannot be written in XML (at %2).")
                            .arg(QString::number(code, 16).toUpper().rightJustified(4, QLatin1Char('0')), node.path()));
        return false;
    }

    DeviceSink m_out;
    std::vector<Frame> m_stack;
    std::array<char, 32> m_number;
    Error m_error;
};

} // namespace

Result<void> writeXml(const TreeNode& root, QIODevice& out)
{
    Error why;
    if (XmlWriter(out).write(root, why))
        return {};
    return why;
}

} // namespace TextExport
