#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>
#include <string>
#include <string_view>

class TreeNode;

// Writes a tree as compact JSON: no whitespace, object members in name order (a later duplicate name
// replacing an earlier one), the solidus escaped, other non-ASCII characters as UTF-8. The top level must be
// an array or an object; a non-finite number or a leaf without a value makes the write fail.
namespace JsonWriter {

std::optional<QByteArray> write(const TreeNode* node, QString* error = nullptr);

// A leaf as write() puts it, for the exports that must agree with the JSON text: its JSON type and, for a
// number or a boolean, its text (a number's in `buffer`); for a string, its UTF-8 unescaped. Nothing, with
// write()'s description of the fault, when write() would fail on it.
struct Leaf
{
    enum Type { Null, Number, Boolean, String };
    Type type = Null;
    std::string_view text;
};
std::optional<Leaf> leaf(const TreeNode& node, std::array<char, 32>& buffer, QString& error);

} // namespace JsonWriter
