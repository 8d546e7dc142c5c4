#include "json/runtime_error.h"

namespace json {

RuntimeError::RuntimeError(int number, QString description)
    : number_(number), description_(std::move(description)), what_(description_.toUtf8()) {}

RuntimeError RuntimeError::invalidCall() {
    return {err::InvalidCall, QStringLiteral("Invalid procedure call or argument")};
}
RuntimeError RuntimeError::overflow() {
    return {err::Overflow, QStringLiteral("Overflow")};
}
RuntimeError RuntimeError::subscriptOutOfRange() {
    return {err::SubscriptOutOfRange, QStringLiteral("Subscript out of range")};
}
RuntimeError RuntimeError::typeMismatch() {
    return {err::TypeMismatch, QStringLiteral("Type mismatch")};
}
RuntimeError RuntimeError::invalidUseOfNull() {
    return {err::InvalidUseOfNull, QStringLiteral("Invalid use of Null")};
}
RuntimeError RuntimeError::objectRequired() {
    return {err::ObjectRequired, QStringLiteral("Object required")};
}
RuntimeError RuntimeError::duplicateKey() {
    return {err::DuplicateKey, QStringLiteral("Duplicate key")};
}

}  // namespace json
