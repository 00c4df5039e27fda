#include "model/NodePath.h"

#include "model/TreeNode.h"

#include <QStringView>
#include <cstdio>
#include <vector>

namespace NodePath {
namespace {

bool isAsciiLetter(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char32_t c)
{
    return c >= '0' && c <= '9';
}

// Words jq 1.6 reads as keywords, so that ".if" is not a path there.
bool isJqKeyword(std::string_view word)
{
    static const char* const keywords[] = {"__loc__", "and",    "as",      "catch",  "def",    "elif",
                                           "else",    "end",    "foreach", "if",     "import", "include",
                                           "label",   "module", "or",      "reduce", "then",   "try"};
    for (const char* keyword : keywords)
        if (word == keyword)
            return true;
    return false;
}

bool isJqIdentifier(std::string_view name)
{
    if (name.empty() || !(isAsciiLetter(char32_t(name[0])) || name[0] == '_'))
        return false;
    for (char c : name)
        if (!(isAsciiLetter(char32_t(c)) || isDigit(char32_t(c)) || c == '_'))
            return false;
    return !isJqKeyword(name);
}

// A string literal: JSON's escapes in jq, RFC 9535's (the quote, the backslash, and the control characters
// as \b \f \n \r \t or \u00xx) in JSONPath; other characters as UTF-8.
void appendQuoted(std::string& out, std::string_view text, char quote)
{
    out += quote;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == quote || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            switch (c) {
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default: {
                char escape[7];
                std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(byte));
                out += escape;
            }
            }
        } else {
            out += c;
        }
    }
    out += quote;
}

void appendIndex(std::string& out, qsizetype index)
{
    out += std::to_string(index);
}

// One step of a parsed path. A JSON Pointer token is a name under an object and an index under an array.
struct Step
{
    enum Kind { Key, Index, Token } kind;
    std::string key;
    qsizetype index = 0;
};

// Reads a quoted string starting at `i` (the opening quote); leaves `i` after the closing quote.
bool readQuoted(QStringView text, qsizetype& i, std::string& out)
{
    const QChar quote = text[i++];
    QString value;
    while (i < text.size() && text[i] != quote) {
        QChar c = text[i++];
        if (c != QLatin1Char('\\')) {
            value += c;
            continue;
        }
        if (i >= text.size())
            return false;
        c = text[i++];
        switch (c.unicode()) {
        case 'b':
            value += QLatin1Char('\b');
            break;
        case 'f':
            value += QLatin1Char('\f');
            break;
        case 'n':
            value += QLatin1Char('\n');
            break;
        case 'r':
            value += QLatin1Char('\r');
            break;
        case 't':
            value += QLatin1Char('\t');
            break;
        case 'u': {
            bool ok = false;
            const ushort unit = i + 4 <= text.size() ? text.sliced(i, 4).toUShort(&ok, 16) : 0;
            if (!ok)
                return false;
            value += QChar(unit);
            i += 4;
            break;
        }
        case '"':
        case '\'':
        case '\\':
        case '/':
            value += c;
            break;
        default:
            return false;
        }
    }
    if (i >= text.size())
        return false;
    ++i;
    out = value.toStdString();
    return true;
}

bool readIndex(QStringView text, qsizetype& i, qsizetype& index)
{
    const qsizetype start = i;
    while (i < text.size() && isDigit(text[i].unicode()))
        ++i;
    if (i == start || i - start > 18)
        return false;
    index = text.sliced(start, i - start).toLongLong();
    return true;
}

// A bracketed step at `i` ("[" then an index or a quoted name, then "]").
bool readBracket(QStringView text, qsizetype& i, std::vector<Step>& steps)
{
    ++i;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    Step step{Step::Index, {}, 0};
    if (i < text.size() && (text[i] == QLatin1Char('"') || text[i] == QLatin1Char('\''))) {
        step.kind = Step::Key;
        if (!readQuoted(text, i, step.key))
            return false;
    } else if (!readIndex(text, i, step.index)) {
        return false;
    }
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    if (i >= text.size() || text[i] != QLatin1Char(']'))
        return false;
    ++i;
    steps.push_back(std::move(step));
    return true;
}

