#include "model/TreeBuilder.h"

#include "model/JsonValue.h"
#include "model/NumberText.h"

#include <algorithm>

TreeBuilder::TreeBuilder(const QString& rootName) : m_store(std::make_unique<NodeStore>())
{
    const QByteArray name = rootName.toUtf8();
    m_rootName = m_store->intern(std::string_view(name.constData(), size_t(name.size())));
}

TreeBuilder::~TreeBuilder() = default;

TreeNode* TreeBuilder::add(NodeKind kind)
{
    TreeNode* node = m_store->newNode();
    node->m_kind = std::int8_t(kind);
    if (m_levels.empty()) {
        node->m_name = m_rootName;
        node->adoptStore(m_store.get());
        m_root = node;
    } else {
        node->m_name = m_key;
        node->setParent(m_levels.back().node);
        m_pending.push_back(node);
    }
    m_key = nullptr;
    return node;
}

void TreeBuilder::key(std::string_view utf8)
{
    m_key = m_store->intern(utf8);
}

void TreeBuilder::integer(qint64 value)
{
    TreeNode* node = add(NodeKind::Integer);
    node->m_value.integer = value;
    node->m_valueType = TreeNode::IntegerValue;
}

void TreeBuilder::real(double value)
{
    TreeNode* node = add(NodeKind::Float);
    node->m_value.real = value;
    node->m_valueType = TreeNode::FloatValue;
}

void TreeBuilder::boolean(bool value)
{
    TreeNode* node = add(NodeKind::Boolean);
    node->m_value.boolean = value;
    node->m_valueType = TreeNode::BooleanValue;
}

void TreeBuilder::null()
{
    TreeNode* node = add(NodeKind::Null);
    node->m_valueType = TreeNode::NullValue;
}

void TreeBuilder::string(std::string_view utf8)
{
    TreeNode* node = add(NodeKind::String);
    node->m_value.text = m_store->newString(utf8);
    node->m_valueType = TreeNode::StringValue;
}

void TreeBuilder::open(NodeKind kind)
{
    TreeNode* node = add(kind);
    m_levels.push_back({node, m_pending.size()});
}

namespace {

bool nameBefore(const TreeNode* a, const TreeNode* b)
{
    return compareKeys(a->nameKey(), b->nameKey()) < 0;
}

// Stable; objects are small as a rule, where insertion sort beats the general algorithm.
void sortByName(TreeNode** first, TreeNode** last)
{
    if (last - first > 24) {
        std::stable_sort(first, last, nameBefore);
        return;
    }
    for (TreeNode** i = first + 1; i < last; ++i) {
        TreeNode* moving = *i;
        TreeNode** j = i;
        for (; j > first && nameBefore(moving, *(j - 1)); --j)
            *j = *(j - 1);
        *j = moving;
    }
}

} // namespace

void TreeBuilder::close()
{
    const Level level = m_levels.back();
    m_levels.pop_back();
    TreeNode** first = m_pending.data() + level.first;
    TreeNode** last = m_pending.data() + m_pending.size();
    if (level.node->isObject())
        sortByName(first, last);
    const auto count = std::uint32_t(last - first);
    if (count > 0) {
        TreeNode** list = m_store->newChildList(count);
        std::copy(first, last, list);
        level.node->m_children = list;
        level.node->m_childCount = count;
    }
    m_pending.resize(level.first);
}

OwnedTree TreeBuilder::finish()
{
    if (!m_root)
        return nullptr;
    m_store.release();
    m_levels.clear();
    m_pending.clear();
    return OwnedTree(std::exchange(m_root, nullptr));
}

OwnedTree TreeNode::fromJsonValue(const JsonValue& value, const QString& name)
{
    TreeBuilder builder(name);
    // Walks the value with an explicit stack, reporting it to the builder as the reader would.
    struct Frame
    {
        const JsonValue* container;
        std::size_t next;
    };
    std::vector<Frame> stack;
    auto visit = [&](const JsonValue& item) {
        switch (item.type()) {
        case JsonValue::Type::Null:
            builder.null();
            break;
        case JsonValue::Type::Boolean:
            builder.boolean(item.toBool());
            break;
        case JsonValue::Type::Integer:
            builder.integer(item.toInteger());
            break;
        case JsonValue::Type::Float:
            // A double that holds an integer in range is classified as an integer.
            if (const auto integer = NumberText::exactInteger(item.toDouble()))
                builder.integer(*integer);
            else
                builder.real(item.toDouble());
            break;
        case JsonValue::Type::String: {
            const QByteArray utf8 = item.toString().toUtf8();
            builder.string(std::string_view(utf8.constData(), size_t(utf8.size())));
            break;
        }
        case JsonValue::Type::Array:
            builder.beginArray();
            stack.push_back({&item, 0});
            break;
        case JsonValue::Type::Object:
            builder.beginObject();
            stack.push_back({&item, 0});
            break;
        }
    };
    visit(value);
    while (!stack.empty()) {
        Frame& top = stack.back();
        const JsonValue* container = top.container;
        if (container->isArray()) {
            if (top.next == container->toArray().size()) {
                builder.endArray();
                stack.pop_back();
                continue;
            }
            visit(container->toArray()[top.next++]);
        } else {
            if (top.next == container->toObject().size()) {
                builder.endObject();
                stack.pop_back();
                continue;
            }
            const auto& [key, member] = container->toObject()[top.next++];
            const QByteArray utf8 = key.toUtf8();
            builder.key(std::string_view(utf8.constData(), size_t(utf8.size())));
            visit(member);
        }
    }
    return builder.finish();
}
