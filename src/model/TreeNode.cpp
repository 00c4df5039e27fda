#include "model/TreeNode.h"

#include "model/Log.h"
#include "model/NodeMatcher.h"
#include "model/NumberText.h"
#include "model/SearchSettings.h"
#include "model/Utf8.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

// Whether `settings` ask for a search at all.
bool searching(const SearchSettings* settings)
{
    return settings && !settings->text.isEmpty();
}

} // namespace

void TreeDeleter::operator()(TreeNode* root) const
{
    if (!root)
        return;
    Q_ASSERT(root->isStoreRoot());
    // Every node, list and string of the tree lives in the store.
    delete &root->store();
}

NodeStore& TreeNode::store() const
{
    const TreeNode* node = this;
    while (!node->isStoreRoot()) {
        node = node->parent();
        Q_ASSERT(node);
    }
    return *reinterpret_cast<NodeStore*>(node->m_up & ~std::uintptr_t(1));
}

OwnedTree TreeNode::makeRoot(const QString& name, NodeKind kind)
{
    auto* store = new NodeStore;
    TreeNode* root = store->newNode();
    root->adoptStore(store);
    root->setName(name);
    root->setKind(qint64(kind));
    return OwnedTree(root);
}

QString TreeNode::name() const
{
    return utf8ToQString(nameUtf8());
}

void TreeNode::setName(const QString& name)
{
    const QByteArray utf8 = name.toUtf8();
    m_name = store().intern(std::string_view(utf8.constData(), size_t(utf8.size())));
}

void TreeNode::setKind(qint64 raw)
{
    // Raw values that fit no kind are kept as an unknown kind; the labels report them.
    m_kind = raw >= INT8_MIN && raw <= INT8_MAX ? std::int8_t(raw) : INT8_MAX;
}

QVariant TreeNode::value() const
{
    switch (m_valueType) {
    case IntegerValue:
        return QVariant(qlonglong(m_value.integer));
    case FloatValue:
        return QVariant(m_value.real);
    case BooleanValue:
        return QVariant(m_value.boolean);
    case StringValue:
        return QVariant(utf8ToQString(stringValueUtf8()));
    case NullValue:
        return QVariant::fromValue(nullptr);
    default:
        return {};
    }
}

void TreeNode::setIntegerValue(qint64 value)
{
    m_value.integer = value;
    m_valueType = IntegerValue;
}

void TreeNode::setFloatValue(double value)
{
    m_value.real = value;
    m_valueType = FloatValue;
}

void TreeNode::setBoolValue(bool value)
{
    m_value.boolean = value;
    m_valueType = BooleanValue;
}

void TreeNode::setStringValue(std::string_view utf8)
{
    m_value.text = store().newString(utf8);
    m_valueType = StringValue;
}

void TreeNode::setNullValue()
{
    m_value.integer = 0;
    m_valueType = NullValue;
}

void TreeNode::assignChildren(std::span<TreeNode* const> children)
{
    const auto count = std::uint32_t(children.size());
    if (count > NodeStore::childListCapacity(m_children)) {
        // Room to grow, so that adding rows one by one does not copy the list every time.
        const std::uint32_t capacity = m_children ? count + count / 2 + 4 : count;
        TreeNode** list = store().newChildList(capacity);
        std::copy(children.begin(), children.end(), list);
        m_children = list;
    } else if (count > 0 && children.data() != m_children) {
        std::memmove(static_cast<void*>(m_children), children.data(), count * sizeof(TreeNode*));
    }
    m_childCount = count;
}

std::optional<qsizetype> TreeNode::indexInParent() const
{
    const TreeNode* holder = parent();
    if (!holder)
        return std::nullopt;
    const auto siblings = holder->children();
    const auto found = std::find(siblings.begin(), siblings.end(), this);
    if (found == siblings.end())
        return std::nullopt;
    return found - siblings.begin();
}

QString TreeNode::nameLabel() const
{
    if (m_name)
        return name();
    const auto index = indexInParent();
    // A parentless unnamed node (a root whose name was cleared) has no index to show.
    return index ? nameLabel(*index) : QStringLiteral("[?]");
}

QString TreeNode::nameLabel(qsizetype knownIndex) const
{
    if (m_name)
        return name();
    return QLatin1Char('[') + QString::number(knownIndex) + QLatin1Char(']');
}

QString TreeNode::kindLabel() const
{
    if (const auto kind = nodeKind())
        return NodeKinds::label(*kind);
    BW_LOG_ERROR("kindLabel", QStringLiteral("unknown kind %1").arg(m_kind));
    return {};
}

QString TreeNode::leafValueText() const
{
    std::string text;
    appendValueText(text);
    return utf8ToQString(text);
}

