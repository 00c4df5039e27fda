// A node's JSON value and JSON text.
#include "model/JsonValue.h"
#include "model/JsonWriter.h"
#include "model/Log.h"
#include "model/TreeNode.h"

Result<QByteArray> TreeNode::jsonText() const
{
    auto text = JsonWriter::write(this);
    if (!text)
        BW_LOG_ERROR("jsonText", text.error().message);
    return text;
}

std::optional<JsonValue> TreeNode::jsonObject() const
{
    auto leafValue = [](const TreeNode* node) -> std::optional<JsonValue> {
        if (!node->nodeKind())
            return std::nullopt;
        if (node->isNull())
            return JsonValue();
        switch (node->valueType()) {
        case IntegerValue:
            return JsonValue(node->integerValue());
        case FloatValue:
            return JsonValue(node->floatValue());
        case BooleanValue:
            return JsonValue(node->boolValue());
        case StringValue:
            return JsonValue(node->value().toString());
        default:
            return std::nullopt;
        }
    };
    if (!isCollection())
        return leafValue(this);

    // Explicit stack: each frame holds the container being filled.
    struct Frame
    {
        const TreeNode* node;
        std::size_t next;
        JsonValue value;
    };
    std::vector<Frame> stack;
    auto open = [&stack](const TreeNode* node) {
        stack.push_back({node, 0, node->isArray() ? JsonValue(JsonValue::Array{}) : JsonValue(JsonValue::Object{})});
    };
    auto store = [](Frame& into, const TreeNode* child, JsonValue value) {
        // An object keeps every member; a later one of the same name wins when the object is read or written.
        if (into.value.isArray())
            into.value.toArray().push_back(std::move(value));
        else
            into.value.toObject().emplace_back(child->name(), std::move(value));
    };
    open(this);
    while (true) {
        Frame& top = stack.back();
        if (top.next == std::size_t(top.node->childCount())) {
            Frame done = std::move(stack.back());
            stack.pop_back();
            if (stack.empty())
                return std::move(done.value);
            store(stack.back(), done.node, std::move(done.value));
            continue;
        }
        const TreeNode* child = top.node->child(qsizetype(top.next++));
        if (child->isCollection()) {
            open(child);
            continue;
        }
        auto value = leafValue(child);
        if (!value)
            return std::nullopt;
        store(top, child, std::move(*value));
    }
}
