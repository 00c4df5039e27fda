#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// The type tag of a tree node. The raw values are stored in nodes and archives, so they never change.
enum class NodeKind : std::int8_t {
    Array = 0,
    Object = 1,
    Integer = 2,
    Float = 3,
    Boolean = 4,
    String = 5,
    Null = 6,
};

namespace NodeKinds {

std::optional<NodeKind> fromRaw(qint64 raw);
// "Array", "Object", "Number" (both number kinds), "Boolean", "String" or "Null".
QString label(NodeKind kind);
// The six labels a user chooses a kind from, in menu order.
const QStringList& labels();

constexpr bool isArray(qint64 raw)
{
    return raw == 0;
}
constexpr bool isObject(qint64 raw)
{
    return raw == 1;
}
constexpr bool isNumber(qint64 raw)
{
    return raw == 2 || raw == 3;
}
constexpr bool isBoolean(qint64 raw)
{
    return raw == 4;
}
constexpr bool isString(qint64 raw)
{
    return raw == 5;
}
constexpr bool isNull(qint64 raw)
{
    return raw == 6;
}
constexpr bool isCollection(qint64 raw)
{
    return raw == 0 || raw == 1;
}

} // namespace NodeKinds
