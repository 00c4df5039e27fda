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
    Level& level = m_levels.back();
    if (level.sameShape) {
        const Shape& shape = m_shapes[m_levels.size() - 1];
        const std::size_t index = m_pending.size() - level.first;
        if (index < shape.keys.size() && shape.keys[index] && shape.keys[index]->text == utf8) {
            m_key = shape.keys[index];
            return;
        }
        level.sameShape = false;
    }
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
    if (m_shapes.size() < m_levels.size())
        m_shapes.resize(m_levels.size());
}

namespace {

// Names equal after canonical normalisation keep their input order (the sort is stable).
bool nameBefore(const TreeNode* a, const TreeNode* b)
{
    const NodeKey* x = a->nameKey();
    const NodeKey* y = b->nameKey();
    if (x == y || !y)
        return false;
    return !x || x->sortText < y->sortText;
}

// Members in sorted order whose name an earlier one has. Equal names are neighbours, except that names equal
// only after normalisation sort together in input order, so a run of those is searched.
std::uint32_t countRepeats(TreeNode* const* members, const std::vector<std::uint32_t>& order)
{
    std::uint32_t repeats = 0;
    std::size_t runStart = 0;
    for (std::size_t i = 1; i < order.size(); ++i) {
        const NodeKey* key = members[order[i]]->nameKey();
        const NodeKey* previous = members[order[i - 1]]->nameKey();
        if (key == previous) {
            ++repeats;
            continue;
        }
        if (!key || !previous || key->sortText != previous->sortText) {
            runStart = i;
            continue;
        }
        for (std::size_t j = runStart; j < i; ++j) {
            if (members[order[j]]->nameKey() == key) {
                ++repeats;
                break;
            }
        }
    }
    return repeats;
}

} // namespace

void TreeBuilder::sortMembers(TreeNode** first, TreeNode** last, Shape& shape, bool sameShape)
{
    const auto count = std::size_t(last - first);
    if (!sameShape || count != shape.keys.size()) {
        shape.keys.resize(count);
        shape.order.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            shape.keys[i] = first[i]->nameKey();
            shape.order[i] = std::uint32_t(i);
        }
        auto before = [first](std::uint32_t a, std::uint32_t b) { return nameBefore(first[a], first[b]); };
        if (count > 24) {
            std::stable_sort(shape.order.begin(), shape.order.end(), before);
        } else {
            // Objects are small as a rule, where insertion sort beats the general algorithm.
            for (std::size_t i = 1; i < count; ++i) {
                const std::uint32_t moving = shape.order[i];
                std::size_t j = i;
                for (; j > 0 && before(moving, shape.order[j - 1]); --j)
                    shape.order[j] = shape.order[j - 1];
                shape.order[j] = moving;
            }
        }
        shape.repeats = countRepeats(first, shape.order);
    }
    m_duplicateKeys += shape.repeats;
    m_sorted.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        m_sorted[i] = first[shape.order[i]];
    std::copy(m_sorted.begin(), m_sorted.end(), first);
}

void TreeBuilder::close()
{
    const Level level = m_levels.back();
    m_levels.pop_back();
    TreeNode** first = m_pending.data() + level.first;
    TreeNode** last = m_pending.data() + m_pending.size();
    if (level.node->isObject())
        sortMembers(first, last, m_shapes[m_levels.size()], level.sameShape);
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
