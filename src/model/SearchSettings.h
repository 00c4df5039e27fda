#pragma once

#include <QRegularExpression>
#include <QString>
#include <optional>

// The search and row-icon settings that a tree's filter and icons read. Not process-wide: whoever filters
// owns one (the window's controller, the command line, a test) and hands it to the trees it shows
// (TreeNode::setSearchSettings) and to the matchers it makes (NodeMatcher).
struct SearchSettings
{
    QString text;
    bool caseSensitive = true;
    bool regularExpression = false;
    bool rowIcons = false;
    // Maintained by compileExpression().
    std::optional<QRegularExpression> expression;
    std::optional<QString> expressionError;

    // Compiles the text when the regular-expression setting is on; the error text on failure.
    std::optional<QString> compileExpression();
};