QString TreeNode::valueLabel() const
{
    if (isCollection()) {
        const qsizetype count = searching(searchSettings()) ? qsizetype(filteredChildren().size()) : childCount();
        return QStringLiteral("(%1 items)").arg(count);
    }
    if (!nodeKind()) {
        BW_LOG_ERROR("valueLabel", QStringLiteral("shouldn't reach here"));
        return {};
    }
    return leafValueText();
}

QString TreeNode::path() const
{
    std::vector<QString> labels;
    for (const TreeNode* node = this; node; node = node->parent())
        labels.push_back(node->nameLabel());
    QString joined;
    for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
        if (!joined.isEmpty() || label != labels.rbegin())
            joined += QLatin1Char('.');
        joined += *label;
    }
    joined.replace(QStringLiteral(".["), QStringLiteral("["));
    return joined;
}

void TreeNode::appendLeafText(std::string& out, const TreeNode* node, std::string_view nullText)
{
    const auto kind = node->nodeKind();
    if (!kind)
        return;
    if (*kind == NodeKind::Null) {
        out += nullText;
        return;
    }
    switch (node->m_valueType) {
    case IntegerValue: {
        char buffer[24];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, node->m_value.integer).ptr;
        out.append(buffer, end);
        break;
    }
    case FloatValue:
        NumberText::appendFloatText(out, node->m_value.real);
        break;
    case BooleanValue:
        out += node->m_value.boolean ? "true" : "false";
        break;
    case StringValue:
        out += node->stringValueUtf8();
        break;
    default:
        break;
    }
}

void TreeNode::appendValueText(std::string& out) const
{
    appendLeafText(out, this, {});
}

void TreeNode::appendDescription(std::string& out) const
{
    auto appendOpen = [&out](const TreeNode* node) {
        if (node->m_name) {
            out += node->m_name->text;
            out += " = ";
        }
        if (node->isArray()) {
            out += '[';
            return true;
        }
        if (node->isObject()) {
            out += '{';
            return true;
        }
        appendLeafText(out, node, "null");
        return false;
    };
    if (!appendOpen(this))
        return;
    // Explicit stack: descriptions of deep documents must not exhaust the call stack.
    struct Frame
    {
        const TreeNode* node;
        std::uint32_t next;
    };
    std::vector<Frame> stack{{this, 0}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.node->m_childCount) {
            out += top.node->isArray() ? ']' : '}';
            stack.pop_back();
            continue;
        }
        if (top.next > 0)
            out += ", ";
        const TreeNode* child = top.node->m_children[top.next++];
        if (appendOpen(child))
            stack.push_back({child, 0});
    }
}

QString TreeNode::description() const
{
    if (!isCollection()) {
        std::string text;
        appendDescription(text);
        return utf8ToQString(text);
    }
    NodeStore& owner = store();
    const qint64 generation = owner.generation;
    if (owner.descriptionsGeneration != generation) {
        owner.descriptions.clear();
        owner.descriptionsGeneration = generation;
    }
    auto cached = owner.descriptions.constFind(this);
    if (cached != owner.descriptions.constEnd())
        return *cached;
    std::string text;
    appendDescription(text);
    return *owner.descriptions.insert(this, utf8ToQString(text));
}

QString TreeNode::itemIcon() const
{
    const SearchSettings* settings = searchSettings();
    if (!settings || !settings->rowIcons)
        return {};
    const auto kind = nodeKind();
    if (!kind)
        return {};
    switch (*kind) {
    case NodeKind::Array:
        return QStringLiteral("parentheses");
    case NodeKind::Object:
        return QStringLiteral("curlybraces");
    case NodeKind::Integer:
    case NodeKind::Float:
        return QStringLiteral("number");
    case NodeKind::Boolean:
        return QStringLiteral("lightswitch.on");
    case NodeKind::String:
        return QStringLiteral("ellipsis.circle");
    case NodeKind::Null:
        return QStringLiteral("square.dotted");
    }
    return {};
}

std::vector<TreeNode*> TreeNode::filteredChildren() const
{
    const auto all = children();
    const SearchSettings* settings = searchSettings();
    if (!searching(settings))
        return {all.begin(), all.end()};
    const NodeMatcher matcher(*settings);
    std::vector<TreeNode*> kept;
    for (TreeNode* child : all)
        if (matcher.matches(child))
            kept.push_back(child);
    return kept;
}

qint64 TreeNode::treeGeneration() const
{
    return store().generation;
}

void TreeNode::advanceTreeGeneration()
{
    ++store().generation;
}

Notifications& TreeNode::notifications() const
{
    return store().notifications();
}

const SearchSettings* TreeNode::searchSettings() const
{
    return store().searchSettings;
}

void TreeNode::setSearchSettings(const SearchSettings* settings)
{
    store().searchSettings = settings;
}
