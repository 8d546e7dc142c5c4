#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <variant>

#include "decimal.h"

namespace json {

class JsonObject;
class JsonArray;

/**
 * A tagged value of the job document tree. Objects and arrays are shared by reference:
 * copying a value copies the reference, and a sub-tree outlives its root.
 */
class JsonValue {
  public:
    enum class Kind { Empty, Null, Boolean, Number, String, Object, Array };

    JsonValue() = default;  // Empty
    static JsonValue null();
    JsonValue(bool b);
    JsonValue(Decimal d);
    JsonValue(QString s);
    JsonValue(const char16_t* s) : JsonValue(QString::fromUtf16(s)) {}
    // Without these, a literal text or an int would silently become a Boolean.
    JsonValue(const char* utf8) : JsonValue(QString::fromUtf8(utf8)) {}
    JsonValue(int v) : JsonValue(Decimal::fromInt(v)) {}
    JsonValue(std::shared_ptr<JsonObject> o);
    JsonValue(std::shared_ptr<JsonArray> a);

    Kind kind() const { return static_cast<Kind>(v_.index()); }
    bool isEmpty() const { return kind() == Kind::Empty; }
    bool isNull() const { return kind() == Kind::Null; }
    bool isBoolean() const { return kind() == Kind::Boolean; }
    bool isNumber() const { return kind() == Kind::Number; }
    bool isString() const { return kind() == Kind::String; }
    bool isObject() const { return kind() == Kind::Object; }
    bool isArray() const { return kind() == Kind::Array; }
    bool isContainer() const { return isObject() || isArray(); }

    /** Raw access; valid only for the matching kind (false / zero / "" / null otherwise). */
    bool boolean() const;
    const Decimal& number() const;
    const QString& string() const;
    const std::shared_ptr<JsonObject>& object() const;
    const std::shared_ptr<JsonArray>& array() const;

    /**
     * Loose access as the layouts use it. item(key) on an object gives the value under the
     * key (Empty when missing); on anything else it raises "Object required".
     * item(i) on an array is 1-based ("Subscript out of range" outside); count on an object
     * or array, "Object required" on anything else.
     */
    JsonValue item(const QString& key) const;
    JsonValue item(int index) const;
    int count() const;

  private:
    struct NullTag {};
    // The alternatives follow the order of Kind, so the index is the kind.
    using Storage = std::variant<std::monostate, NullTag, bool, Decimal, QString,
                                 std::shared_ptr<JsonObject>, std::shared_ptr<JsonArray>>;
    Storage v_;
};

/** Keyed dictionary with exact keys kept in insertion order; lookup by hash. */
class JsonObject {
  public:
    JsonObject() = default;
    /** Takes parallel lists of keys and values; the keys must all be different. */
    JsonObject(QStringList keys, QList<JsonValue> values);
    /** Takes the keys of `shape` (shared, not copied) with values in the same order. */
    JsonObject(const JsonObject& shape, QList<JsonValue> values);

    int count() const { return static_cast<int>(keys_.size()); }
    /** The value under the key; Empty when the key is not held (never fails). */
    JsonValue item(const QString& key) const;
    bool exists(const QString& key) const { return find(key) >= 0; }
    /** Adds an entry; raises RuntimeError "Duplicate key" when the key is held (no change). */
    void add(const QString& key, JsonValue value);
    /** Replaces the value under the key, or adds the entry when the key is not held. */
    void set(const QString& key, JsonValue value);
    /** Keys in insertion order, and the value at a 0-based position in that order. */
    const QStringList& keys() const { return keys_; }
    const JsonValue& valueAt(int index0) const { return values_[index0]; }

  private:
    qsizetype find(const QString& key) const;
    void buildIndex();

    // Small objects are searched in order; the hash is built once an object grows past a
    // few keys, so lookups on large objects stay constant-time.
    static constexpr qsizetype kIndexFrom = 8;
    QHash<QString, qsizetype> index_;
    QStringList keys_;
    QList<JsonValue> values_;
};

/** 1-based list. */
class JsonArray {
  public:
    JsonArray() = default;
    explicit JsonArray(QList<JsonValue> items) : items_(std::move(items)) {}

    int count() const { return static_cast<int>(items_.size()); }
    /** Element i, 1 <= i <= Count; RuntimeError "Subscript out of range" otherwise. */
    const JsonValue& item(int i) const;
    void add(JsonValue value) { items_.append(std::move(value)); }
    QList<JsonValue>::const_iterator begin() const { return items_.cbegin(); }
    QList<JsonValue>::const_iterator end() const { return items_.cend(); }

  private:
    QList<JsonValue> items_;
};

}  // namespace json

// Values move in memory as plain bytes when a list grows: every member is relocatable.
Q_DECLARE_TYPEINFO(json::JsonValue, Q_RELOCATABLE_TYPE);
