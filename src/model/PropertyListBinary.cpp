// The binary property list (`bplist00`), streamed from the tree: a header, the objects, their offset table and
// a trailer. Objects are written in the order they are met and numbered as they are referred to: a
// collection numbers its members' values in one consecutive block, so the references are known before the
// members are written. Member names are written once each, found by their key in the tree's store.
#include "model/DeviceSink.h"
#include "model/MemberOrder.h"
#include "model/NodeStore.h"
#include "model/PropertyList.h"
#include "model/TreeNode.h"

#include <bit>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace PropertyList {
namespace {

// Bytes needed for unsigned values up to `largest`: 1, 2, 4 or 8.
int widthFor(std::uint64_t largest)
{
    return largest < (1u << 8) ? 1 : largest < (1u << 16) ? 2 : largest <= 0xFFFFFFFFu ? 4 : 8;
}

// Nodes in the tree below and including `root`: with the member names, an upper bound of the object count.
std::uint64_t nodeCount(const TreeNode& root)
{
    std::uint64_t count = 1;
    std::vector<const TreeNode*> stack{&root};
    while (!stack.empty()) {
        const TreeNode* node = stack.back();
        stack.pop_back();
        count += std::uint64_t(node->childCount());
        for (const TreeNode* child : node->children())
            if (child->childCount() > 0)
                stack.push_back(child);
    }
    return count;
}

class BinaryWriter
{
public:
    explicit BinaryWriter(QIODevice& device) : m_out(device) {}

    bool write(const TreeNode& root, Error& why)
    {
        m_refWidth = widthFor(nodeCount(root) + root.store().keyCount());
        m_out.put("bplist00");
        m_offsets.push_back(0);
        std::size_t depth = 0;
        if (!object(root, 0, depth, why))
            return false;
        while (depth > 0) {
            Frame& top = m_stack[depth - 1];
            if (top.next == top.children.size()) {
                --depth;
                continue;
            }
            const std::size_t i = top.next++;
            if (!object(*top.children.at(i), top.first + i, depth, why))
                return false;
        }
        // The offset table and the trailer.
        const std::uint64_t tableOffset = m_out.position();
        const int offsetWidth = widthFor(tableOffset);
        for (const std::uint64_t offset : m_offsets)
            bigEndian(offset, offsetWidth);
        m_out.put(std::string_view("\0\0\0\0\0\0", 6));
        m_out.put(char(offsetWidth));
        m_out.put(char(m_refWidth));
        bigEndian(m_offsets.size(), 8);
        bigEndian(0, 8); // the top object
        bigEndian(tableOffset, 8);
        return m_out.finish(why);
    }

private:
    struct Frame
    {
        MemberOrder::OrderedChildren children;
        std::size_t next = 0;
        std::uint64_t first = 0; // the number of the first member's value
    };

    std::uint64_t allocate(std::uint64_t count)
    {
        const std::uint64_t first = m_offsets.size();
        m_offsets.resize(m_offsets.size() + count);
        return first;
    }

    void bigEndian(std::uint64_t value, int width)
    {
        char bytes[8];
        for (int i = 0; i < width; ++i)
            bytes[i] = char(value >> (8 * (width - 1 - i)));
        m_out.put(std::string_view(bytes, std::size_t(width)));
    }

    void integer(std::uint64_t bits, int width)
    {
        m_out.put(char(0x10 | std::countr_zero(unsigned(width))));
        bigEndian(bits, width);
    }

    // A type marker with its count, in the marker when it is below 15, else in an integer after it.
    void marker(unsigned type, std::uint64_t count)
    {
        if (count < 15) {
            m_out.put(char(type << 4 | unsigned(count)));
            return;
        }
        m_out.put(char(type << 4 | 0xF));
        integer(count, widthFor(count));
    }

