#pragma once

#include <QRegularExpression>
#include <QString>
#include <optional>

// The process-wide search and row-icon settings that the tree's filter and icons read. Written only by
// the controller, on the main thread.
struct SearchSettings
{
    QString text;
    bool caseSensitive = true;
    bool regularExpression = false;
    bool rowIcons = false;
    // Maintained by TreeNode::compileSearchExpression().
    std::optional<QRegularExpression> expression;
    std::optional<QString> expressionError;

    static SearchSettings& current();
};
