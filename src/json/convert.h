#pragma once

#include <QLocale>
#include <QString>

#include "decimal.h"
#include "value.h"

namespace json {

// Conversions with the loose typing that the ticket layouts rely on. Layouts read document
// fields only through these, so that every field behaves the same way everywhere.

/**
 * Text of a value: Empty and Null give "", a string itself, a number in plain form with the
 * locale's decimal separator, a boolean "True" or "False"; an object or array raises
 * "Type mismatch".
 */
QString toText(const JsonValue& v, const QLocale& locale = QLocale::c());

/**
 * Number of a value: Empty 0, a number itself, a boolean -1 or 0, a numeric text converted
 * (plain form with "." first, then the locale's form; blanks around it allowed); any other
 * text, an object or an array raises "Type mismatch"; Null raises "Invalid use of Null".
 */
Decimal toNumber(const JsonValue& v, const QLocale& locale = QLocale::c());

/** True when toNumber() would succeed for a string, number, boolean or Empty value. */
bool isNumeric(const JsonValue& v, const QLocale& locale = QLocale::c());

/** "Not empty" as the layouts test it: false for Empty, Null and ""; true otherwise. */
bool hasContent(const JsonValue& v);

/** Greater than zero as the layouts compare amounts: Null and non-numeric values are not. */
bool isPositive(const JsonValue& v, const QLocale& locale = QLocale::c());

/** Boolean of a value: true only for the JSON literal true. */
bool isTrue(const JsonValue& v);

}  // namespace json
