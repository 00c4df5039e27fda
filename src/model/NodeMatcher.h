#pragma once

#include "model/SearchSettings.h"

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

class TreeNode;

// The search filter: which nodes a search keeps. A node's own hit is its name containing the search
// text (always plain and case-sensitive) or, for a leaf, its description matching the text or expression; a
// collection is kept when it or anything below it hits. Holds scratch buffers, so use one per thread
// (copies made with forAnotherThread()).
class NodeMatcher
{
public:
    // Takes what it needs from `settings` (compiled: see SearchSettings::compileExpression()); keeps no reference.
    explicit NodeMatcher(const SearchSettings& settings);

    // A matcher with the same search whose regular expression shares nothing with this one.
    NodeMatcher forAnotherThread() const;

    bool nameHit(const TreeNode* node) const;
    bool ownHit(const TreeNode* node) const;
    // The whole rule: the node's own hit, or for a collection a hit anywhere below it.
    bool matches(const TreeNode* node) const;

private:
    bool valueMatches(const TreeNode* node) const;
    bool contains(std::string_view haystack, const QByteArray& needle) const;
    const QString& scratchText() const;

    bool m_caseSensitive = true;
    bool m_regex = false;
    std::optional<QRegularExpression> m_expression;
    QByteArray m_needle;      // UTF-8 search text
    QByteArray m_lowerNeedle; // UTF-8 of the fully lower-cased search text
    QString m_lowerNeedleText;
    mutable std::string m_scratch;
    mutable QString m_scratchText;
};
