#include "model/RelaxedReader.h"

#include "model/JsonReader.h"
#include "model/MemberOrder.h"
#include "model/PipelinedParse.h"
#include "model/TreeBuilder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

namespace RelaxedReader {
namespace {

// The strict reader reads a little past the end of its text; room for that is kept so it is not copied again.
constexpr qsizetype kPadding = 64;

// Where the rewritten text's bytes came from: each point starts a stretch in which both advance together.
class OffsetMap
{
public:
    void mark(qsizetype out, qsizetype in)
    {
        if (!m_points.empty()) {
            Point& last = m_points.back();
            if (last.out == out) {
                last.in = in;
                return;
            }
            if (out - last.out == in - last.in)
                return;
        }
        m_points.push_back({out, in});
    }
    qsizetype toInput(qsizetype out) const
    {
        auto after = std::upper_bound(m_points.begin(), m_points.end(), out,
                                      [](qsizetype offset, const Point& point) { return offset < point.out; });
        if (after == m_points.begin())
            return out;
        const Point& point = *(after - 1);
        return point.in + (out - point.out);
    }

private:
    struct Point
    {
        qsizetype out;
        qsizetype in;
    };
    std::vector<Point> m_points;
};

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// The decimal digits of a hexadecimal number of any length, so that large ones stay exact until the strict
// reader rounds them as it rounds any decimal number.
std::string hexToDecimal(std::string_view hex)
{
    std::vector<std::uint32_t> limbs{0}; // base 10^9, least significant first
    for (char c : hex) {
        std::uint64_t carry = std::uint64_t(hexValue(c));
        for (std::uint32_t& limb : limbs) {
            const std::uint64_t value = std::uint64_t(limb) * 16 + carry;
            limb = std::uint32_t(value % 1000000000);
            carry = value / 1000000000;
        }
        if (carry)
            limbs.push_back(std::uint32_t(carry));
    }
    std::string text = std::to_string(limbs.back());
    for (auto limb = limbs.rbegin() + 1; limb != limbs.rend(); ++limb) {
        const std::string digits = std::to_string(*limb);
        text.append(9 - digits.size(), '0');
        text += digits;
    }
    return text;
}

// The byte length of a JSON5 white-space character other than JSON's own at `p`, or 0: no-break space,
// byte-order mark, line and paragraph separators and the other space separators.
int otherSpaceLength(const unsigned char* p, qsizetype left)
{
    if (left >= 2 && p[0] == 0xC2 && p[1] == 0xA0)
        return 2;
    if (left < 3)
        return 0;
    if ((p[0] == 0xE1 && p[1] == 0x9A && p[2] == 0x80) || (p[0] == 0xE3 && p[1] == 0x80 && p[2] == 0x80) ||
        (p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF))
        return 3;
    if (p[0] == 0xE2 && p[1] == 0x80 && (p[2] <= 0x8A || p[2] == 0xA8 || p[2] == 0xA9 || p[2] == 0xAF))
        return 3;
    if (p[0] == 0xE2 && p[1] == 0x81 && p[2] == 0x9F)
        return 3;
    return 0;
}

// A line terminator that may follow a backslash in a JSON5 string: its length, or 0.
int lineTerminatorLength(const char* p, qsizetype left)
{
    if (left >= 1 && p[0] == '\n')
        return 1;
    if (left >= 1 && p[0] == '\r')
        return left >= 2 && p[1] == '\n' ? 2 : 1;
    if (left >= 3 && std::memcmp(p, "\xE2\x80\xA8", 3) == 0)
        return 3;
    if (left >= 3 && std::memcmp(p, "\xE2\x80\xA9", 3) == 0)
        return 3;
    return 0;
}

struct Refusal
{
    qsizetype offset;
    Error::Code code;
    QString message;
};

// Rewrites JSON with comments and JSON5 as strict JSON in one pass: comments become a space, a comma before a
// closing bracket is dropped, keys are quoted, single-quoted strings and JavaScript escapes become JSON's, and
// numbers are written in JSON's form. Everything else is copied as it is, in stretches, and left to the strict
// reader to judge.
class Normaliser
{
public:
    explicit Normaliser(const QByteArray& text) : m_in(text.constData()), m_size(text.size())
    {
        m_out.reserve(m_size + m_size / 16 + kPadding);
        m_map.mark(0, 0);
    }

