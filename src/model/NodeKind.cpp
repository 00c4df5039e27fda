#include "model/NodeKind.h"

namespace NodeKinds {

std::optional<NodeKind> fromRaw(qint64 raw)
{
    if (raw < 0 || raw > 6)
        return std::nullopt;
    return static_cast<NodeKind>(raw);
}

QString label(NodeKind kind)
{
    switch (kind) {
    case NodeKind::Array:
        return QStringLiteral("Array");
    case NodeKind::Object:
        return QStringLiteral("Object");
    case NodeKind::Integer:
    case NodeKind::Float:
        return QStringLiteral("Number");
    case NodeKind::Boolean:
        return QStringLiteral("Boolean");
    case NodeKind::String:
        return QStringLiteral("String");
    case NodeKind::Null:
        return QStringLiteral("Null");
    }
    return {};
}

} // namespace NodeKinds

const QStringList& NodeKinds::labels()
{
    static const QStringList all{QStringLiteral("Array"),   QStringLiteral("Object"), QStringLiteral("Number"),
                                 QStringLiteral("Boolean"), QStringLiteral("String"), QStringLiteral("Null")};
    return all;
}
