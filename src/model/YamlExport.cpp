// The YAML export, streamed from the tree.
#include "model/DeviceSink.h"
#include "model/JsonWriter.h"
#include "model/MemberOrder.h"
#include "model/TextExport.h"
#include "model/TreeNode.h"

#include <algorithm>
#include <array>
#include <vector>

namespace TextExport {
namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Words that YAML 1.1 or the 1.2 core schema reads as a null or a boolean, or that 1.1 gives a meaning of its
// own ("=" the value key, "<<" the merge key).
bool isSpecialWord(std::string_view text)
{
    static constexpr std::string_view kWords[] = {
        "",     "~",    "null", "Null",  "NULL",  "y",     "Y",  "yes", "Yes", "YES", "n",   "N",   "no", "No", "NO",
        "true", "True", "TRUE", "false", "False", "FALSE", "on", "On",  "ON",  "off", "Off", "OFF", "=",  "<<"};
    // Most texts are told apart by their length or first character.
    if (text.empty())
        return true;
    if (text.size() > 5 || std::string_view("~nNyYtTfFoO=<").find(text[0]) == std::string_view::npos)
        return false;
    for (const std::string_view word : kWords)
        if (text == word)
            return true;
    return false;
}

// Integers and floats of both versions: signs, `_` separators, 0b/0o/0x, 1.1 octals and sexagesimals, exponents
// with or without a point, .inf and .nan in their three spellings.
bool isNumberLike(std::string_view text)
{
    if (text == ".nan" || text == ".NaN" || text == ".NAN")
        return true;
    std::size_t i = text.starts_with('-') || text.starts_with('+') ? 1 : 0;
    const std::string_view rest = text.substr(i);
    if (rest == ".inf" || rest == ".Inf" || rest == ".INF")
        return true;
    const auto all = [&](std::string_view part, auto allowed) {
        if (part.empty())
            return false;
        for (const char c : part)
            if (!allowed(c) && c != '_')
                return false;
        return true;
    };
    if (rest.size() > 2 && rest[0] == '0') {
        const char base = char(rest[1] | 0x20);
        const std::string_view digits = rest.substr(2);
        if (base == 'b' && all(digits, [](char c) { return c == '0' || c == '1'; }))
            return true;
        if (base == 'o' && all(digits, [](char c) { return c >= '0' && c <= '7'; }))
            return true;
        if (base == 'x' && all(digits, [](char c) { return isDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }))
            return true;
    }
    const auto digitsOrSeparators = [&] {
        while (i < text.size() && (isDigit(text[i]) || text[i] == '_'))
            ++i;
    };
    if (i < text.size() && isDigit(text[i])) {
        digitsOrSeparators();
        // Sexagesimal parts: ":5" or ":59".
        while (i < text.size() && text[i] == ':') {
            std::size_t digits = 0;
            while (i + 1 + digits < text.size() && isDigit(text[i + 1 + digits]))
                ++digits;
            if (digits == 0 || digits > 2 || (digits == 2 && text[i + 1] > '5'))
                return false;
            i += 1 + digits;
        }
        if (i < text.size() && text[i] == '.') {
            ++i;
            digitsOrSeparators();
        }
    } else if (i < text.size() && text[i] == '.') {
        const std::size_t start = ++i;
        digitsOrSeparators();
        if (i == start)
            return false;
    } else {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            ++i;
        if (i == text.size() || !isDigit(text[i]))
            return false;
        while (i < text.size() && isDigit(text[i]))
            ++i;
    }
    return i == text.size();
}

// YAML 1.1 timestamps begin with a date.
bool isDateLike(std::string_view text)
{
    if (text.size() < 8 || !std::all_of(text.begin(), text.begin() + 4, isDigit) || text[4] != '-')
        return false;
    std::size_t i = 5;
    for (int part = 0; part < 2; ++part) {
        const std::size_t start = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i == start || i - start > 2)
            return false;
        if (part == 0 && (i == text.size() || text[i++] != '-'))
            return false;
    }
    return i == text.size() || text[i] == 'T' || text[i] == 't' || text[i] == ' ' || text[i] == '\t';
}

// The length in bytes of the white space (as JavaScript's \s has it) that begins `text`, or 0.
std::size_t leadingSpace(std::string_view text)
{
    if (text.empty())
        return 0;
    const auto byte = [&](std::size_t at) { return at < text.size() ? static_cast<unsigned char>(text[at]) : 0; };
    switch (byte(0)) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
        return 1;
    case 0xC2: // U+00A0
        return byte(1) == 0xA0 ? 2 : 0;
    case 0xE1: // U+1680
        return byte(1) == 0x9A && byte(2) == 0x80 ? 3 : 0;
    case 0xE2: // U+2000 to U+200A, U+2028, U+2029, U+202F, U+205F
        if (byte(1) == 0x80 && (byte(2) <= 0x8A || byte(2) == 0xA8 || byte(2) == 0xA9 || byte(2) == 0xAF))
            return 3;
        return byte(1) == 0x81 && byte(2) == 0x9F ? 3 : 0;
    case 0xE3: // U+3000
        return byte(1) == 0x80 && byte(2) == 0x80 ? 3 : 0;
    case 0xEF: // U+FEFF
        return byte(1) == 0xBB && byte(2) == 0xBF ? 3 : 0;
    default:
        return 0;
    }
}