    std::optional<Refusal> run();
    QByteArray& text() { return m_out; }
    const OffsetMap& map() const { return m_map; }
    RelaxedFeatures features() const { return m_features; }

private:
    void copyTo(qsizetype end)
    {
        if (end > m_copied) {
            m_map.mark(m_out.size(), m_copied);
            m_out.append(m_in + m_copied, end - m_copied);
        }
        m_copied = std::max(m_copied, end);
    }
    // The input from `from` to `to` is written as `replacement`.
    void replace(qsizetype from, qsizetype to, std::string_view replacement)
    {
        copyTo(from);
        m_map.mark(m_out.size(), from);
        m_out.append(replacement.data(), qsizetype(replacement.size()));
        m_copied = to;
    }
    bool expectsKey() const { return m_expectKey && !m_open.empty() && m_open.back() == '{'; }

    std::optional<Refusal> skipSpace(qsizetype& i);
    std::optional<Refusal> string(qsizetype& i);
    std::optional<Refusal> number(qsizetype& i);
    std::optional<Refusal> word(qsizetype& i);

    const char* m_in;
    qsizetype m_size;
    qsizetype m_copied = 0;
    QByteArray m_out;
    OffsetMap m_map;
    RelaxedFeatures m_features;
    std::vector<char> m_open;      // '{' or '[' for each open collection
    bool m_expectKey = false;      // after '{' or ',' in an object
    bool m_done = false;           // the top-level collection is closed
    qsizetype m_pendingComma = -1; // a comma not written yet: dropped when a closing bracket follows
};

std::optional<Refusal> Normaliser::skipSpace(qsizetype& i)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_in);
    while (i < m_size) {
        const unsigned char c = bytes[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++i;
        } else if (c == '/' && i + 1 < m_size && m_in[i + 1] == '/') {
            const void* end = std::memchr(m_in + i, '\n', size_t(m_size - i));
            const qsizetype stop = end ? static_cast<const char*>(end) - m_in : m_size;
            m_features |= RelaxedFeature::Comments;
            replace(i, stop, " ");
            i = stop;
        } else if (c == '/' && i + 1 < m_size && m_in[i + 1] == '*') {
            const std::string_view rest(m_in + i + 2, size_t(m_size - i - 2));
            const size_t end = rest.find("*/");
            if (end == std::string_view::npos)
                return Refusal{i, Error::Code::Syntax, QStringLiteral("A comment is not closed.")};
            m_features |= RelaxedFeature::Comments;
            const qsizetype stop = i + 2 + qsizetype(end) + 2;
            replace(i, stop, " ");
            i = stop;
        } else if (c == '\v' || c == '\f') {
            m_features |= RelaxedFeature::WhiteSpace;
            replace(i, i + 1, " ");
            ++i;
        } else if (const int length = c >= 0x80 ? otherSpaceLength(bytes + i, m_size - i) : 0) {
            m_features |= RelaxedFeature::WhiteSpace;
            replace(i, i + length, std::string_view("   ", size_t(length)));
            i += length;
        } else {
            break;
        }
    }
    return std::nullopt;
}

