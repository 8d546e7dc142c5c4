#include "json/convert.h"

#include "json/runtime_error.h"

namespace json {

namespace {

// A numeric text: plain form first, then the regional form (its group separators dropped
// and its decimal separator read as a point). Throws for anything else.
Decimal numberOfText(const QString& text, const QLocale& locale) {
    const QString t = text.trimmed();
    Decimal d;
    switch (Decimal::readToken(t, d)) {
        case Decimal::TokenStatus::Ok:
            return d;
        case Decimal::TokenStatus::OutOfRange:
            throw RuntimeError::overflow();
        case Decimal::TokenStatus::Invalid:
            break;
    }
    QString regional = t;
    const QString group = locale.groupSeparator();
    const QString point = locale.decimalPoint();
    if (!group.isEmpty() && group != point) regional.remove(group);
    if (!point.isEmpty() && point != u".") regional.replace(point, u"."_qs);
    if (regional != t) {
        switch (Decimal::readToken(regional, d)) {
            case Decimal::TokenStatus::Ok:
                return d;
            case Decimal::TokenStatus::OutOfRange:
                throw RuntimeError::overflow();
            case Decimal::TokenStatus::Invalid:
                break;
        }
    }
    throw RuntimeError::typeMismatch();
}

QChar separatorOf(const QLocale& locale) {
    const QString p = locale.decimalPoint();
    return p.isEmpty() ? QChar(u'.') : p.front();
}

}  // namespace

QString toText(const JsonValue& v, const QLocale& locale) {
    switch (v.kind()) {
        case JsonValue::Kind::Empty:
        case JsonValue::Kind::Null:
            return QString();
        case JsonValue::Kind::Boolean:
            return v.boolean() ? QStringLiteral("True") : QStringLiteral("False");
        case JsonValue::Kind::Number:
            return v.number().toString(separatorOf(locale));
        case JsonValue::Kind::String:
            return v.string();
        case JsonValue::Kind::Object:
        case JsonValue::Kind::Array:
            break;
    }
    throw RuntimeError::typeMismatch();
}

Decimal toNumber(const JsonValue& v, const QLocale& locale) {
    switch (v.kind()) {
        case JsonValue::Kind::Empty:
            return Decimal();
        case JsonValue::Kind::Null:
            throw RuntimeError::invalidUseOfNull();
        case JsonValue::Kind::Boolean:
            return Decimal::fromInt(v.boolean() ? -1 : 0);
        case JsonValue::Kind::Number:
            return v.number();
        case JsonValue::Kind::String:
            return numberOfText(v.string(), locale);
        case JsonValue::Kind::Object:
        case JsonValue::Kind::Array:
            break;
    }
    throw RuntimeError::typeMismatch();
}

bool isNumeric(const JsonValue& v, const QLocale& locale) {
    try {
        if (v.isNull() || v.isContainer()) return false;
        toNumber(v, locale);
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

bool hasContent(const JsonValue& v) {
    if (v.isEmpty() || v.isNull()) return false;
    if (v.isString()) return !v.string().isEmpty();
    return true;
}

bool isPositive(const JsonValue& v, const QLocale& locale) {
    if (!isNumeric(v, locale)) return false;
    return toNumber(v, locale) > Decimal();
}

bool isTrue(const JsonValue& v) {
    return v.isBoolean() && v.boolean();
}

}  // namespace json
