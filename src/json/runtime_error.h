#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace json {

/** Numbers of the classic runtime errors that the layouts and the toolkit raise. */
namespace err {
constexpr int InvalidCall = 5;          // "Invalid procedure call or argument"
constexpr int Overflow = 6;             // "Overflow"
constexpr int SubscriptOutOfRange = 9;  // "Subscript out of range"
constexpr int TypeMismatch = 13;        // "Type mismatch"
constexpr int InvalidUseOfNull = 94;    // "Invalid use of Null"
constexpr int ObjectRequired = 424;     // "Object required"
constexpr int DuplicateKey = 457;       // "Duplicate key"
constexpr int PrinterError = 482;       // the printing system's own message
}  // namespace err

/**
 * The numbered error raised by the string builder, the value model, the conversions and the
 * print devices: a number and a description (the classic runtime text, or the printing
 * system's own message). Caught by every layout and event handler; never escapes one.
 */
class RuntimeError : public std::exception {
  public:
    RuntimeError(int number, QString description);

    int number() const noexcept { return number_; }
    const QString& description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.constData(); }

    static RuntimeError invalidCall();
    static RuntimeError overflow();
    static RuntimeError subscriptOutOfRange();
    static RuntimeError typeMismatch();
    static RuntimeError invalidUseOfNull();
    static RuntimeError objectRequired();
    static RuntimeError duplicateKey();

  private:
    int number_;
    QString description_;
    QByteArray what_;
};

}  // namespace json