std::optional<Refusal> Normaliser::run()
{
    qsizetype i = 0;
    while (true) {
        if (auto refusal = skipSpace(i))
            return refusal;
        if (i >= m_size)
            break;
        const char c = m_in[i];
        if (m_done)
            return Refusal{i, Error::Code::Syntax, QStringLiteral("Unexpected text after the end of the document.")};
        if (m_pendingComma >= 0) {
            if (c == ']' || c == '}') {
                m_features |= RelaxedFeature::TrailingCommas;
            } else {
                copyTo(i);
                m_map.mark(m_out.size(), m_pendingComma);
                m_out.append(',');
            }
            m_pendingComma = -1;
        }
        std::optional<Refusal> refusal;
        switch (c) {
        case '{':
        case '[':
            m_open.push_back(c);
            m_expectKey = c == '{';
            ++i;
            break;
        case '}':
        case ']':
            if (!m_open.empty()) {
                m_open.pop_back();
                m_done = m_open.empty();
            }
            m_expectKey = false;
            ++i;
            break;
        case ',':
            copyTo(i);
            m_copied = i + 1;
            m_pendingComma = i;
            m_expectKey = true;
            ++i;
            break;
        case ':':
            m_expectKey = false;
            ++i;
            break;
        case '"':
        case '\'':
            refusal = string(i);
            m_expectKey = false;
            break;
        default:
            if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.')
                refusal = number(i);
            else
                refusal = word(i);
            m_expectKey = false;
            break;
        }
        if (refusal)
            return refusal;
    }
    copyTo(m_size);
    if (m_pendingComma >= 0) {
        // A comma that nothing follows: left in place for the strict reader to refuse.
        m_map.mark(m_out.size(), m_pendingComma);
        m_out.append(',');
    }
    return std::nullopt;
}

std::optional<Refusal> Normaliser::string(qsizetype& i)
{
    const qsizetype start = i;
    const char quote = m_in[i];
    const bool single = quote == '\'';
    if (single) {
        m_features |= RelaxedFeature::SingleQuotedStrings;
        replace(i, i + 1, "\"");
    }
    qsizetype j = i + 1;
    while (true) {
        while (j < m_size) {
            const auto c = static_cast<unsigned char>(m_in[j]);
            if (c == quote || c == '\\' || c < 0x20 || (single && c == '"'))
                break;
            ++j;
        }
        if (j >= m_size) {
            // Unclosed: the strict reader says so.
            i = m_size;
            return std::nullopt;
        }
        const auto c = static_cast<unsigned char>(m_in[j]);
        if (c == quote) {
            if (single)
                replace(j, j + 1, "\"");
            i = j + 1;
            return std::nullopt;
        }
        if (c == '"') {
            replace(j, j + 1, "\\\"");
            ++j;
            continue;
        }
        if (c == '\n' || c == '\r')
            return Refusal{start, Error::Code::BadString,
                           QStringLiteral("A string is not closed before the end of its line.")};
        if (c < 0x20) {
            // JavaScript strings may hold control characters such as tabs as they are; JSON escapes them.
            char escape[7];
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
            m_features |= RelaxedFeature::StringEscapes;
            replace(j, j + 1, escape);
            ++j;
            continue;
        }
        // A backslash.
        if (j + 1 >= m_size) {
            i = m_size;
            return std::nullopt;
        }
        const char e = m_in[j + 1];
        switch (e) {
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
        case 'u':
            j += 2;
            break;
        case '\'':
            if (!single)
                m_features |= RelaxedFeature::StringEscapes;
            replace(j, j + 2, "'");
            j += 2;
            break;
        case 'x':
            if (j + 3 < m_size && isHexDigit(m_in[j + 2]) && isHexDigit(m_in[j + 3])) {
                const char escape[] = {'\\', 'u', '0', '0', m_in[j + 2], m_in[j + 3]};
                m_features |= RelaxedFeature::StringEscapes;
                replace(j, j + 4, std::string_view(escape, sizeof escape));
                j += 4;
            } else {
                j += 1; // the strict reader refuses the escape
            }
            break;
        case 'v':
            m_features |= RelaxedFeature::StringEscapes;
            replace(j, j + 2, "\\u000b");
            j += 2;
            break;
        case '0':
            if (j + 2 < m_size && m_in[j + 2] >= '0' && m_in[j + 2] <= '9') {
                j += 1; // not an escape in JSON5 either: refused by the strict reader
            } else {
                m_features |= RelaxedFeature::StringEscapes;
                replace(j, j + 2, "\\u0000");
                j += 2;
            }
            break;
        default:
            if (const int length = lineTerminatorLength(m_in + j + 1, m_size - j - 1)) {
                m_features |= RelaxedFeature::LineContinuations;
                replace(j, j + 1 + length, "");
                j += 1 + length;
            } else if (e >= '1' && e <= '9') {
                j += 1; // refused by the strict reader
            } else {
                // Any other character escaped stands for itself.
                m_features |= RelaxedFeature::StringEscapes;
                replace(j, j + 1, "");
                j += 1;
            }
            break;
        }
    }
}

