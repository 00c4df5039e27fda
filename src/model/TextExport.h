#pragma once

#include "model/Result.h"

class QIODevice;
class TreeNode;

// The XML and YAML exports, streamed from the tree to a device. Both carry the JSON text's value: members in
// name order (a later member of a name replacing an earlier one), every number as the JSON text writes it, and
// they fail wherever writing the JSON text fails (a top-level scalar, a non-finite number, a leaf without a
// value). On failure `out` holds part of the export: write to a QSaveFile and cancel it.
namespace TextExport {

// <root type="object">, indented by two spaces. A member's element is named after it when the name is an XML
// name (no colon, not starting with "xml" in any case, not "member"); any other member is
// <member name="…">. Array items are <item>. Every value but a string has type="object", "array", "number",
// "boolean" or "null"; empty strings and collections are empty elements. Characters XML 1.0 cannot carry
// make the export fail.
Result<void> writeXml(const TreeNode& root, QIODevice& out);

// Block style, sequences indented under their key, empty collections as [] and {}. Strings stay plain unless a
// YAML 1.1 or 1.2 reader would read them as something else (a boolean, a number, a date, a null, structure)
// or refuse them; those are double-quoted with escapes for every character a reader might refuse.
Result<void> writeYaml(const TreeNode& root, QIODevice& out);

} // namespace TextExport
