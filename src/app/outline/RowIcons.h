#pragma once

#include <QIcon>
#include <QString>

// The kind icons shown beside outline rows, looked up by the symbol names the tree gives (TreeNode::itemIcon).
namespace RowIcons {

// The icon for a symbol name; a null icon for an empty or unknown name.
QIcon icon(const QString& symbolName);

} // namespace RowIcons
