#pragma once

#include <QString>
#include <utility>
#include <variant>
#include <vector>

// An in-memory JSON value. Object members keep their input order, which carries no meaning: equality and
// writing treat an object as a map in which a later duplicate key replaces an earlier one.
class JsonValue
{
public:
    enum class Type { Null, Boolean, Integer, Float, String, Array, Object };
    using Array = std::vector<JsonValue>;
    using Member = std::pair<QString, JsonValue>;
    using Object = std::vector<Member>;

    JsonValue() = default;
    JsonValue(std::nullptr_t) {}
    JsonValue(bool value) : m_value(value) {}
    JsonValue(int value) : m_value(qint64(value)) {}
    JsonValue(qint64 value) : m_value(value) {}
    JsonValue(double value) : m_value(value) {}
    JsonValue(const QString& value) : m_value(value) {}
    JsonValue(const char* utf8) : m_value(QString::fromUtf8(utf8)) {}
    JsonValue(Array value) : m_value(std::move(value)) {}
    JsonValue(Object value) : m_value(std::move(value)) {}

    Type type() const { return Type(m_value.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isArray() const { return type() == Type::Array; }
    bool isObject() const { return type() == Type::Object; }

    bool toBool() const { return std::get<bool>(m_value); }
    qint64 toInteger() const { return std::get<qint64>(m_value); }
    double toDouble() const { return std::get<double>(m_value); }
    const QString& toString() const { return std::get<QString>(m_value); }
    const Array& toArray() const { return std::get<Array>(m_value); }
    Array& toArray() { return std::get<Array>(m_value); }
    const Object& toObject() const { return std::get<Object>(m_value); }
    Object& toObject() { return std::get<Object>(m_value); }

    // The member's value (the last one of that name), or nullptr.
    const JsonValue* member(const QString& key) const;

    bool operator==(const JsonValue& other) const;

private:
    std::variant<std::nullptr_t, bool, qint64, double, QString, Array, Object> m_value;
};
