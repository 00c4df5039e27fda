#include "model/JsonReader.h"

#include "model/EventRing.h"
#include "model/NumberText.h"
#include "model/TreeBuilder.h"
#include "model/Utf8.h"

#include <charconv>
#include <simdjson.h>

namespace ondemand = simdjson::ondemand;

namespace JsonReader {
namespace {

QString messageFor(simdjson::error_code code)
{
    switch (code) {
    case simdjson::EMPTY:
        return QStringLiteral("The text is empty.");
    case simdjson::TAPE_ERROR:
    case simdjson::INCOMPLETE_ARRAY_OR_OBJECT:
        return QStringLiteral("Unexpected or missing character: a comma, colon, bracket, brace or value is missing "
                              "or out of place.");
    case simdjson::DEPTH_ERROR:
        return QStringLiteral("The document is nested deeper than %1 levels.").arg(maxDepth);
    case simdjson::STRING_ERROR:
        return QStringLiteral("Invalid escape sequence in a string.");
    case simdjson::T_ATOM_ERROR:
    case simdjson::F_ATOM_ERROR:
    case simdjson::N_ATOM_ERROR:
        return QStringLiteral("Invalid literal: expected true, false or null.");
    case simdjson::NUMBER_ERROR:
        return QStringLiteral("Invalid number.");
    case simdjson::NUMBER_OUT_OF_RANGE:
        return QStringLiteral("Number out of range.");
    case simdjson::UTF8_ERROR:
        return QStringLiteral("The text is not valid UTF-8.");
    case simdjson::UNESCAPED_CHARS:
        return QStringLiteral("A string contains an unescaped control character.");
    case simdjson::UNCLOSED_STRING:
        return QStringLiteral("A string is not closed.");
    case simdjson::INCORRECT_TYPE:
        return QStringLiteral("Unexpected value.");
    case simdjson::TRAILING_CONTENT:
        return QStringLiteral("Unexpected text after the end of the document.");
    case simdjson::CAPACITY:
        return QStringLiteral("The document is too large.");
    case simdjson::MEMALLOC:
        return QStringLiteral("Not enough memory to read the document.");
    default:
        return QString::fromUtf8(simdjson::error_message(code));
    }
}

// Stage-one errors (encoding, control characters, unclosed strings) come without a position: find it.
qint64 locateScanError(const QByteArray& text, simdjson::error_code code)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.constData());
    const qint64 size = text.size();
    if (code == simdjson::UTF8_ERROR) {
        auto continuation = [&](qint64 at, unsigned char low = 0x80, unsigned char high = 0xBF) {
            return at < size && bytes[at] >= low && bytes[at] <= high;
        };
        for (qint64 i = 0; i < size;) {
            const unsigned char c = bytes[i];
            int length = 0;
            if (c < 0x80)
                length = 1;
            else if (c >= 0xC2 && c <= 0xDF)
                length = continuation(i + 1) ? 2 : 0;
            else if (c >= 0xE0 && c <= 0xEF)
                length = continuation(i + 1, c == 0xE0 ? 0xA0 : 0x80, c == 0xED ? 0x9F : 0xBF) && continuation(i + 2)
                             ? 3
                             : 0;
            else if (c >= 0xF0 && c <= 0xF4)
                length = continuation(i + 1, c == 0xF0 ? 0x90 : 0x80, c == 0xF4 ? 0x8F : 0xBF) && continuation(i + 2) &&
                                 continuation(i + 3)
                             ? 4
                             : 0;
            if (length == 0)
                return i;
            i += length;
        }
        return size;
    }
    bool inString = false;
    qint64 stringStart = 0;
    for (qint64 i = 0; i < size; ++i) {
        const unsigned char c = bytes[i];
        if (!inString) {
            if (c == '"') {
                inString = true;
                stringStart = i;
            }
        } else if (c == '\\') {
            ++i;
        } else if (c == '"') {
            inString = false;
        } else if (c < 0x20 && code == simdjson::UNESCAPED_CHARS) {
            return i;
        }
    }
    return inString ? stringStart : size;
}

