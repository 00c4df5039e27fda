#pragma once

#include "model/TreeNode.h"

#include <memory>
#include <string_view>
#include <vector>

// Builds a tree from the values of a document as the reader reports them: one store for the whole tree,
// members sorted by name as each object closes, no notifications. The first value becomes the root.
class TreeBuilder
{
public:
    explicit TreeBuilder(const QString& rootName = QStringLiteral("root"));
    ~TreeBuilder();

    void beginArray() { open(NodeKind::Array); }
    void beginObject() { open(NodeKind::Object); }
    void key(std::string_view utf8);
    void endArray() { close(); }
    void endObject() { close(); }
    void integer(qint64 value);
    void real(double value);
    void boolean(bool value);
    void null();
    void string(std::string_view utf8);

    // The finished tree, or nothing when no value was reported.
    OwnedTree finish();
    // Members whose name repeats an earlier sibling's: saving keeps only the last of each name.
    qsizetype duplicateKeys() const { return m_duplicateKeys; }

private:
    TreeNode* add(NodeKind kind);
    void open(NodeKind kind);
    void close();

    struct Level
    {
        TreeNode* node;
        std::size_t first;     // index in m_pending of its first child
        bool sameShape = true; // so far the members repeat the previous object's at this depth
    };
    // The member names of the last object closed at one depth, in input order, and the order that sorts
    // them. Documents repeat the same object shape many times: a repeat costs no hashing and no sorting.
    struct Shape
    {
        std::vector<const NodeKey*> keys;
        std::vector<std::uint32_t> order;
        std::uint32_t repeats = 0; // names that repeat an earlier one
    };
    void sortMembers(TreeNode** first, TreeNode** last, Shape& shape, bool sameShape);

    std::unique_ptr<NodeStore> m_store;
    std::vector<Shape> m_shapes;
    const NodeKey* m_rootName = nullptr;
    const NodeKey* m_key = nullptr;
    TreeNode* m_root = nullptr;
    std::vector<Level> m_levels;
    std::vector<TreeNode*> m_pending;
    std::vector<TreeNode*> m_sorted;
    qsizetype m_duplicateKeys = 0;
};
