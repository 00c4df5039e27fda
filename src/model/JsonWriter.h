#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

class TreeNode;

// Writes a tree as compact JSON: no whitespace, object members in name order (a later duplicate name
// replacing an earlier one), the solidus escaped, other non-ASCII characters as UTF-8. The top level must be
// an array or an object; a non-finite number or a leaf without a value makes the write fail.
namespace JsonWriter {

std::optional<QByteArray> write(const TreeNode* node, QString* error = nullptr);

} // namespace JsonWriter