// The parser checks up front that the document's last bracket closes its first; when that fails, find what
// is really wrong: a bracket closed by the wrong kind, text after the end, or a document cut short.
std::optional<std::pair<qint64, QString>> locateStructureError(const char* text, qint64 size)
{
    std::vector<char> open;
    bool inString = false;
    for (qint64 i = 0; i < size; ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            open.push_back(c == '[' ? ']' : '}');
        } else if (c == ']' || c == '}') {
            if (open.empty() || open.back() != c)
                return std::pair(i, QStringLiteral("Unexpected '%1'.").arg(QLatin1Char(c)));
            open.pop_back();
            if (open.empty()) {
                for (qint64 j = i + 1; j < size; ++j)
                    if (text[j] != ' ' && text[j] != '\t' && text[j] != '\n' && text[j] != '\r')
                        return std::pair(j, QStringLiteral("Unexpected text after the end of the document."));
                return std::nullopt;
            }
        }
    }
    if (!open.empty())
        return std::pair(size, QStringLiteral("The document ends before all its arrays and objects are closed."));
    return std::nullopt;
}

// The text between the quotes when a string holds no escape, without copying it.
std::optional<std::string_view> plainString(const char* afterQuote)
{
    const char* p = afterQuote;
    while (*p != '"' && *p != '\\')
        ++p;
    if (*p == '\\')
        return std::nullopt;
    return std::string_view(afterQuote, size_t(p - afterQuote));
}

// Whether a valid number token's magnitude is below one, however many digits and whatever exponent it has.
bool belowOne(std::string_view token)
{
    const size_t mantissaEnd = std::min(token.find_first_of("eE"), token.size());
    const std::string_view mantissa = token.substr(0, mantissaEnd);
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    // Decimal exponent of the leading nonzero digit, from the mantissa alone.
    const size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return true;
    const long long lead =
        first < point ? static_cast<long long>(point - first) - 1 : -static_cast<long long>(first - point);
    long long exponent = 0;
    if (mantissaEnd < token.size()) {
        size_t i = mantissaEnd + 1;
        const bool negative = token[i] == '-';
        if (token[i] == '-' || token[i] == '+')
            ++i;
        for (; i < token.size() && exponent < 1'000'000'000; ++i)
            exponent = exponent * 10 + (token[i] - '0');
        if (negative)
            exponent = -exponent;
    }
    return lead + exponent < 0;
}

// Numbers beyond the 64-bit range that the fast path refuses: read the token as the nearest double.
simdjson::error_code readWideNumber(std::string_view token, double& value)
{
    // The token runs to the next separator; anything else in it (0x1, 1x) makes it invalid.
    const size_t length = token.find_first_of(" \t\n\r,]}");
    token = token.substr(0, length);
    // JSON grammar: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    size_t i = 0;
    auto digits = [&] {
        const size_t start = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9')
            ++i;
        return i > start;
    };
    if (i < token.size() && token[i] == '-')
        ++i;
    if (i < token.size() && token[i] == '0')
        ++i;
    else if (!digits())
        return simdjson::NUMBER_ERROR;
    if (i < token.size() && token[i] == '.') {
        ++i;
        if (!digits())
            return simdjson::NUMBER_ERROR;
    }
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-'))
            ++i;
        if (!digits())
            return simdjson::NUMBER_ERROR;
    }
    if (i != token.size())
        return simdjson::NUMBER_ERROR;
    const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
    if (result.ec == std::errc::result_out_of_range && belowOne(token)) {
        // Too small for a double: zero, as shorter spellings of such numbers (1e-400) read.
        value = token.front() == '-' ? -0.0 : 0.0;
        return simdjson::SUCCESS;
    }
    if (result.ec != std::errc() || !std::isfinite(value))
        return simdjson::NUMBER_OUT_OF_RANGE;
    return simdjson::SUCCESS;
}

template <class Handler> simdjson::error_code readNumber(ondemand::value& value, Handler& handler)
{
    ondemand::number number;
    auto error = value.get_number().get(number);
    if (error) {
        double wide = 0;
        if (const auto wideError = readWideNumber(value.raw_json_token(), wide))
            return wideError;
        handler.real(wide);
        return simdjson::SUCCESS;
    }
    switch (number.get_number_type()) {
    case ondemand::number_type::signed_integer:
        handler.integer(number.get_int64());
        break;
    case ondemand::number_type::unsigned_integer:
        // Above the signed range: the nearest double.
        handler.real(double(number.get_uint64()));
        break;
    case ondemand::number_type::floating_point_number: {
        double real = number.get_double();
        // This simdjson reads numbers of more than 19 significant digits with a fraction as 0: read long
        // tokens again exactly.
        if (value.raw_json_token().size() > 18) {
            if (const auto exactError = readWideNumber(value.raw_json_token(), real))
                return exactError;
        }
        if (const auto integer = NumberText::exactInteger(real))
            handler.integer(*integer);
        else
            handler.real(real);
        break;
    }
    }
    return simdjson::SUCCESS;
}

