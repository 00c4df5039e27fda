#include "model/JsonWriter.h"

#include "model/LineHash.h"

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
    qsizetype size() const { return m_size; }
    const char* data() const { return m_bytes.constData(); }
    // The bytes before the last line break, which is dropped; what follows it stays. Nothing when there is none.
    std::optional<QByteArray> takeCompleteLines()
    {
        const qsizetype lastBreak = QByteArrayView(m_bytes.constData(), m_size).lastIndexOf('\n');
        if (lastBreak < 0)
            return std::nullopt;
        QByteArray lines(m_bytes.constData(), lastBreak);
        m_size -= lastBreak + 1;
        std::memmove(m_bytes.data(), m_bytes.constData() + lastBreak + 1, std::size_t(m_size));
        return lines;
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

namespace {

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

Error unknownKind(const TreeNode* node)
{
    return Error(Error::Code::NotWritable,
                 QStringLiteral("Unknown node kind %1 at %2.").arg(node->kind()).arg(node->path()));
}

Error invalidNumber(const TreeNode* node)
{
    return Error(Error::Code::NotWritable, QStringLiteral("Invalid number value (%1) in JSON write at %2.")
                                               .arg(NumberText::floatText(node->floatValue()), node->path()));
}

Error noValue(const TreeNode* node)
{
    return Error(Error::Code::NotWritable,
                 QStringLiteral("The %1 node at %2 has no value.").arg(node->kindLabel(), node->path()));
}

bool writeLeaf(Output& out, const TreeNode* node, std::optional<Error>& error)
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

JsonTextWriter::JsonTextWriter(const TreeNode* root, Layout layout)
    : m_out(std::make_unique<Output>(4096)), m_pretty(layout == Layout::Pretty)
{
    if (!root || !root->isCollection()) {
        m_error = Error(Error::Code::NotWritable,
                        QStringLiteral("JSON text must have an array or an object at the top level."));
        m_done = true;
        return;
    }
    open(root);
}

JsonTextWriter::~JsonTextWriter() = default;

void JsonTextWriter::open(const TreeNode* collection)
{
    if (m_depth == m_stack.size())
        m_stack.emplace_back();
    MemberOrder::OrderedChildren& frame = m_stack[m_depth];
    frame.reset(collection);
    if (frame.size() == 0) {
        m_out->put(collection->isArray() ? std::string_view("[]") : std::string_view("{}"));
        return;
    }
    ++m_depth;
    m_next.resize(m_stack.size());
    m_next[m_depth - 1] = 0;
    m_out->put(collection->isArray() ? '[' : '{');
}

void JsonTextWriter::newLine(std::size_t depth)
{
    if (!m_pretty)
        return;
    while (m_indent.size() < depth * 2)
        m_indent.append(64, ' ');
    if (m_keepHashes)
        m_hashes.push_back(lineHash(m_out->data() + m_lineStart, std::size_t(m_out->size() - m_lineStart)));
    m_out->put('\n');
    m_lineStart = m_out->size();
    m_out->put(std::string_view(m_indent).substr(0, depth * 2));
}

bool JsonTextWriter::writeUntil(const QDeadlineTimer& deadline)
{
    // The clock is read once every this many values: often enough for slices of a few milliseconds.
    constexpr int kValuesBetweenClockReads = 2048;
    int untilClock = kValuesBetweenClockReads;
    while (!m_done) {
        if (m_depth == 0) {
            m_done = true;
            if (m_keepHashes)
                m_hashes.push_back(lineHash(m_out->data() + m_lineStart, std::size_t(m_out->size() - m_lineStart)));
            break;
        }
        if (--untilClock == 0) {
            if (deadline.hasExpired())
                return false;
            untilClock = kValuesBetweenClockReads;
        }
        const MemberOrder::OrderedChildren& top = m_stack[m_depth - 1];
        std::size_t& next = m_next[m_depth - 1];
        if (next == top.size()) {
            --m_depth;
            newLine(m_depth);
            m_out->put(top.node()->isArray() ? ']' : '}');
            continue;
        }
        if (next > 0)
            m_out->put(',');
        newLine(m_depth);
        const TreeNode* child = top.at(next++);
        if (top.node()->isObject()) {
            writeString(*m_out, child->nameUtf8());
            m_out->put(m_pretty ? std::string_view(": ") : std::string_view(":"));
        }
        if (child->isCollection()) {
            open(child);
        } else if (!writeLeaf(*m_out, child, m_error)) {
            m_done = true;
        }
    }
    return true;
}

qsizetype JsonTextWriter::size() const
{
    return m_out->size();
}

std::optional<QByteArray> JsonTextWriter::takeCompleteLines()
{
    std::optional<QByteArray> lines = m_out->takeCompleteLines();
    if (lines)
        m_lineStart = 0; // the line being written starts the output again
    return lines;
}

Result<QByteArray> JsonTextWriter::take()
{
    if (!m_done)
        return Error(Error::Code::NotWritable, QStringLiteral("The JSON text is not complete."));
    if (m_error)
        return *m_error;
    return m_out->take();
}

Result<QByteArray> write(const TreeNode* node)
{
    JsonTextWriter writer(node, JsonTextWriter::Layout::Compact);
    writer.writeUntil(QDeadlineTimer::Forever);
    return writer.take();
}

Result<QByteArray> writePretty(const TreeNode* node)
{
    JsonTextWriter writer(node, JsonTextWriter::Layout::Pretty);
    writer.writeUntil(QDeadlineTimer::Forever);
    return writer.take();
}

Result<Leaf> leaf(const TreeNode& node, std::array<char, 32>& buffer)
{
    const auto kind = node.nodeKind();
    if (!kind)
        return unknownKind(&node);
    if (*kind == NodeKind::Null)
        return Leaf{Leaf::Null, "null"};
    switch (node.valueType()) {
    case TreeNode::IntegerValue:
    case TreeNode::FloatValue:
        if (const char* end = writeNumber(buffer.data(), &node))
            return Leaf{Leaf::Number, std::string_view(buffer.data(), std::size_t(end - buffer.data()))};
        return invalidNumber(&node);
    case TreeNode::BooleanValue:
        return Leaf{Leaf::Boolean, node.boolValue() ? "true" : "false"};
    case TreeNode::StringValue:
        return Leaf{Leaf::String, node.stringValueUtf8()};
    default:
        return noValue(&node);
    }
}

} // namespace JsonWriter
