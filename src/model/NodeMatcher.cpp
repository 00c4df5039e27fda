#include "model/NodeMatcher.h"

#include "model/TreeNode.h"

#include <QStringDecoder>
#include <cstring>
#include <vector>

namespace {

// Lower-cases ASCII text in place; false (text untouched beyond that point) when it holds other characters.
bool lowerAscii(std::string& text)
{
    for (char& c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80)
            return false;
        if (u >= 'A' && u <= 'Z')
            c = char(u + ('a' - 'A'));
    }
    return true;
}

} // namespace

NodeMatcher::NodeMatcher(const SearchSettings& settings)
    : m_caseSensitive(settings.caseSensitive), m_regex(settings.regularExpression), m_expression(settings.expression),
      m_needle(settings.text.toUtf8())
{
    m_lowerNeedleText = settings.text.toLower();
    m_lowerNeedle = m_lowerNeedleText.toUtf8();
}

NodeMatcher NodeMatcher::forAnotherThread() const
{
    NodeMatcher copy = *this;
    if (m_expression)
        copy.m_expression = QRegularExpression(m_expression->pattern(), m_expression->patternOptions());
    copy.m_scratch.clear();
    copy.m_scratchText = QString();
    return copy;
}

// Texts here are names and values, mostly short: finding the first byte and comparing the rest beats a
// general search whose set-up would dominate.
bool NodeMatcher::contains(std::string_view haystack, const QByteArray& needle) const
{
    const auto n = std::size_t(needle.size());
    if (n == 0)
        return true;
    if (n > haystack.size())
        return false;
    if (haystack.size() > 256)
        return memmem(haystack.data(), haystack.size(), needle.constData(), n) != nullptr;
    const char first = needle.front();
    const char* at = haystack.data();
    const char* last = haystack.data() + (haystack.size() - n);
    while (at <= last) {
        at = static_cast<const char*>(std::memchr(at, first, std::size_t(last - at) + 1));
        if (!at)
            return false;
        if (std::memcmp(at + 1, needle.constData() + 1, n - 1) == 0)
            return true;
        ++at;
    }
    return false;
}

bool NodeMatcher::nameHit(const TreeNode* node) const
{
    return contains(node->nameUtf8(), m_needle);
}

// The scratch description as UTF-16, decoded into a reused buffer.
const QString& NodeMatcher::scratchText() const
{
    m_scratchText.resize(qsizetype(m_scratch.size()));
    // A leading U+FEFF is content here, not a byte-order mark.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    QChar* end = decoder.appendToBuffer(m_scratchText.data(), QByteArrayView(m_scratch.data(), m_scratch.size()));
    m_scratchText.truncate(end - m_scratchText.constData());
    return m_scratchText;
}

bool NodeMatcher::valueMatches(const TreeNode* node) const
{
    m_scratch.clear();
    node->appendDescription(m_scratch);
    if (m_regex)
        return m_expression && m_expression->match(QStringView(scratchText())).hasMatch();
    if (m_caseSensitive)
        return contains(m_scratch, m_needle);
    if (lowerAscii(m_scratch))
        return contains(m_scratch, m_lowerNeedle);
    return scratchText().toLower().contains(m_lowerNeedleText);
}

bool NodeMatcher::ownHit(const TreeNode* node) const
{
    if (nameHit(node))
        return true;
    if (node->isCollection())
        return false;
    return valueMatches(node);
}

bool NodeMatcher::matches(const TreeNode* node) const
{
    if (ownHit(node))
        return true;
    if (!node->isCollection())
        return false;
    // Depth-first with an explicit stack: the first hit anywhere below decides, and no depth can overflow.
    std::vector<const TreeNode*> pending(node->children().begin(), node->children().end());
    while (!pending.empty()) {
        const TreeNode* next = pending.back();
        pending.pop_back();
        if (ownHit(next))
            return true;
        if (next->isCollection())
            pending.insert(pending.end(), next->children().begin(), next->children().end());
    }
    return false;
}