// .a, ."a b", .["a b"], .[2], a["b"][2] after the first step.
bool parseJq(QStringView text, std::vector<Step>& steps)
{
    if (!text.startsWith(QLatin1Char('.')))
        return false;
    qsizetype i = 0;
    bool dotted = false; // the text read so far ends in a "." that the next step completes
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == QLatin1Char('.') && !dotted) {
            dotted = true;
            ++i;
            continue;
        }
        if (c == QLatin1Char('[')) {
            if (!readBracket(text, i, steps))
                return false;
        } else if (dotted && c == QLatin1Char('"')) {
            Step step{Step::Key, {}, 0};
            if (!readQuoted(text, i, step.key))
                return false;
            steps.push_back(std::move(step));
        } else if (dotted && (isAsciiLetter(c.unicode()) || c == QLatin1Char('_'))) {
            const qsizetype start = i;
            while (i < text.size() &&
                   (isAsciiLetter(text[i].unicode()) || isDigit(text[i].unicode()) || text[i] == QLatin1Char('_')))
                ++i;
            steps.push_back({Step::Key, text.sliced(start, i - start).toString().toStdString(), 0});
        } else {
            return false;
        }
        dotted = false;
    }
    // Only the root may end in its "."; a path that ends in one after a step is incomplete.
    return !dotted || steps.empty();
}

bool parsePointer(QStringView text, std::vector<Step>& steps)
{
    if (text.isEmpty())
        return true;
    if (!text.startsWith(QLatin1Char('/')))
        return false;
    for (QStringView token : text.sliced(1).split(QLatin1Char('/'))) {
        QString name;
        for (qsizetype i = 0; i < token.size(); ++i) {
            if (token[i] != QLatin1Char('~')) {
                name += token[i];
            } else if (i + 1 < token.size() && (token[i + 1] == QLatin1Char('0') || token[i + 1] == QLatin1Char('1'))) {
                name += token[++i] == QLatin1Char('0') ? QLatin1Char('~') : QLatin1Char('/');
            } else {
                return false;
            }
        }
        steps.push_back({Step::Token, name.toStdString(), 0});
    }
    return true;
}

// $, then ['name'], ["name"], [2] or .name steps.
bool parseJsonPath(QStringView text, std::vector<Step>& steps)
{
    if (!text.startsWith(QLatin1Char('$')))
        return false;
    qsizetype i = 1;
    while (i < text.size()) {
        if (text[i] == QLatin1Char('[')) {
            if (!readBracket(text, i, steps))
                return false;
        } else if (text[i] == QLatin1Char('.')) {
            const qsizetype start = ++i;
            while (i < text.size() && (isAsciiLetter(text[i].unicode()) || text[i] == QLatin1Char('_') ||
                                       text[i].unicode() >= 0x80 || (i > start && isDigit(text[i].unicode()))))
                ++i;
            if (i == start)
                return false;
            steps.push_back({Step::Key, text.sliced(start, i - start).toString().toStdString(), 0});
        } else {
            return false;
        }
    }
    return true;
}

TreeNode* lastChildNamed(const TreeNode* object, std::string_view name)
{
    TreeNode* found = nullptr;
    for (TreeNode* child : object->children())
        if (child->nameUtf8() == name)
            found = child;
    return found;
}

TreeNode* walk(TreeNode* root, const std::vector<Step>& steps)
{
    TreeNode* node = root;
    for (const Step& step : steps) {
        if (!node)
            return nullptr;
        qsizetype index = step.index;
        bool byIndex = step.kind == Step::Index;
        if (step.kind == Step::Token && node->isArray()) {
            // RFC 6901: no sign and no leading zeros.
            const std::string& token = step.key;
            if (token.empty() || token.size() > 18 || (token.size() > 1 && token[0] == '0') ||
                token.find_first_not_of("0123456789") != std::string::npos)
                return nullptr;
            index = std::stoll(token);
            byIndex = true;
        }
        if (byIndex) {
            if (!node->isArray() || index >= node->childCount())
                return nullptr;
            node = node->child(index);
        } else {
            if (!node->isObject())
                return nullptr;
            node = lastChildNamed(node, step.key);
        }
    }
    return node;
}

std::string outlineStep(const TreeNode* child, qsizetype index)
{
    std::string step;
    appendStep(step, child, index, PathStyle::Outline);
    return step;
}

