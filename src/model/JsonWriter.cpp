#include "model/JsonWriter.h"

#include "model/MemberOrder.h"
#include "model/NumberText.h"
#include "model/TreeNode.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace JsonWriter {
namespace {

// Grows a QByteArray directly so that a large document is not copied once more at the end.
class Output
{
public:
    explicit Output(qsizetype reserve) { m_bytes.resize(std::max<qsizetype>(reserve, 64)); }

    char* room(std::size_t n)
    {
        if (m_size + qsizetype(n) > m_bytes.size())
            m_bytes.resize(std::max(m_bytes.size() * 2, m_size + qsizetype(n)));
        return m_bytes.data() + m_size;
    }
    void commit(std::size_t n) { m_size += qsizetype(n); }
    void put(char c) { *room(1) = c, commit(1); }
    void put(std::string_view text)
    {
        if (text.empty())
            return; // an empty view may have no data pointer at all
        std::memcpy(room(text.size()), text.data(), text.size());
        commit(text.size());
    }
    QByteArray take()
    {
        m_bytes.resize(m_size);
        return std::move(m_bytes);
    }

private:
    QByteArray m_bytes;
    qsizetype m_size = 0;
};

// 0: copied as is; otherwise the character after the backslash ('u' for \u00XX).
constexpr auto escapes = [] {
    std::array<char, 256> table{};
    for (int c = 0; c < 0x20; ++c)
        table[c] = 'u';
    table['"'] = '"';
    table['\\'] = '\\';
    table['/'] = '/';
    table['\b'] = 'b';
    table['\f'] = 'f';
    table['\n'] = 'n';
    table['\r'] = 'r';
    table['\t'] = 't';
    return table;
}();

void writeString(Output& out, std::string_view text)
{
    out.put('"');
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char escape = escapes[static_cast<unsigned char>(text[i])];
        if (!escape)
            continue;
        out.put(text.substr(runStart, i - runStart));
        if (escape == 'u') {
            static constexpr char hex[] = "0123456789abcdef";
            const auto c = static_cast<unsigned char>(text[i]);
            const char sequence[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            out.put(std::string_view(sequence, 6));
        } else {
            const char sequence[2] = {'\\', escape};
            out.put(std::string_view(sequence, 2));
        }
        runStart = i + 1;
    }
    out.put(text.substr(runStart));
    out.put('"');
}

// The number's text, or nullptr for a non-finite double; `at` has room for 32 characters.
char* writeNumber(char* at, const TreeNode* node)
{
    if (node->valueType() == TreeNode::IntegerValue)
        return std::to_chars(at, at + 32, node->integerValue()).ptr;
    const double real = node->floatValue();
    return std::isfinite(real) ? std::to_chars(at, at + 32, real).ptr : nullptr;
}

QString unknownKind(const TreeNode* node)
{
    return QStringLiteral("Unknown node kind %1 at %2.").arg(node->kind()).arg(node->path());
}

QString invalidNumber(const TreeNode* node)
{
    return QStringLiteral("Invalid number value (%1) in JSON write at %2.")
        .arg(NumberText::floatText(node->floatValue()), node->path());
}

QString noValue(const TreeNode* node)
{
    return QStringLiteral("The %1 node at %2 has no value.").arg(node->kindLabel(), node->path());
}

bool writeLeaf(Output& out, const TreeNode* node, QString& error)
{
    const auto kind = node->nodeKind();
    if (!kind) {
        error = unknownKind(node);
        return false;
    }
    if (*kind == NodeKind::Null) {
        out.put("null");
        return true;
    }
    switch (node->valueType()) {
    case TreeNode::IntegerValue:
    case TreeNode::FloatValue: {
        char* at = out.room(32);
        const char* end = writeNumber(at, node);
        if (!end) {
            error = invalidNumber(node);
            return false;
        }
        out.commit(std::size_t(end - at));
        return true;
    }
    case TreeNode::BooleanValue:
        out.put(node->boolValue() ? std::string_view("true") : std::string_view("false"));
        return true;
    case TreeNode::StringValue:
        writeString(out, node->stringValueUtf8());
        return true;
    default:
        error = noValue(node);
        return false;
    }
}

} // namespace

std::optional<QByteArray> write(const TreeNode* node, QString* error)
{
    QString failure;
    if (!node || !node->isCollection()) {
        failure = QStringLiteral("JSON text must have an array or an object at the top level.");
        if (error)
            *error = failure;
        return std::nullopt;
    }
    Output out(4096);
    struct Frame
    {
        const TreeNode* node;
        std::uint32_t next = 0;
        bool sorted = true; // members written in child order; otherwise in `order`
        std::vector<std::uint32_t> order;
    };
    // Frames are reused across siblings, so their order buffers are allocated once per depth.
    std::vector<Frame> stack;
    std::size_t depth = 0;
    auto open = [&](const TreeNode* collection) {
        if (depth == stack.size())
            stack.emplace_back();
        Frame& frame = stack[depth++];
        frame.node = collection;
        frame.next = 0;
        frame.sorted = !collection->isObject() || MemberOrder::strictlyOrdered(collection);
        if (!frame.sorted)
            MemberOrder::writingOrder(collection, frame.order);
        out.put(collection->isArray() ? '[' : '{');
    };
    open(node);
    while (depth > 0) {
        Frame& top = stack[depth - 1];
        const std::size_t count = top.sorted ? top.node->childCount() : top.order.size();
        if (top.next == count) {
            out.put(top.node->isArray() ? ']' : '}');
            --depth;
            continue;
        }
        if (top.next > 0)
            out.put(',');
        const TreeNode* child = top.node->child(top.sorted ? top.next : top.order[top.next]);
        ++top.next;
        if (top.node->isObject()) {
            writeString(out, child->nameUtf8());
            out.put(':');
        }
        if (child->isCollection()) {
            open(child);
        } else if (!writeLeaf(out, child, failure)) {
            if (error)
                *error = failure;
            return std::nullopt;
        }
    }
    return out.take();
}

std::optional<Leaf> leaf(const TreeNode& node, std::array<char, 32>& buffer, QString& error)
{
    const auto kind = node.nodeKind();
    if (!kind) {
        error = unknownKind(&node);
        return std::nullopt;
    }
    if (*kind == NodeKind::Null)
        return Leaf{Leaf::Null, "null"};
    switch (node.valueType()) {
    case TreeNode::IntegerValue:
    case TreeNode::FloatValue:
        if (const char* end = writeNumber(buffer.data(), &node))
            return Leaf{Leaf::Number, std::string_view(buffer.data(), std::size_t(end - buffer.data()))};
        error = invalidNumber(&node);
        return std::nullopt;
    case TreeNode::BooleanValue:
        return Leaf{Leaf::Boolean, node.boolValue() ? "true" : "false"};
    case TreeNode::StringValue:
        return Leaf{Leaf::String, node.stringValueUtf8()};
    default:
        error = noValue(&node);
        return std::nullopt;
    }
}

} // namespace JsonWriter