std::optional<Refusal> Normaliser::number(qsizetype& i)
{
    const qsizetype start = i;
    qsizetype j = i;
    const char sign = (m_in[j] == '+' || m_in[j] == '-') ? m_in[j++] : 0;
    const qsizetype bodyStart = j;
    const bool hex = j + 1 < m_size && m_in[j] == '0' && (m_in[j + 1] == 'x' || m_in[j + 1] == 'X');
    qsizetype k = j;
    while (k < m_size) {
        const char c = m_in[k];
        const bool part = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
                          (!hex && (c == '+' || c == '-') && k > bodyStart && (m_in[k - 1] | 0x20) == 'e');
        if (!part)
            break;
        ++k;
    }
    i = k;
    const std::string_view body(m_in + bodyStart, size_t(k - bodyStart));
    if (body == "Infinity" || body == "NaN") {
        const QString token = QString::fromLatin1(m_in + start, k - start);
        return Refusal{start, Error::Code::BadNumber,
                       QStringLiteral("%1 is not a number a JSON document can hold.").arg(token)};
    }
    std::string text;
    if (sign == '-')
        text += '-';
    if (hex) {
        const std::string_view digits = body.substr(2);
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isHexDigit))
            return std::nullopt; // refused by the strict reader
        const std::string_view significant = digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
        // Beyond 256 digits the number is past the largest double.
        if (significant.size() > 256)
            return Refusal{start, Error::Code::NumberOutOfRange, QStringLiteral("Number out of range.")};
        text += significant.empty() ? std::string("0") : hexToDecimal(significant);
        m_features |= RelaxedFeature::HexadecimalNumbers;
    } else {
        const size_t exponent = std::min(body.find_first_of("eE"), body.size());
        std::string_view mantissa = body.substr(0, exponent);
        if (mantissa.find_first_of("0123456789") == std::string_view::npos ||
            mantissa.find_first_not_of("0123456789.") != std::string_view::npos ||
            std::count(mantissa.begin(), mantissa.end(), '.') > 1)
            return std::nullopt; // not a number: left to the strict reader
        const bool leading = mantissa.front() == '.';
        const bool trailing = mantissa.back() == '.';
        if (leading)
            text += '0';
        if (trailing)
            mantissa.remove_suffix(1);
        text += mantissa;
        text += body.substr(exponent);
        if (leading || trailing)
            m_features |= RelaxedFeature::BareDecimalPoints;
        else if (sign != '+')
            return std::nullopt; // already JSON's form
    }
    if (sign == '+')
        m_features |= RelaxedFeature::PlusSigns;
    replace(start, k, text);
    return std::nullopt;
}

std::optional<Refusal> Normaliser::word(qsizetype& i)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_in);
    const qsizetype start = i;
    qsizetype k = i;
    while (k < m_size) {
        const unsigned char c = bytes[k];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
            (c >= '0' && c <= '9' && k > start)) {
            ++k;
        } else if (c >= 0x80 && !otherSpaceLength(bytes + k, m_size - k)) {
            ++k;
        } else if (c == '\\' && k + 5 < m_size && m_in[k + 1] == 'u' &&
                   std::all_of(m_in + k + 2, m_in + k + 6, isHexDigit)) {
            k += 6; // kept as it is: JSON strings know the escape
        } else {
            break;
        }
    }
    if (k == start) {
        i = start + 1; // any other character: refused by the strict reader
        return std::nullopt;
    }
    i = k;
    const std::string_view word(m_in + start, size_t(k - start));
    if (expectsKey()) {
        m_features |= RelaxedFeature::UnquotedKeys;
        std::string quoted;
        quoted.reserve(word.size() + 2);
        quoted += '"';
        quoted += word;
        quoted += '"';
        replace(start, k, quoted);
        return std::nullopt;
    }
    if (word == "Infinity" || word == "NaN")
        return Refusal{start, Error::Code::BadNumber,
                       QStringLiteral("%1 is not a number a JSON document can hold.").arg(QLatin1String(word))};
    return std::nullopt;
}

