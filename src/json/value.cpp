#include "json/value.h"

#include <cstring>

#include "json/runtime_error.h"

namespace json {

namespace {
const Decimal kZero;
const QString kNoText;
const std::shared_ptr<JsonObject> kNoObject;
const std::shared_ptr<JsonArray> kNoArray;
}  // namespace

JsonValue JsonValue::null() {
    JsonValue v;
    v.kind_ = Kind::Null;
    return v;
}

JsonValue::JsonValue(bool b) : kind_(Kind::Boolean) {
    u_.b = b;
}
JsonValue::JsonValue(Decimal d) : kind_(Kind::Number) {
    new (&u_.d) Decimal(d);
}
JsonValue::JsonValue(QString s) : kind_(Kind::String) {
    new (&u_.s) QString(std::move(s));
}

JsonValue::JsonValue(std::shared_ptr<JsonObject> o) {
    // a null reference reads as Empty
    if (o) {
        kind_ = Kind::Object;
        new (&u_.o) std::shared_ptr<JsonObject>(std::move(o));
    }
}

JsonValue::JsonValue(std::shared_ptr<JsonArray> a) {
    if (a) {
        kind_ = Kind::Array;
        new (&u_.a) std::shared_ptr<JsonArray>(std::move(a));
    }
}

JsonValue::JsonValue(const JsonValue& o) {
    copyFrom(o);
}
JsonValue::JsonValue(JsonValue&& o) noexcept {
    moveFrom(std::move(o));
}

JsonValue& JsonValue::operator=(const JsonValue& o) {
    if (this != &o) {
        JsonValue copy(o);
        destroy();
        moveFrom(std::move(copy));
    }
    return *this;
}

JsonValue& JsonValue::operator=(JsonValue&& o) noexcept {
    if (this != &o) {
        destroy();
        moveFrom(std::move(o));
    }
    return *this;
}

JsonValue::~JsonValue() {
    destroy();
}

void JsonValue::destroy() noexcept {
    switch (kind_) {
        case Kind::String:
            u_.s.~QString();
            break;
        case Kind::Object:
            u_.o.~shared_ptr();
            break;
        case Kind::Array:
            u_.a.~shared_ptr();
            break;
        case Kind::Number:
            u_.d.~Decimal();
            break;
        default:
            break;
    }
    kind_ = Kind::Empty;
}

void JsonValue::copyFrom(const JsonValue& o) {
    switch (o.kind_) {
        case Kind::Boolean:
            u_.b = o.u_.b;
            break;
        case Kind::Number:
            new (&u_.d) Decimal(o.u_.d);
            break;
        case Kind::String:
            new (&u_.s) QString(o.u_.s);
            break;
        case Kind::Object:
            new (&u_.o) std::shared_ptr<JsonObject>(o.u_.o);
            break;
        case Kind::Array:
            new (&u_.a) std::shared_ptr<JsonArray>(o.u_.a);
            break;
        default:
            break;
    }
    kind_ = o.kind_;
}

void JsonValue::moveFrom(JsonValue&& o) noexcept {
    // Every kind is relocatable (see the type info in the header): the bytes move over and
    // the source is left Empty without running a destructor on the moved-out member.
    std::memcpy(static_cast<void*>(&u_), static_cast<const void*>(&o.u_), sizeof(u_));
    kind_ = o.kind_;
    o.kind_ = Kind::Empty;
}

const Decimal& JsonValue::number() const {
    return kind_ == Kind::Number ? u_.d : kZero;
}
const QString& JsonValue::string() const {
    return kind_ == Kind::String ? u_.s : kNoText;
}
const std::shared_ptr<JsonObject>& JsonValue::object() const {
    return kind_ == Kind::Object ? u_.o : kNoObject;
}
const std::shared_ptr<JsonArray>& JsonValue::array() const {
    return kind_ == Kind::Array ? u_.a : kNoArray;
}

JsonValue JsonValue::item(const QString& key) const {
    if (kind_ != Kind::Object) throw RuntimeError::objectRequired();
    return u_.o->item(key);
}

JsonValue JsonValue::item(int index) const {
    if (kind_ != Kind::Array) throw RuntimeError::objectRequired();
    return u_.a->item(index);
}

int JsonValue::count() const {
    if (kind_ == Kind::Object) return u_.o->count();
    if (kind_ == Kind::Array) return u_.a->count();
    throw RuntimeError::objectRequired();
}

JsonObject::JsonObject(QStringList keys, QList<JsonValue> values)
    : keys_(std::move(keys)), values_(std::move(values)) {
    if (keys_.size() > kIndexFrom) buildIndex();
}

JsonObject::JsonObject(const JsonObject& shape, QList<JsonValue> values)
    : index_(shape.index_), keys_(shape.keys_), values_(std::move(values)) {}

void JsonObject::buildIndex() {
    index_.reserve(keys_.size() * 2);
    for (qsizetype i = 0; i < keys_.size(); ++i) index_.insert(keys_[i], i);
}

qsizetype JsonObject::find(const QString& key) const {
    if (keys_.size() > kIndexFrom) return index_.value(key, -1);
    for (qsizetype i = 0; i < keys_.size(); ++i)
        if (keys_[i] == key) return i;
    return -1;
}

JsonValue JsonObject::item(const QString& key) const {
    const qsizetype i = find(key);
    return i < 0 ? JsonValue() : values_[i];
}

void JsonObject::add(const QString& key, JsonValue value) {
    if (find(key) >= 0) throw RuntimeError::duplicateKey();
    keys_.append(key);
    values_.append(std::move(value));
    const qsizetype n = keys_.size();
    if (n == kIndexFrom + 1) {
        buildIndex();
    } else if (n > kIndexFrom + 1) {
        index_.insert(key, n - 1);
    }
}

void JsonObject::set(const QString& key, JsonValue value) {
    const qsizetype i = find(key);
    if (i >= 0)
        values_[i] = std::move(value);
    else
        add(key, std::move(value));
}

const JsonValue& JsonArray::item(int i) const {
    if (i < 1 || i > items_.size()) throw RuntimeError::subscriptOutOfRange();
    return items_[i - 1];
}

}  // namespace json