// The outline form puts names in as they are, so a path may fit several nodes: follow every node whose path so
// far is a beginning of the text.
Resolution resolveOutline(TreeNode* root, const std::string& text)
{
    std::string rootPath;
    appendRoot(rootPath, root, PathStyle::Outline);
    struct Candidate
    {
        TreeNode* node;
        std::size_t matched;
    };
    std::vector<Candidate> pending;
    if (text.starts_with(rootPath))
        pending.push_back({root, rootPath.size()});
    std::vector<TreeNode*> found;
    while (!pending.empty() && found.size() < 2) {
        const Candidate candidate = pending.back();
        pending.pop_back();
        if (candidate.matched == text.size()) {
            found.push_back(candidate.node);
            continue;
        }
        const std::string_view rest = std::string_view(text).substr(candidate.matched);
        TreeNode* node = candidate.node;
        // Unnamed children read "[index]": read the index rather than trying every element.
        if (rest.starts_with('[')) {
            const size_t close = rest.find(']');
            const std::string_view digits = rest.substr(1, close == std::string_view::npos ? 0 : close - 1);
            if (!digits.empty() && digits.size() <= 18 &&
                digits.find_first_not_of("0123456789") == std::string_view::npos) {
                const qsizetype index = std::stoll(std::string(digits));
                if (index < node->childCount() && !node->child(index)->nameKey())
                    pending.push_back({node->child(index), candidate.matched + close + 1});
            }
        }
        const auto children = node->children();
        for (std::size_t i = 0; i < children.size(); ++i) {
            if (!children[i]->nameKey())
                continue;
            const std::string step = outlineStep(children[i], qsizetype(i));
            if (rest.starts_with(step))
                pending.push_back({children[i], candidate.matched + step.size()});
        }
    }
    if (found.size() == 1)
        return {found.front(), false};
    return {nullptr, found.size() > 1};
}

} // namespace

std::optional<PathStyle> styleNamed(const QString& name)
{
    if (name == QLatin1String("outline"))
        return PathStyle::Outline;
    if (name == QLatin1String("jq"))
        return PathStyle::Jq;
    if (name == QLatin1String("pointer"))
        return PathStyle::Pointer;
    if (name == QLatin1String("jsonpath"))
        return PathStyle::JsonPath;
    return std::nullopt;
}

void appendRoot(std::string& out, const TreeNode* root, PathStyle style)
{
    switch (style) {
    case PathStyle::Outline: {
        // The root's own label, with ".[" read as the outline reads it.
        std::string label = root->nameLabel().toStdString();
        for (std::size_t at = label.find(".["); at != std::string::npos; at = label.find(".[", at))
            label.erase(at, 1);
        out += label;
        break;
    }
    case PathStyle::Jq:
        out += '.';
        break;
    case PathStyle::Pointer:
        break;
    case PathStyle::JsonPath:
        out += '$';
        break;
    }
}

void appendStep(std::string& out, const TreeNode* child, qsizetype index, PathStyle style)
{
    const TreeNode* parent = child->parent();
    // Members are named under an object; anywhere else a node is reached by its place.
    const bool member = parent && parent->isObject();
    const std::string_view name = child->nameUtf8();
    switch (style) {
    case PathStyle::Outline: {
        std::string step = ".";
        if (!name.empty()) {
            step += name;
        } else {
            step += '[';
            appendIndex(step, index);
            step += ']';
        }
        // Steps begin with ".", so a ".[" never spans two of them: removing it per step is removing it from the
        // whole path, as TreeNode::path() does.
        for (std::size_t at = step.find(".["); at != std::string::npos; at = step.find(".[", at))
            step.erase(at, 1);
        out += step;
        break;
    }
    case PathStyle::Jq:
        if (member && isJqIdentifier(name)) {
            if (out != ".")
                out += '.';
            out += name;
        } else if (member) {
            out += '[';
            appendQuoted(out, name, '"');
            out += ']';
        } else {
            out += '[';
            appendIndex(out, index);
            out += ']';
        }
        break;
    case PathStyle::Pointer:
        out += '/';
        if (member) {
            for (char c : name) {
                if (c == '~')
                    out += "~0";
                else if (c == '/')
                    out += "~1";
                else
                    out += c;
            }
        } else {
            appendIndex(out, index);
        }
        break;
    case PathStyle::JsonPath:
        out += '[';
        if (member)
            appendQuoted(out, name, '\'');
        else
            appendIndex(out, index);
        out += ']';
        break;
    }
}

QString format(const TreeNode* node, PathStyle style)
{
    if (style == PathStyle::Outline)
        return node->path();
    std::vector<const TreeNode*> chain;
    for (const TreeNode* at = node; at; at = at->parent())
        chain.push_back(at);
    std::string out;
    appendRoot(out, chain.back(), style);
    for (auto at = chain.rbegin() + 1; at != chain.rend(); ++at)
        appendStep(out, *at, (*at)->indexInParent().value_or(0), style);
    return QString::fromStdString(out);
}

Resolution resolve(TreeNode* root, const QString& path)
{
    if (!root)
        return {};
    std::vector<Step> steps;
    const bool parsed = path.startsWith(QLatin1Char('.'))   ? parseJq(path, steps)
                        : path.startsWith(QLatin1Char('$')) ? parseJsonPath(path, steps)
                                                            : parsePointer(path, steps);
    if (parsed)
        if (TreeNode* node = walk(root, steps))
            return {node, false};
    return resolveOutline(root, path.toStdString());
}

} // namespace NodePath
