#pragma once

#include <QString>

#include "value.h"

namespace json {

/**
 * Reads a job document with the lenient reader. Returns the root (always an Object or an
 * Array), or an Empty value when the text does not start with "{" or "[" ("nothing").
 * Never fails: every problem is appended to the error text that ParseErrors returns.
 */
JsonValue parse(const QString& text);

/** The error text of the last Parse; empty when that parse found no error. */
const QString& parseErrors();

/** Deepest container level read; a container that would open deeper is not read. */
constexpr int kMaxNesting = 512;

}  // namespace json