struct Frame
{
    bool object = false;
    bool advance = false;
    ondemand::array_iterator item;
    ondemand::array_iterator itemsEnd;
    ondemand::object_iterator member;
    ondemand::object_iterator membersEnd;
};

template <class Handler>
simdjson::error_code readValue(ondemand::value& value, Handler& handler, std::vector<Frame>& stack)
{
    ondemand::json_type type;
    if (auto error = value.type().get(type))
        return error;
    switch (type) {
    case ondemand::json_type::array: {
        if (stack.size() >= size_t(maxDepth))
            return simdjson::DEPTH_ERROR;
        ondemand::array array;
        Frame frame;
        if (auto error = value.get_array().get(array))
            return error;
        if (auto error = array.begin().get(frame.item))
            return error;
        if (auto error = array.end().get(frame.itemsEnd))
            return error;
        handler.beginArray();
        stack.push_back(frame);
        return simdjson::SUCCESS;
    }
    case ondemand::json_type::object: {
        if (stack.size() >= size_t(maxDepth))
            return simdjson::DEPTH_ERROR;
        ondemand::object object;
        Frame frame;
        frame.object = true;
        if (auto error = value.get_object().get(object))
            return error;
        if (auto error = object.begin().get(frame.member))
            return error;
        if (auto error = object.end().get(frame.membersEnd))
            return error;
        handler.beginObject();
        stack.push_back(frame);
        return simdjson::SUCCESS;
    }
    case ondemand::json_type::number:
        return readNumber(value, handler);
    case ondemand::json_type::string: {
        const std::string_view token = value.raw_json_token();
        if (const auto plain = plainString(token.data() + 1)) {
            // The parser must step past the string itself: one left for the iterator to skip is taken for a
            // member name when a colon follows it (["x": 1}, 2]), and the skip then passes over the error.
            ondemand::raw_json_string consumed;
            if (auto error = value.get_raw_json_string().get(consumed))
                return error;
            handler.string(*plain);
            return simdjson::SUCCESS;
        }
        std::string_view text;
        if (auto error = value.get_string().get(text))
            return error;
        handler.string(text);
        return simdjson::SUCCESS;
    }
    case ondemand::json_type::boolean: {
        bool on = false;
        if (auto error = value.get_bool().get(on))
            return error;
        handler.boolean(on);
        return simdjson::SUCCESS;
    }
    case ondemand::json_type::null: {
        bool isNull = false;
        if (auto error = value.is_null().get(isNull))
            return error;
        if (!isNull)
            return simdjson::N_ATOM_ERROR;
        handler.null();
        return simdjson::SUCCESS;
    }
    }
    return simdjson::INCORRECT_TYPE;
}

template <class Handler>
simdjson::error_code walk(ondemand::document& document, Handler& handler, std::vector<Frame>& stack,
                          const char* text, std::vector<qsizetype>* topElements)
{
    ondemand::json_type type;
    if (auto error = document.type().get(type))
        return error;
    Frame root;
    if (type == ondemand::json_type::array) {
        ondemand::array array;
        if (auto error = document.get_array().get(array))
            return error;
        if (auto error = array.begin().get(root.item))
            return error;
        if (auto error = array.end().get(root.itemsEnd))
            return error;
        handler.beginArray();
    } else if (type == ondemand::json_type::object) {
        ondemand::object object;
        root.object = true;
        if (auto error = document.get_object().get(object))
            return error;
        if (auto error = object.begin().get(root.member))
            return error;
        if (auto error = object.end().get(root.membersEnd))
            return error;
        handler.beginObject();
    } else {
        return simdjson::INCORRECT_TYPE;
    }
    stack.push_back(root);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.object) {
            if (top.advance)
                ++top.member;
            if (!(top.member != top.membersEnd)) {
                handler.endObject();
                stack.pop_back();
                continue;
            }
            top.advance = true;
            ondemand::field field;
            if (auto error = (*top.member).get(field))
                return error;
            const ondemand::raw_json_string rawKey = field.key();
            if (const auto plain = plainString(rawKey.raw())) {
                handler.key(*plain);
            } else {
                std::string_view key;
                if (auto error = field.unescaped_key().get(key))
                    return error;
                handler.key(key);
            }
            if (auto error = readValue(field.value(), handler, stack))
                return error;
        } else {
            if (top.advance)
                ++top.item;
            if (!(top.item != top.itemsEnd)) {
                handler.endArray();
                stack.pop_back();
                continue;
            }
            top.advance = true;
            ondemand::value value;
            if (auto error = (*top.item).get(value))
                return error;
            if (topElements && stack.size() == 1)
                topElements->push_back(value.raw_json_token().data() - text);
            if (auto error = readValue(value, handler, stack))
                return error;
        }
    }
    // Anything left after the top-level value is an error; at the end the location is out of bounds.
    const char* rest = nullptr;
    if (document.current_location().get(rest) == simdjson::SUCCESS)
        return simdjson::TRAILING_CONTENT;
    return simdjson::SUCCESS;
}

