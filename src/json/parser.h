#pragma once

#include <QString>

#include "value.h"

namespace json {

/** A parsed document and the errors found while reading it. */
struct ParseResult {
    JsonValue value;
    QString errors;  // empty when the text was read without error
};

/**
 * Reads a job document with the lenient reader. The value is the root (always an Object or
 * an Array), or an Empty value when the text does not start with "{" or "[" ("nothing").
 * Never fails: every problem is appended to the error text of the result.
 */
ParseResult parse(const QString& text);

/** The error text of the last parse on this thread; empty when it found no error. */
const QString& parseErrors();

/** Deepest container level read; a container that would open deeper is not read. */
constexpr int kMaxNesting = 512;

}  // namespace json
