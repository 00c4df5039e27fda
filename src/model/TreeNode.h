#pragma once

#include "model/NodeKind.h"
#include "model/NodeState.h"
#include "model/NodeStore.h"
#include "model/Result.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

class JsonValue;
class Notifications;
class ReplaceLog;
struct SearchSettings;
class TreeNode;

// Owning handle of a whole tree: destroying it frees every node of the tree at once.
struct TreeDeleter
{
    void operator()(TreeNode* root) const;
};
using OwnedTree = std::unique_ptr<TreeNode, TreeDeleter>;

// One node of the editable JSON tree. Nodes live in their tree's NodeStore: 40 bytes each, with interned
// member names and strings kept in the store, so that documents of millions of nodes stay compact.
// All state is read and written on the main thread once the tree has been installed.
class TreeNode
{
public:
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;

    // --- Building and writing ---

    // init(using:named:): a new tree for `value`, its object members sorted by name. Posts nothing.
    static OwnedTree fromJsonValue(const JsonValue& value, const QString& name);
    // A lone node of the given kind, without a value, in a store of its own (for small programmatic trees).
    static OwnedTree makeRoot(const QString& name, NodeKind kind);

    std::optional<JsonValue> jsonObject() const;
    // Compact UTF-8 JSON with sorted keys and an escaped solidus; the writer's error (and a log line) when the
    // node cannot be written as a document.
    Result<QByteArray> jsonText() const;

    // The keyed archive form as CBOR, and back; decoding links every child to its parent.
    QByteArray encode() const;
    // BadArchive when the bytes are not an archived tree.
    static Result<OwnedTree> decode(const QByteArray& cbor);

    // --- Stored fields ---

    bool isSelected() const { return m_flags & Selected; }
    void setSelected(bool selected) { setFlag(Selected, selected); }
    bool nameIsEditable() const { return m_flags & NameEditable; }
    void setNameIsEditable(bool on) { setFlag(NameEditable, on); }
    bool kindIsEditable() const { return m_flags & KindEditable; }
    void setKindIsEditable(bool on) { setFlag(KindEditable, on); }
    bool valueIsEditable() const { return m_flags & ValueEditable; }
    void setValueIsEditable(bool on) { setFlag(ValueEditable, on); }

    QString name() const;
    std::string_view nameUtf8() const { return m_name ? m_name->text : std::string_view(); }
    const NodeKey* nameKey() const { return m_name; }
    // Plain setter: no generation change, no notification.
    void setName(const QString& name);

    qint64 kind() const { return m_kind; }
    std::optional<NodeKind> nodeKind() const { return NodeKinds::fromRaw(m_kind); }
    // Plain setter: no generation change, no notification.
    void setKind(qint64 raw);

    TreeNode* parent() const { return (m_up & 1) ? nullptr : reinterpret_cast<TreeNode*>(m_up); }

    // Which kind of value the node holds; kept apart from the kind so that a value is never misread.
    enum ValueType : std::uint8_t { NoValue, IntegerValue, FloatValue, BooleanValue, StringValue, NullValue };
    ValueType valueType() const { return ValueType(m_valueType); }

    // The leaf value: qint64, double, bool, QString or nullptr; an invalid QVariant when absent.
    QVariant value() const;
    bool hasValue() const { return m_valueType != NoValue; }
    qint64 integerValue() const { return m_value.integer; }
    double floatValue() const { return m_value.real; }
    bool boolValue() const { return m_value.boolean; }
    std::string_view stringValueUtf8() const { return StoredString::view(m_value.text); }
    void setIntegerValue(qint64 value);
    void setFloatValue(double value);
    void setBoolValue(bool value);
    void setStringValue(std::string_view utf8);
    void setNullValue();
    void clearValue() { m_valueType = NoValue; }

    std::span<TreeNode* const> children() const { return {m_children, m_childCount}; }
    qsizetype childCount() const { return m_childCount; }
    TreeNode* child(qsizetype index) const { return m_children[index]; }

    // --- Derived properties ---

    bool isArray() const { return NodeKinds::isArray(m_kind); }
    bool isObject() const { return NodeKinds::isObject(m_kind); }
    bool isNumber() const { return NodeKinds::isNumber(m_kind); }
    bool isBoolean() const { return NodeKinds::isBoolean(m_kind); }
    bool isString() const { return NodeKinds::isString(m_kind); }
    bool isNull() const { return NodeKinds::isNull(m_kind); }
    bool isCollection() const { return NodeKinds::isCollection(m_kind); }
    bool isArrayChild() const { return m_name == nullptr; }

    // Position in the parent's children, by identity.
    std::optional<qsizetype> indexInParent() const;
    // The name, or "[index]" for an unnamed node. Callers that know the index pass it to skip the search.
    QString nameLabel() const;
    QString nameLabel(qsizetype knownIndex) const;
    QString kindLabel() const;
    // "(N items)" for collections, counting the visible children under the tree's search.
    QString valueLabel() const;
    // The leaf's value as the outline shows it (not meaningful for collections).
    QString leafValueText() const;
    QString path() const;
    // "name = value", "[a, b]", "{k = v}" … as the search matches it; collections are cached per generation.
    QString description() const;
    // Appends the leaf's value as the outline shows it (nothing for null) as UTF-8.
    void appendValueText(std::string& out) const;
    // Appends the description of this node's subtree as UTF-8 without touching the cache.
    void appendDescription(std::string& out) const;
    // The symbol name shown beside the row when the tree's settings turn row icons on; empty otherwise.
    QString itemIcon() const;
    // The children that the tree's search keeps, in order; all of them without a search.
    std::vector<TreeNode*> filteredChildren() const;