Result<Tree> readRelaxedJson(const QByteArray& utf8, Dialect hint)
{
    Normaliser normaliser(utf8);
    if (auto refusal = normaliser.run())
        return Error::at(refusal->code, utf8, refusal->offset, refusal->message);
    TreeBuilder builder;
    if (auto parsed = PipelinedParse::parse(normaliser.text(), builder); !parsed) {
        const Error& error = parsed.error();
        const qsizetype offset = std::clamp<qsizetype>(normaliser.map().toInput(error.offset), 0, utf8.size());
        return Error::at(error.code, utf8, offset, error.message);
    }
    Tree result;
    result.report.duplicateKeys = builder.duplicateKeys();
    result.root = builder.finish();
    const RelaxedFeatures features = normaliser.features();
    result.report.features = features;
    const bool commentsOnly = !(features & ~RelaxedFeatures(RelaxedFeature::Comments | RelaxedFeature::TrailingCommas));
    result.report.dialect = !features                                ? Dialect::Json
                            : commentsOnly && hint != Dialect::Json5 ? Dialect::JsonWithComments
                                                                     : Dialect::Json5;
    return result;
}

// Whether the text has something other than white space on two lines or more.
bool hasSeveralLines(const QByteArray& utf8)
{
    const std::string_view text(utf8.constData(), size_t(utf8.size()));
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return false;
    const size_t lineEnd = text.find('\n', first);
    return lineEnd != std::string_view::npos && text.find_first_not_of(" \t\r\n", lineEnd) != std::string_view::npos;
}

// Whether text has the shape of JSON Lines, found by following every line: refused for a value that does not end
// on its line, a second value on a line, a string left open. Success when every line holds one value as far as
// lines go (the strict reader judges the values).
Result<void> checkLineStructure(const QByteArray& utf8)
{
    const char* in = utf8.constData();
    const qsizetype size = utf8.size();
    // Bytes that end a stretch of a line at depth 0 and inside a value.
    static const auto stops = [] {
        std::array<std::array<bool, 256>, 2> table{};
        for (unsigned char c : {' ', '\t', '\r', '\n', ',', ':', '[', ']', '{', '}', '"'})
            table[0][c] = true;
        for (unsigned char c : {'\n', '"', '[', ']', '{', '}'})
            table[1][c] = true;
        return table;
    }();
    auto refuse = [&utf8](qsizetype offset, const QString& message,
                          Error::Code code = Error::Code::Syntax) -> Result<void> {
        return Error::at(code, utf8, offset, message);
    };
    const QString unfinished = QStringLiteral("The value does not end on its line.");
    bool valueOnLine = false;
    qsizetype i = 0;
    while (i < size) {
        const char c = in[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '\n') {
            valueOnLine = false;
            ++i;
            continue;
        }
        if (valueOnLine)
            return refuse(i, QStringLiteral("Unexpected text after the value on this line."));
        valueOnLine = true;
        // One value: a scalar runs to the next separator; strings and collections are followed to their end.
        int depth = 0;
        do {
            const char d = in[i];
            if (d == '"') {
                const qsizetype opening = i;
                for (++i; i < size && in[i] != '"'; ++i) {
                    if (in[i] == '\\')
                        ++i;
                    if (i < size && in[i] == '\n')
                        return refuse(opening, QStringLiteral("A string is not closed before the end of its line."),
                                      Error::Code::BadString);
                }
                if (i >= size)
                    return refuse(opening, QStringLiteral("A string is not closed."), Error::Code::BadString);
                ++i;
            } else if (d == '[' || d == '{') {
                ++depth;
                ++i;
            } else if (d == ']' || d == '}') {
                // An unmatched one is left for the strict reader.
                depth = std::max(0, depth - 1);
                ++i;
            } else if (d == '\n') {
                return refuse(i, unfinished);
            } else if (depth > 0) {
                for (++i; i < size && !stops[1][static_cast<unsigned char>(in[i])]; ++i) {
                }
            } else {
                for (++i; i < size && !stops[0][static_cast<unsigned char>(in[i])]; ++i) {
                }
            }
        } while (depth > 0 && i < size);
        if (depth > 0)
            return refuse(size, unfinished);
    }
    return {};
}

} // namespace