    bool string(std::string_view utf8, Error& why)
    {
        if (const QString refused = textRefusal(utf8, false); !refused.isEmpty()) {
            why = Error(Error::Code::NotWritable, refused);
            return false;
        }
        bool ascii = true;
        for (const char c : utf8)
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (ascii) {
            marker(0x5, utf8.size());
            m_out.put(utf8);
            return true;
        }
        // Other texts are big-endian UTF-16, counted in code units.
        m_utf16.clear();
        for (std::size_t i = 0; i < utf8.size();) {
            const auto lead = static_cast<unsigned char>(utf8[i]);
            const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
            for (int k = 1; k < length && i + std::size_t(k) < utf8.size(); ++k)
                c = c << 6 | (static_cast<unsigned char>(utf8[i + std::size_t(k)]) & 0x3F);
            i += std::size_t(length);
            const auto unit = [this](char32_t u) {
                m_utf16.push_back(char(u >> 8));
                m_utf16.push_back(char(u & 0xFF));
            };
            if (c >= 0x10000) {
                unit(0xD800 + ((c - 0x10000) >> 10));
                unit(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                unit(c);
            }
        }
        marker(0x6, m_utf16.size() / 2);
        m_out.put(m_utf16);
        return true;
    }

    // Writes the object numbered `number`; a collection with members opens a frame for them.
    bool object(const TreeNode& node, std::uint64_t number, std::size_t& depth, Error& why)
    {
        m_offsets[number] = m_out.position();
        if (!node.isCollection()) {
            if (const QString refused = leafRefusal(node); !refused.isEmpty()) {
                why = Error(Error::Code::NotWritable, refused);
                return false;
            }
            switch (node.valueType()) {
            case TreeNode::IntegerValue: {
                const qint64 value = node.integerValue();
                // Readers take the 1, 2 and 4-byte forms as unsigned: negative numbers need all 8 bytes.
                integer(std::uint64_t(value), value < 0 ? 8 : widthFor(std::uint64_t(value)));
                return true;
            }
            case TreeNode::FloatValue:
                m_out.put(char(0x23));
                bigEndian(std::bit_cast<std::uint64_t>(node.floatValue()), 8);
                return true;
            case TreeNode::BooleanValue:
                m_out.put(char(node.boolValue() ? 0x09 : 0x08));
                return true;
            default:
                return string(node.stringValueUtf8(), why);
            }
        }
        if (depth == m_stack.size())
            m_stack.emplace_back();
        Frame& frame = m_stack[depth];
        frame.children.reset(&node);
        frame.next = 0;
        const std::size_t count = frame.children.size();
        const bool object = node.isObject();
        // Member names first: each new one is written now, under its own number.
        m_keyRefs.clear();
        if (object) {
            for (std::size_t i = 0; i < count; ++i) {
                const TreeNode* member = frame.children.at(i);
                auto [found, added] = m_keys.try_emplace(member->nameKey(), m_offsets.size());
                if (added) {
                    const std::uint64_t keyNumber = allocate(1);
                    m_offsets[keyNumber] = m_out.position();
                    if (!string(member->nameUtf8(), why))
                        return false;
                }
                m_keyRefs.push_back(found->second);
            }
        }
        frame.first = allocate(count);
        m_offsets[number] = m_out.position();
        marker(object ? 0xD : 0xA, count);
        for (const std::uint64_t key : m_keyRefs)
            bigEndian(key, m_refWidth);
        for (std::size_t i = 0; i < count; ++i)
            bigEndian(frame.first + i, m_refWidth);
        if (count > 0)
            ++depth;
        return true;
    }

    DeviceSink m_out;
    int m_refWidth = 1;
    std::vector<std::uint64_t> m_offsets; // by object number
    std::unordered_map<const NodeKey*, std::uint64_t> m_keys;
    std::vector<std::uint64_t> m_keyRefs;
    std::vector<Frame> m_stack;
    std::string m_utf16;
};

} // namespace

Result<void> writeBinary(const TreeNode& node, QIODevice& out)
{
    Error why;
    if (BinaryWriter(out).write(node, why))
        return {};
    return why;
}

} // namespace PropertyList