// Collects the values into a JsonValue.
class ValueBuilder
{
public:
    void beginArray() { m_open.push_back({JsonValue(JsonValue::Array{}), takeKey()}); }
    void beginObject() { m_open.push_back({JsonValue(JsonValue::Object{}), takeKey()}); }
    void key(std::string_view utf8) { m_key = utf8ToQString(utf8); }
    void endArray() { closeContainer(); }
    void endObject() { closeContainer(); }
    void integer(qint64 value) { add(JsonValue(value), takeKey()); }
    void real(double value) { add(JsonValue(value), takeKey()); }
    void boolean(bool value) { add(JsonValue(value), takeKey()); }
    void null() { add(JsonValue(), takeKey()); }
    void string(std::string_view utf8) { add(JsonValue(utf8ToQString(utf8)), takeKey()); }
    JsonValue result() { return std::move(m_result); }

private:
    QString takeKey() { return std::exchange(m_key, QString()); }
    void add(JsonValue value, QString key)
    {
        if (m_open.empty()) {
            m_result = std::move(value);
            return;
        }
        JsonValue& parent = m_open.back().first;
        if (parent.isArray())
            parent.toArray().push_back(std::move(value));
        else
            parent.toObject().emplace_back(std::move(key), std::move(value));
    }
    void closeContainer()
    {
        auto [value, key] = std::move(m_open.back());
        m_open.pop_back();
        add(std::move(value), std::move(key));
    }
    std::vector<std::pair<JsonValue, QString>> m_open;
    QString m_key;
    JsonValue m_result;
};

} // namespace

namespace {

enum class Encoding { Utf16LE, Utf16BE, Utf32LE, Utf32BE };

void appendUtf8(QByteArray& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// UTF-16 or UTF-32 to UTF-8; nothing for a lone surrogate, a code point beyond U+10FFFF or a cut-off unit.
std::optional<QByteArray> transcode(QByteArrayView bytes, Encoding encoding)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    const bool wide = encoding == Encoding::Utf32LE || encoding == Encoding::Utf32BE;
    const bool little = encoding == Encoding::Utf16LE || encoding == Encoding::Utf32LE;
    const int unit = wide ? 4 : 2;
    if (size % unit != 0)
        return std::nullopt;
    auto read = [&](qsizetype at) -> char32_t {
        char32_t value = 0;
        for (int k = 0; k < unit; ++k)
            value |= char32_t(data[at + (little ? k : unit - 1 - k)]) << (8 * k);
        return value;
    };
    QByteArray out;
    out.reserve(size / unit * 3 / 2 + 16);
    for (qsizetype at = 0; at < size; at += unit) {
        char32_t c = read(at);
        if (!wide && c >= 0xD800 && c <= 0xDBFF) {
            if (at + unit >= size)
                return std::nullopt;
            const char32_t low = read(at + unit);
            if (low < 0xDC00 || low > 0xDFFF)
                return std::nullopt;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            at += unit;
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            return std::nullopt;
        }
        appendUtf8(out, c);
    }
    return out;
}

} // namespace

ParseError errorAt(const QByteArray& utf8, qint64 offset, const QString& message)
{
    ParseError error;
    error.offset = std::clamp<qint64>(offset, 0, utf8.size());
    error.message = message;
    qint64 lineStart = 0;
    for (qint64 i = 0; i < error.offset; ++i) {
        if (utf8[i] == '\n') {
            ++error.line;
            lineStart = i + 1;
        }
    }
    for (qint64 i = lineStart; i < error.offset; ++i)
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80)
            ++error.column;
    return error;
}

