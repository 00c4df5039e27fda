#include "model/JsonValue.h"

#include <map>

const JsonValue* JsonValue::member(const QString& key) const
{
    const Object& members = toObject();
    for (auto it = members.rbegin(); it != members.rend(); ++it)
        if (it->first == key)
            return &it->second;
    return nullptr;
}

namespace {
std::map<QString, const JsonValue*> asMap(const JsonValue::Object& members)
{
    std::map<QString, const JsonValue*> map;
    for (const auto& [key, value] : members)
        map[key] = &value;
    return map;
}
} // namespace

bool JsonValue::operator==(const JsonValue& other) const
{
    if (type() != other.type())
        return false;
    if (type() != Type::Object)
        return m_value == other.m_value;
    const auto mine = asMap(toObject());
    const auto theirs = asMap(other.toObject());
    return std::equal(mine.begin(), mine.end(), theirs.begin(), theirs.end(),
                      [](const auto& a, const auto& b) { return a.first == b.first && *a.second == *b.second; });
}
