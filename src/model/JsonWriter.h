#pragma once

#include "model/MemberOrder.h"
#include "model/Result.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TreeNode;

// Writes a tree as JSON text: object members in name order (a later duplicate name replacing an earlier
// one), the solidus escaped, other non-ASCII characters as UTF-8. The top level must be an array or an
// object; a non-finite number or a leaf without a value makes the write fail.
namespace JsonWriter {

class Output;

// Writes a piece at a time, so that the main thread can write a large document between events. The tree must
// not change while a text is being written.
class JsonTextWriter
{
public:
    // Compact: no whitespace. Pretty: one value per line, two spaces per level, ": " after a name, and empty
    // collections as "{}" and "[]"; the form the code editor shows.
    enum class Layout { Compact, Pretty };

    JsonTextWriter(const TreeNode* root, Layout layout);
    ~JsonTextWriter();
    JsonTextWriter(const JsonTextWriter&) = delete;
    JsonTextWriter& operator=(const JsonTextWriter&) = delete;

    // Keeps a lineHash() of every line written (pretty layout), for telling later which lines changed.
    void keepLineHashes() { m_keepHashes = true; }
    std::vector<quint64> takeLineHashes() { return std::move(m_hashes); }
    // Writes until the text is complete or the write failed (true), or until the deadline passes (false).
    bool writeUntil(const QDeadlineTimer& deadline);
    // Bytes written so far.
    qsizetype size() const;
    // For handing a long text on in parts while it is written: the lines complete so far, without the line break
    // after the last of them, which is dropped (the next part starts on the line after it). Nothing when no line
    // is complete.
    std::optional<QByteArray> takeCompleteLines();
    // The complete text (or what is left of it after takeCompleteLines()), or why the write failed (NotWritable).
    Result<QByteArray> take();

private:
    void open(const TreeNode* collection);
    void newLine(std::size_t depth);

    std::unique_ptr<Output> m_out;
    bool m_pretty;
    bool m_done = false;
    std::optional<Error> m_error;
    // The open collections, reused across siblings so that their order buffers are allocated once per depth.
    std::vector<MemberOrder::OrderedChildren> m_stack;
    std::vector<std::size_t> m_next;
    std::size_t m_depth = 0;
    std::string m_indent;
    bool m_keepHashes = false;
    std::vector<quint64> m_hashes;
    // Where the line being written starts in the output.
    qsizetype m_lineStart = 0;
};

Result<QByteArray> write(const TreeNode* node);
Result<QByteArray> writePretty(const TreeNode* node);

// A leaf as write() puts it, for the exports that must agree with the JSON text: its JSON type and, for a
// number or a boolean, its text (a number's in `buffer`); for a string, its UTF-8 unescaped. write()'s error
// when write() would fail on it.
struct Leaf
{
    enum Type { Null, Number, Boolean, String };
    Type type = Null;
    std::string_view text;
};
Result<Leaf> leaf(const TreeNode& node, std::array<char, 32>& buffer);

} // namespace JsonWriter
