#pragma once

#include <QString>
#include <optional>
#include <string>

class TreeNode;

// The forms a node's path is written in: the outline's own (root.a[2], as Copy Path gives it), and three that
// tools read: jq (.a["b.c"][2]), JSON Pointer (/a/b.c/2, RFC 6901) and JSONPath's normalized path
// ($['a']['b.c'][2], RFC 9535). The outline form is ambiguous for keys holding "." or "[" and for the empty
// key; the other three never are.
enum class PathStyle { Outline, Jq, Pointer, JsonPath };

namespace NodePath {

// "outline", "jq", "pointer" or "jsonpath".
std::optional<PathStyle> styleNamed(const QString& name);

QString format(const TreeNode* node, PathStyle style);
// The same, built a step at a time as UTF-8 (for outlines of millions of lines): the root's path, then the
// step from a node's parent to the node, which is the parent's child at `index`.
void appendRoot(std::string& out, const TreeNode* root, PathStyle style);
void appendStep(std::string& out, const TreeNode* child, qsizetype index, PathStyle style);

struct Resolution
{
    TreeNode* node = nullptr;
    bool ambiguous = false; // an outline path that several nodes have
};
// The node a path leads to: a jq path starts with ".", a JSON Pointer with "/" (or is empty, for the root), a
// JSONPath with "$"; any other text, or one of these that leads nowhere, is tried as an outline path. Object
// members are found by name (the last of a name, the one saving keeps), array elements by index.
Resolution resolve(TreeNode* root, const QString& path);

} // namespace NodePath