bool endsWithSpace(std::string_view text)
{
    for (std::size_t length = 1; length <= 3 && length <= text.size(); ++length)
        if (leadingSpace(text.substr(text.size() - length)) == length)
            return true;
    return false;
}

// Whether a plain scalar could not hold the text as it is: an indicator or white space at the start; a
// mapping or comment indicator or white space at the end; or anywhere, ": ", " #", and characters a plain
// scalar cannot hold (controls, C1 controls, line and paragraph separators, byte-order marks, U+FFFE, U+FFFF).
bool isUnsafeForPlain(std::string_view text)
{
    static constexpr std::string_view kIndicators = "-?:,[]{}#&*!|>'\"%@`";
    if (text.empty() || kIndicators.find(text[0]) != std::string_view::npos || leadingSpace(text) > 0 ||
        endsWithSpace(text))
        return true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = [&](std::size_t n) {
            return i + n < text.size() ? static_cast<unsigned char>(text[i + n]) : 0;
        };
        if (c < 0x20 || c == 0x7F || (c == ':' && (next(1) == ' ' || i + 1 == text.size())) ||
            (c == ' ' && next(1) == '#'))
            return true;
        if ((c == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F) ||
            (c == 0xE2 && next(1) == 0x80 && (next(2) == 0xA8 || next(2) == 0xA9)) ||
            (c == 0xEF && ((next(1) == 0xBB && next(2) == 0xBF) || (next(1) == 0xBF && next(2) >= 0xBE))))
            return true;
    }
    return false;
}

// Whether a YAML 1.1 reader (PyYAML and many configuration loaders) or a YAML 1.2 core-schema reader would take
// the text, written plain, for anything but that same text, or would refuse it.
bool needsQuotes(std::string_view text)
{
    return isSpecialWord(text) || isUnsafeForPlain(text) || isNumberLike(text) || isDateLike(text);
}

// A double-quoted scalar whose every character a reader accepts: the YAML escapes for controls, line and
// paragraph separators, byte-order marks and non-characters, so no text can make a reader refuse the file.
void appendDoubleQuoted(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    static constexpr std::array<char, 0x20> kShort = {'0', 0, 0, 0, 0, 0, 0, 'a', 'b', 't', 'n', 'v', 'f', 'r', 0, 0,
                                                      0,   0, 0, 0, 0, 0, 0, 0,   0,   0,   0,   'e', 0,   0,   0, 0};
    out += '"';
    std::size_t run = 0;
    const auto escape = [&](std::size_t at, std::size_t length, std::string_view sequence) {
        out.append(text.substr(run, at - run));
        out += sequence;
        run = at + length;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = [&](std::size_t n) {
            return i + n < text.size() ? static_cast<unsigned char>(text[i + n]) : 0;
        };
        if (c < 0x20 || c == 0x7F) {
            const char hex[] = {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
            const char named[] = {'\\', c < 0x20 ? kShort[c] : '\0'};
            escape(i, 1, named[1] ? std::string_view(named, 2) : std::string_view(hex, 4));
        } else if (c == '"' || c == '\\') {
            const char sequence[] = {'\\', char(c)};
            escape(i, 1, std::string_view(sequence, 2));
        } else if (c == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F) {
            const char hex[] = {'\\', 'x', kHex[next(1) >> 4], kHex[next(1) & 15]};
            escape(i, 2, next(1) == 0x85 ? std::string_view("\\N") : std::string_view(hex, 4));
        } else if (c == 0xE2 && next(1) == 0x80 && (next(2) == 0xA8 || next(2) == 0xA9)) {
            escape(i, 3, next(2) == 0xA8 ? "\\L" : "\\P");
        } else if (c == 0xEF && next(1) == 0xBB && next(2) == 0xBF) {
            escape(i, 3, "\\ufeff");
        } else if (c == 0xEF && next(1) == 0xBF && next(2) >= 0xBE) {
            escape(i, 3, next(2) == 0xBE ? "\\ufffe" : "\\uffff");
        }
    }
    out.append(text.substr(run));
    out += '"';
}

// A string as a scalar. A key of the top-level mapping that starts with "..." would end the document, so it
// is quoted too: in single quotes when it holds a double quote and no single quote.
std::string_view scalar(std::string& buffer, std::string_view text, bool topLevelKey)
{
    if (needsQuotes(text)) {
        buffer.clear();
        appendDoubleQuoted(buffer, text);
        return buffer;
    }
    if (topLevelKey && text.starts_with("...")) {
        buffer.clear();
        if (text.find('"') != std::string_view::npos && text.find('\'') == std::string_view::npos)
            buffer.append("'").append(text).append("'");
        else
            appendDoubleQuoted(buffer, text);
        return buffer;
    }
    return text;
}

// Characters in UTF-16 code units, as the limit of implicit keys is counted.
std::size_t utf16Length(std::string_view utf8)
{
    std::size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) != 0x80;
        units += byte >= 0xF0;
    }
    return units;
}

