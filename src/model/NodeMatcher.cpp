#include "model/NodeMatcher.h"

#include "model/TreeNode.h"

#include <cstring>
#include <vector>

namespace {

bool containsBytes(std::string_view haystack, const QByteArray& needle)
{
    if (needle.size() > qsizetype(haystack.size()))
        return false;
    return memmem(haystack.data(), haystack.size(), needle.constData(), size_t(needle.size())) != nullptr;
}

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
    : m_active(!settings.text.isEmpty()), m_caseSensitive(settings.caseSensitive),
      m_regex(settings.regularExpression), m_expression(settings.expression), m_needle(settings.text.toUtf8())
{
    m_lowerNeedleText = settings.text.toLower();
    m_lowerNeedle = m_lowerNeedleText.toUtf8();
}

bool NodeMatcher::nameHit(const TreeNode* node) const
{
    return containsBytes(node->nameUtf8(), m_needle);
}

bool NodeMatcher::valueMatches(const TreeNode* node) const
{
    m_scratch.clear();
    node->appendDescription(m_scratch);
    if (m_regex) {
        if (!m_expression)
            return false;
        const QString description = QString::fromUtf8(m_scratch.data(), qsizetype(m_scratch.size()));
        return m_expression->match(description).hasMatch();
    }
    if (m_caseSensitive)
        return containsBytes(m_scratch, m_needle);
    if (lowerAscii(m_scratch))
        return containsBytes(m_scratch, m_lowerNeedle);
    const QString description = QString::fromUtf8(m_scratch.data(), qsizetype(m_scratch.size()));
    return description.toLower().contains(m_lowerNeedleText);
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
