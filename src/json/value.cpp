#include "json/value.h"

#include "json/runtime_error.h"

namespace json {

namespace {
const Decimal kZero;
const QString kNoText;
const std::shared_ptr<JsonObject> kNoObject;
const std::shared_ptr<JsonArray> kNoArray;
}  // namespace

// A document holds millions of values: the variant must stay as small as the widest kind
// plus its tag.
static_assert(sizeof(void*) != 8 || sizeof(JsonValue) == 48);

JsonValue JsonValue::null() {
    JsonValue v;
    v.v_.emplace<NullTag>();
    return v;
}

JsonValue::JsonValue(bool b) : v_(b) {}
JsonValue::JsonValue(Decimal d) : v_(d) {}
JsonValue::JsonValue(QString s) : v_(std::move(s)) {}

// a null reference reads as Empty
JsonValue::JsonValue(std::shared_ptr<JsonObject> o) {
    if (o) v_ = std::move(o);
}
JsonValue::JsonValue(std::shared_ptr<JsonArray> a) {
    if (a) v_ = std::move(a);
}

bool JsonValue::boolean() const {
    const bool* b = std::get_if<bool>(&v_);
    return b && *b;
}
const Decimal& JsonValue::number() const {
    const Decimal* d = std::get_if<Decimal>(&v_);
    return d ? *d : kZero;
}
const QString& JsonValue::string() const {
    const QString* s = std::get_if<QString>(&v_);
    return s ? *s : kNoText;
}
const std::shared_ptr<JsonObject>& JsonValue::object() const {
    const auto* o = std::get_if<std::shared_ptr<JsonObject>>(&v_);
    return o ? *o : kNoObject;
}
const std::shared_ptr<JsonArray>& JsonValue::array() const {
    const auto* a = std::get_if<std::shared_ptr<JsonArray>>(&v_);
    return a ? *a : kNoArray;
}

JsonValue JsonValue::item(const QString& key) const {
    if (!isObject()) throw RuntimeError::objectRequired();
    return object()->item(key);
}

JsonValue JsonValue::item(int index) const {
    if (!isArray()) throw RuntimeError::objectRequired();
    return array()->item(index);
}

int JsonValue::count() const {
    if (isObject()) return object()->count();
    if (isArray()) return array()->count();
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