template <class Handler>
std::optional<ParseError> parse(QByteArray& utf8, Handler& handler, std::vector<qsizetype>* topElements)
{
    const qint64 size = utf8.size();
    // A shared buffer would be copied (without the spare room) by the write below: make it ours first.
    if (!utf8.isDetached() || utf8.capacity() < size + qint64(simdjson::SIMDJSON_PADDING))
        utf8.reserve(size + qint64(simdjson::SIMDJSON_PADDING));
    // The parser reads the padding, so give it defined bytes.
    std::memset(utf8.data() + size, 0, simdjson::SIMDJSON_PADDING);
    const simdjson::padded_string_view input(utf8.constData(), size_t(size), size_t(utf8.capacity()));

    ondemand::parser parser;
    // A handler that builds on another thread from views into the parser's buffers must finish while they
    // live: this settles it on every way out, before the parser goes.
    struct Settler
    {
        Handler& handler;
        bool ok = false;
        ~Settler()
        {
            if constexpr (requires { handler.settle(true); })
                handler.settle(ok);
        }
    } settler{handler};
    // The walk below enforces maxDepth itself; simdjson counts one level more for the same document (its
    // development checks, on in debug builds, stop the program at its own limit instead of failing).
    if (auto error = parser.allocate(size_t(size), size_t(maxDepth) + 1))
        return errorAt(utf8, 0, messageFor(error));
    ondemand::document document;
    if (auto error = parser.iterate(input).get(document)) {
        const bool positioned =
            error == simdjson::UTF8_ERROR || error == simdjson::UNESCAPED_CHARS || error == simdjson::UNCLOSED_STRING;
        return errorAt(utf8, positioned ? locateScanError(utf8, error) : 0, messageFor(error));
    }
    std::vector<Frame> stack;
    stack.reserve(64);
    const auto error = walk(document, handler, stack, utf8.constData(), topElements);
    settler.ok = error == simdjson::SUCCESS;
    if (error == simdjson::SUCCESS)
        return std::nullopt;
    qint64 offset = size;
    const char* location = nullptr;
    if (document.current_location().get(location) == simdjson::SUCCESS)
        offset = location - utf8.constData();
    if (error == simdjson::INCORRECT_TYPE && stack.empty())
        return errorAt(utf8, offset, QStringLiteral("The top level must be an array or an object."));
    if (stack.empty() && (error == simdjson::TAPE_ERROR || error == simdjson::INCOMPLETE_ARRAY_OR_OBJECT ||
                          error == simdjson::TRAILING_CONTENT)) {
        if (const auto located = locateStructureError(utf8.constData(), size))
            return errorAt(utf8, located->first, located->second);
    }
    return errorAt(utf8, offset, messageFor(error));
}

template std::optional<ParseError> parse<TreeBuilder>(QByteArray&, TreeBuilder&, std::vector<qsizetype>*);
template std::optional<ParseError> parse<EventRing>(QByteArray&, EventRing&, std::vector<qsizetype>*);

std::variant<JsonValue, ParseError> parseValue(QByteArray utf8)
{
    ValueBuilder builder;
    if (auto error = parse(utf8, builder))
        return *error;
    return builder.result();
}

std::variant<QByteArray, ParseError> decodeDocumentBytes(QByteArray bytes)
{
    auto startsWith = [&bytes](std::initializer_list<unsigned char> mark) {
        if (bytes.size() < qsizetype(mark.size()))
            return false;
        return std::equal(mark.begin(), mark.end(), reinterpret_cast<const unsigned char*>(bytes.constData()));
    };
    if (startsWith({0xEF, 0xBB, 0xBF})) {
        bytes.remove(0, 3);
        return bytes;
    }
    std::optional<Encoding> encoding;
    qsizetype markSize = 0;
    if (startsWith({0xFF, 0xFE, 0x00, 0x00})) {
        encoding = Encoding::Utf32LE;
        markSize = 4;
    } else if (startsWith({0x00, 0x00, 0xFE, 0xFF})) {
        encoding = Encoding::Utf32BE;
        markSize = 4;
    } else if (startsWith({0xFF, 0xFE})) {
        encoding = Encoding::Utf16LE;
        markSize = 2;
    } else if (startsWith({0xFE, 0xFF})) {
        encoding = Encoding::Utf16BE;
        markSize = 2;
    }
    if (!encoding)
        return bytes;
    auto utf8 = transcode(QByteArrayView(bytes).sliced(markSize), *encoding);
    if (!utf8) {
        const bool wide = *encoding == Encoding::Utf32LE || *encoding == Encoding::Utf32BE;
        return ParseError{0, 1, 1,
                          QStringLiteral("The text is not valid %1.")
                              .arg(wide ? QStringLiteral("UTF-32") : QStringLiteral("UTF-16"))};
    }
    return *utf8;
}

} // namespace JsonReader