// Keys longer than this are written as explicit keys ("? key"), which have no length limit.
constexpr std::size_t kImplicitKeyLimit = 1024;

class YamlWriter
{
public:
    explicit YamlWriter(QIODevice& device) : m_out(device) {}

    bool write(const TreeNode& root, Error& why)
    {
        if (!root.isCollection()) {
            why = Error(Error::Code::NotWritable,
                        QStringLiteral("JSON text must have an array or an object at the top level."));
            return false;
        }
        // Explicit stack: documents nest far deeper than the call stack allows.
        std::size_t depth = 0;
        if (!value(root, 0, depth, why))
            return false;
        while (depth > 0) {
            Frame& top = m_stack[depth - 1];
            if (top.next == top.children.size()) {
                --depth;
                continue;
            }
            const TreeNode* child = top.children.at(top.next++);
            const std::size_t indent = top.indent;
            if (top.next > 1)
                newLine(indent);
            if (!top.children.node()->isObject()) {
                m_out.put("- ");
                if (!value(*child, indent + 2, depth, why))
                    return false;
                continue;
            }
            const std::string_view key = scalar(m_key, child->nameUtf8(), depth == 1);
            if (key.size() > kImplicitKeyLimit && utf16Length(key) > kImplicitKeyLimit) {
                m_out.put("? ");
                m_out.put(key);
                newLine(indent);
                m_out.put(": ");
            } else {
                m_out.put(key);
                m_out.put(':');
                if (child->isCollection() && child->childCount() > 0)
                    newLine(indent + 2);
                else
                    m_out.put(' ');
            }
            if (!value(*child, indent + 2, depth, why))
                return false;
        }
        m_out.put('\n');
        return m_out.finish(why);
    }

private:
    struct Frame
    {
        MemberOrder::OrderedChildren children;
        std::size_t indent = 0;
        std::size_t next = 0;
    };

    void newLine(std::size_t indent)
    {
        static constexpr std::string_view kSpaces = "                                                                ";
        m_out.put('\n');
        for (; indent > kSpaces.size(); indent -= kSpaces.size())
            m_out.put(kSpaces);
        m_out.put(kSpaces.substr(0, indent));
    }

    // A leaf or an empty collection in full; a collection with children is pushed, to be written by its items
    // at `indent`.
    bool value(const TreeNode& node, std::size_t indent, std::size_t& depth, Error& why)
    {
        if (node.isCollection()) {
            if (node.childCount() == 0) {
                m_out.put(node.isArray() ? "[]" : "{}");
                return true;
            }
            if (depth == m_stack.size())
                m_stack.emplace_back();
            Frame& frame = m_stack[depth++];
            frame.children.reset(&node);
            frame.indent = indent;
            frame.next = 0;
            return true;
        }
        const Result<JsonWriter::Leaf> leaf = JsonWriter::leaf(node, m_number);
        if (!leaf) {
            why = leaf.error();
            return false;
        }
        if (leaf->type == JsonWriter::Leaf::String) {
            m_out.put(scalar(m_text, leaf->text, false));
        } else if (leaf->type == JsonWriter::Leaf::Number && leaf->text.find('e') != std::string_view::npos &&
                   leaf->text.find('.') == std::string_view::npos) {
            // YAML 1.1 reads an exponent without a point ("1e+21") as a string; "1.0e+21" is a float to both.
            const std::size_t e = leaf->text.find('e');
            m_out.put(leaf->text.substr(0, e));
            m_out.put(".0");
            m_out.put(leaf->text.substr(e));
        } else {
            m_out.put(leaf->text);
        }
        return true;
    }

    DeviceSink m_out;
    std::vector<Frame> m_stack;
    std::array<char, 32> m_number;
    std::string m_key;
    std::string m_text;
};

} // namespace

Result<void> writeYaml(const TreeNode& root, QIODevice& out)
{
    Error why;
    if (YamlWriter(out).write(root, why))
        return {};
    return why;
}

} // namespace TextExport