Result<Tree> readJsonLines(QByteArray& utf8)
{
    const qsizetype size = utf8.size();
    // The lines that hold something, from their first byte to their line break.
    struct Line
    {
        qsizetype begin;
        qsizetype end;
    };
    std::vector<Line> lines;
    const char* in = utf8.constData();
    for (qsizetype at = 0; at < size;) {
        const void* lineBreak = std::memchr(in + at, '\n', size_t(size - at));
        const qsizetype end = lineBreak ? static_cast<const char*>(lineBreak) - in : size;
        qsizetype first = at;
        while (first < end && (in[first] == ' ' || in[first] == '\t' || in[first] == '\r'))
            ++first;
        if (first < end)
            lines.push_back({at, end});
        at = end + 1;
    }
    // The lines become the elements of one array: "[" + text + "]", with a comma in place of the line break that
    // ends each value but the last. The text is shifted in place, so that a large file is not held twice, and
    // put back as it was if it is refused.
    utf8.reserve(size + 2 + kPadding);
    utf8.resize(size + 2);
    char* text = utf8.data();
    std::memmove(text + 1, text, size_t(size));
    text[0] = '[';
    text[size + 1] = ']';
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        text[lines[i].end + 1] = ',';

    // The strict reader judges the values. Each line holds one whole value exactly when the array has one element
    // per line, each beginning on its own line: a value running over a line break, or a second one on a line,
    // would put an element's beginning on another line or change their number.
    std::vector<qsizetype> elements;
    elements.reserve(lines.size());
    Result<void> parsed;
    Tree result;
    {
        TreeBuilder builder;
        parsed = PipelinedParse::parse(utf8, builder, &elements);
        bool oneValuePerLine = elements.size() == lines.size();
        for (std::size_t i = 0; oneValuePerLine && i < lines.size(); ++i)
            oneValuePerLine = elements[i] - 1 >= lines[i].begin && elements[i] - 1 < lines[i].end;
        if (parsed && oneValuePerLine) {
            result.report.dialect = Dialect::JsonLines;
            result.report.values = qsizetype(lines.size());
            result.report.duplicateKeys = builder.duplicateKeys();
            result.root = builder.finish();
            return result;
        }
    }
    text = utf8.data();
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        text[lines[i].end + 1] = '\n';
    std::memmove(text, text + 1, size_t(size));
    utf8.resize(size);
    // Following the lines one by one says better what is wrong with them than the array's reader does.
    if (const Result<void> structure = checkLineStructure(utf8); !structure)
        return structure.error();
    if (!parsed) {
        const Error& error = parsed.error();
        return Error::at(error.code, utf8, std::clamp<qsizetype>(error.offset - 1, 0, size), error.message);
    }
    // Not reached unless the two readings disagree; the first element out of place is named.
    std::size_t wrong = 0;
    while (wrong < std::min(elements.size(), lines.size()) && elements[wrong] - 1 >= lines[wrong].begin &&
           elements[wrong] - 1 < lines[wrong].end)
        ++wrong;
    return Error::at(Error::Code::Syntax, utf8, wrong < elements.size() ? elements[wrong] - 1 : size,
                     QStringLiteral("Unexpected text after the value on this line."));
}

Result<Tree> read(QByteArray& utf8, Dialect hint)
{
    if (hint == Dialect::JsonLines)
        return readJsonLines(utf8);
    auto relaxed = readRelaxedJson(utf8, hint);
    if (relaxed || !hasSeveralLines(utf8))
        return relaxed;
    auto lines = readJsonLines(utf8);
    if (lines)
        return lines;
    // JSON Lines explains the failure better only when its first line held a value and it got further.
    const Error& linesError = lines.error();
    if (linesError.line > 1 && linesError.offset > relaxed.error().offset)
        return lines;
    return relaxed;
}

} // namespace RelaxedReader
