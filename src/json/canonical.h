#pragma once

#include <QByteArray>

#include "value.h"

namespace json {

/**
 * One-line canonical form of a parsed value, in UTF-8, for integrators and tests: members in
 * insertion order, no blanks, strings escaped only where needed ("\"", "\\", code units below
 * 0x20 and unpaired surrogates as \u with four lower-case hex digits), numbers in plain form,
 * Empty as `empty`. The absent root of a failed parse is written `nothing` by the caller.
 */
QByteArray canonicalForm(const JsonValue& value);

/** A job document file's text: UTF-8, a leading byte-order mark dropped, bad bytes U+FFFD. */
QString documentText(QByteArray bytes);

/**
 * What json-dump writes for a parse: the canonical form of the root (`nothing` without one),
 * a line feed, then the reader's error text unchanged.
 */
QByteArray dumpText(const JsonValue& root, const QString& errors);

}  // namespace json
