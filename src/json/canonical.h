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

}  // namespace json