    // --- Editing (each posts its notifications; see TreeNodeEditing.cpp) ---

    void setNameLabel(const QString& text);
    void setKindLabel(const QString& label);
    void setValueLabel(const QString& text);
    void setChildren(std::span<TreeNode* const> children);
    // Rewrites an unacceptable typed value for "valueLabel" before it is committed; never rejects.
    bool validateValue(QVariant& value, const QString& key) const;
    // Adds a default child at `index` (-1 appends); returns nothing and changes nothing for a bad index.
    TreeNode* insertNewChild(qsizetype index);
    QString uniqueChildName(const QString& base) const;
    // Replaces `find` by `replacement` in the string values of this subtree and, with `includeKeys`, in its
    // names; returns how many names and values changed (a value with three hits counts once). A rename that
    // would give a member the name another member of its object has is skipped and counted in `skippedKeys`,
    // so that no member is lost. One TreeDataChanged is posted at the end when anything changed. `log`, when
    // given, receives every change so that the run can be taken back.
    qsizetype replaceAll(const QString& find, const QString& replacement, bool caseSensitive, bool includeKeys,
                         qsizetype* skippedKeys = nullptr, ReplaceLog* log = nullptr);

    // --- Taking edits back (see TreeNodeHistory.cpp) ---

    NodeState state() const;
    // Puts back a state taken earlier, announced like the edit it reverses. Sound while every later edit of
    // this node has been taken back in turn, as a linear history does.
    void restoreState(const NodeState& state);
    // Puts a node that was a child of this one back at `index`, or takes the child at `index` out; the
    // subtree is kept as it is. Announced like Add Row and Remove Row, with the outline's change signals.
    void insertChild(qsizetype index, TreeNode* node);
    void removeChild(qsizetype index);
    // The stored string and name handles, for replaying a replace-all without copying texts.
    const char* storedString() const { return m_valueType == StringValue ? m_value.text : nullptr; }
    void setStoredString(const char* blob);
    void setNameKey(const NodeKey* key) { m_name = key; }

    // --- The tree's own state, the same from every node of the tree (kept in its store) ---

    // Advances with every edit of this tree (and when taking back an edit swaps it out of its document), never
    // with another tree's.
    qint64 treeGeneration() const;
    void advanceTreeGeneration();
    // What every edit does once the tree has changed: a new generation, then TreeDataChanged.
    void announceEdit();
    // The tree's notifications; no other tree's edits reach them.
    Notifications& notifications() const;
    // The search that the tree's filteredChildren(), collection counts and icons follow; none (the default)
    // means no search and no icons. The settings are not owned and must outlive the tree or be replaced.
    const SearchSettings* searchSettings() const;
    void setSearchSettings(const SearchSettings* settings);

    // --- Internals for the builders, the filter and the archive ---

    NodeStore& store() const;
    bool filterVisible() const { return m_flags & FilterVisible; }
    void setFilterVisible(bool on) { setFlag(FilterVisible, on); }
    // Sets the parent link without touching the parent's children.
    void setParent(TreeNode* parent) { m_up = reinterpret_cast<std::uintptr_t>(parent); }
    // Replaces the children without notifications (builders only).
    void assignChildren(std::span<TreeNode* const> children);

private:
    friend class NodeStore;
    friend class TreeBuilder;
    friend struct TreeDeleter;
    TreeNode() = default;
    ~TreeNode() = default;

    enum Flag : std::uint8_t {
        Selected = 1,
        NameEditable = 2,
        KindEditable = 4,
        ValueEditable = 8,
        FilterVisible = 16,
    };
    static void appendLeafText(std::string& out, const TreeNode* node, std::string_view nullText);
    // Drops the child list without writing to it, so that a state taken before still finds it intact.
    void detachChildren();
    void setFlag(Flag flag, bool on) { m_flags = on ? (m_flags | flag) : (m_flags & ~flag); }
    bool isStoreRoot() const { return m_up & 1; }
    void adoptStore(NodeStore* store) { m_up = reinterpret_cast<std::uintptr_t>(store) | 1; }
    // The parent, or for the node that owns the store, the store address with the low bit set.
    std::uintptr_t m_up = 0;
    TreeNode** m_children = nullptr;
    const NodeKey* m_name = nullptr;
    union {
        qint64 integer;
        double real;
        bool boolean;
        const char* text;
    } m_value{0};
    std::uint32_t m_childCount = 0;
    std::int8_t m_kind = 0;
    std::uint8_t m_flags = NameEditable | KindEditable | ValueEditable;
    std::uint8_t m_valueType = NoValue;
};

static_assert(sizeof(TreeNode) == 40, "keep tree nodes compact");
