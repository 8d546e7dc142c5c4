#include "json/parser.h"

#include <string>
#include <string_view>
#include <unordered_map>

#include "json/runtime_error.h"

namespace json {

namespace {

// One error text for the module, kept from one parse to the next.
QString& errorText() {
    static QString text;
    return text;
}

// Past this length no further message is built or appended: a document full of bad literals
// would otherwise pile up a copy of the rest of the text for each of them.
constexpr qsizetype kErrorTextCap = 65536;

constexpr const char16_t* kCrLf = u"\r\n";

// How reading one element ended.
enum class Outcome {
    Ok,
    Failed,         // a failure the enclosing container reports with its description
    LiteralFailed,  // a bad true/false/null: already reported, the position did not move
};

class Reader {
public:
    explicit Reader(const QString& text)
        : d_(reinterpret_cast<const char16_t*>(text.constData())), n_(text.size()), text_(text),
          errors_(errorText()) {}

    JsonValue parse() {
        skipBlanks();
        if (at(u'{')) return readObject(1);
        if (at(u'[')) return readArray(1);
        errors_ = QStringLiteral("Invalid JSON");
        return JsonValue();
    }

private:
    bool atEnd() const { return pos_ >= n_; }
    bool at(char16_t c) const { return pos_ < n_ && d_[pos_] == c; }
    QString position() const { return QString::number(pos_ + 1); }
    QStringView rest() const { return atEnd() ? QStringView() : QStringView(text_).mid(pos_); }
    QStringView next20() const {
        return atEnd() ? QStringView() : QStringView(text_).mid(pos_, 20);
    }
    QStringView last20() const { return QStringView(text_).right(20); }
    bool reporting() const { return errors_.size() < kErrorTextCap; }
    // Appends one message made of the parts, while the error text is below its cap.
    void report(std::initializer_list<QStringView> parts) {
        if (!reporting()) return;
        for (QStringView p : parts) errors_ += p;
    }
    bool startsWith(std::u16string_view word) const {
        return n_ - pos_ >= static_cast<qsizetype>(word.size()) &&
               std::u16string_view(d_ + pos_, word.size()) == word;
    }

    void skipBlanks() {
        bool pending = false, inComment = false, block = false;
        while (pos_ < n_) {
            const char16_t c = d_[pos_];
            if (c == u'\r' || c == u'\n') {
                if (!block) pending = inComment = false;
            } else if (c == u'\t' || c == u' ' || c == u'(' || c == u')') {
            } else if (c == u'/') {
                // a "/" also ends a line comment: documents have always been read this way
                if (!block) {
                    if (pending) {
                        pending = false;
                        inComment = true;
                    } else {
                        pending = true;
                        inComment = false;
                    }
                } else if (pending) {
                    pending = inComment = block = false;
                }
            } else if (c == u'*') {
                if (pending) {
                    pending = false;
                    inComment = block = true;
                } else {
                    pending = true;
                }
            } else if (!inComment) {
                return;
            }
            ++pos_;
        }
    }

    Outcome readValue(int level, JsonValue& out) {
        skipBlanks();
        if (atEnd()) return readNumber(out);
        switch (d_[pos_]) {
        case u'{':
            if (level >= kMaxNesting) return tooDeep();
            out = readObject(level + 1);
            return Outcome::Ok;
        case u'[':
            if (level >= kMaxNesting) return tooDeep();
            out = readArray(level + 1);
            return Outcome::Ok;
        case u'"':
        case u'\'':
            out = JsonValue(readString());
            return Outcome::Ok;
        case u't':
        case u'f':
            return readBoolean(out);
        case u'n':
            return readNull(out);
        default:
            return readNumber(out);
        }
    }

    Outcome tooDeep() {
        if (reporting()) failure_ = QStringLiteral("Nesting too deep at position ") + position();
        return Outcome::Failed;
    }

    JsonValue readObject(int level) {
        auto object = std::make_shared<JsonObject>();
        JsonValue result(object);
        skipBlanks();
        if (!at(u'{')) {
            report({u"Invalid Object at position ", position(), u" : ", rest(), kCrLf});
            return result;
        }
        ++pos_;
        for (;;) {
            skipBlanks();
            if (at(u'}')) {
                ++pos_;
                return result;
            }
            if (at(u',')) {
                ++pos_;
                skipBlanks();
            } else if (atEnd()) {
                report({u"Missing '}': ", last20(), kCrLf});
                return result;
            }
            const QString key = readKey();
            JsonValue value;
            if (readValue(level, value) == Outcome::Failed) {
                report({failure_, u": ", key, kCrLf});
                return result;
            }
            if (object->Exists(key)) {
                report({u"Duplicate key: ", key, kCrLf});
                return result;
            }
            object->Add(key, std::move(value));
        }
    }

    JsonValue readArray(int level) {
        auto array = std::make_shared<JsonArray>();
        JsonValue result(array);
        skipBlanks();
        if (!at(u'[')) {
            report({u"Invalid Array at position ", position(), u" : ", next20(), kCrLf});
            return result;
        }
        ++pos_;
        for (;;) {
            skipBlanks();
            if (at(u']')) {
                ++pos_;
                return result;
            }
            if (at(u',')) {
                ++pos_;
                skipBlanks();
            } else if (atEnd()) {
                report({u"Missing ']': ", last20(), kCrLf});
                return result;
            }
            JsonValue value;
            switch (readValue(level, value)) {
            case Outcome::Ok:
                array->Add(std::move(value));
                break;
            case Outcome::Failed:
                report({failure_, u": ", next20(), kCrLf});
                return result;
            case Outcome::LiteralFailed:
                // the position did not move: reading on would find the same literal forever
                return result;
            }
        }
    }

    // Keys may be double-quoted, single-quoted or bare; blanks are dropped everywhere and no
    // escapes are processed.
    QString readKey() {
        skipBlanks();
        gather_.clear();
        bool inDouble = false, inSingle = false;
        while (pos_ < n_) {
            const char16_t c = d_[pos_];
            if (c == u'"' || c == u'\'') {
                bool& flag = c == u'"' ? inDouble : inSingle;
                flag = !flag;
                ++pos_;
                if (!flag) {
                    skipBlanks();
                    if (!at(u':')) {
                        QString key = intern();
                        report({u"Invalid Key at position ", position(), u" : ", key, kCrLf});
                        return key;
                    }
                }
            } else if (c == u':') {
                ++pos_;
                if (!inDouble && !inSingle) return intern();
                gather_.push_back(c);
            } else if (c == u'\r' || c == u'\n' || c == u'\t' || c == u' ') {
                ++pos_;
            } else {
                gather_.push_back(c);
                ++pos_;
            }
        }
        return intern();
    }

    // Documents repeat the same few keys thousands of times; they share one text each.
    QString intern() {
        const std::u16string_view key(gather_);
        if (key.size() > 64) return toQString(key);
        auto it = keys_.find(key);
        if (it != keys_.end()) return it->second;
        QString stored = toQString(key);
        if (keys_.size() < 8192)
            keys_.emplace(std::u16string_view(reinterpret_cast<const char16_t*>(stored.constData()),
                                              key.size()),
                          stored);
        return stored;
    }

    static QString toQString(std::u16string_view s) {
        return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
    }

    static int hexDigit(char16_t c) {
        if (c >= u'0' && c <= u'9') return c - u'0';
        if (c >= u'a' && c <= u'f') return c - u'a' + 10;
        if (c >= u'A' && c <= u'F') return c - u'A' + 10;
        return -1;
    }

    QString readString() {
        skipBlanks();
        const char16_t close = d_[pos_];
        ++pos_;
        // Most strings hold no escape: take them straight from the text.
        const qsizetype start = pos_;
        qsizetype i = pos_;
        while (i < n_ && d_[i] != close && d_[i] != u'\\') ++i;
        if (i < n_ && d_[i] == close) {
            pos_ = i + 1;
            return toQString(std::u16string_view(d_ + start, i - start));
        }
        gather_.assign(d_ + start, i - start);
        pos_ = i;
        while (pos_ < n_) {
            const char16_t c = d_[pos_];
            if (c == u'\\') {
                ++pos_;
                if (atEnd()) break;
                const char16_t e = d_[pos_];
                switch (e) {
                case u'"': case u'\\': case u'/': case u'\'':
                    gather_.push_back(e);
                    ++pos_;
                    break;
                case u'b': gather_.push_back(u'\b'); ++pos_; break;
                case u'f': gather_.push_back(u'\f'); ++pos_; break;
                case u'n': gather_.push_back(u'\n'); ++pos_; break;
                case u'r': gather_.push_back(u'\r'); ++pos_; break;
                case u't': gather_.push_back(u'\t'); ++pos_; break;
                case u'u': {
                    ++pos_;
                    // the leading hexadecimal digits of the next four characters
                    unsigned value = 0;
                    for (qsizetype k = pos_; k < pos_ + 4 && k < n_; ++k) {
                        const int h = hexDigit(d_[k]);
                        if (h < 0) break;
                        value = value * 16 + static_cast<unsigned>(h);
                    }
                    gather_.push_back(static_cast<char16_t>(value));
                    pos_ += 4;
                    break;
                }
                default:
                    // the character after the backslash is read as an ordinary one
                    break;
                }
            } else if (c == close) {
                ++pos_;
                break;
            } else {
                // copy the run up to the next backslash or closing character at once
                qsizetype j = pos_ + 1;
                while (j < n_ && d_[j] != close && d_[j] != u'\\') ++j;
                gather_.append(d_ + pos_, j - pos_);
                pos_ = j;
            }
        }
        return toQString(gather_);
    }

    Outcome readNumber(JsonValue& out) {
        skipBlanks();
        const qsizetype start = pos_;
        while (pos_ < n_) {
            const char16_t c = d_[pos_];
            if ((c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'+' || c == u'e' ||
                c == u'E')
                ++pos_;
            else
                break;
        }
        if (atEnd()) {
            out = JsonValue();  // cut off by the end of the text: no value
            return Outcome::Ok;
        }
        Decimal d;
        const QStringView token(reinterpret_cast<const QChar*>(d_ + start), pos_ - start);
        if (Decimal::readToken(token, d) != Decimal::TokenStatus::Ok) {
            failure_ = QStringLiteral("Invalid number");
            return Outcome::Failed;
        }
        out = JsonValue(d);
        return Outcome::Ok;
    }

    Outcome readBoolean(JsonValue& out) {
        skipBlanks();
        if (startsWith(u"true")) {
            out = JsonValue(true);
            pos_ += 4;
            return Outcome::Ok;
        }
        if (startsWith(u"false")) {
            out = JsonValue(false);
            pos_ += 5;
            return Outcome::Ok;
        }
        report({u"Invalid Boolean at position ", position(), u" : ", rest(), kCrLf});
        out = JsonValue(false);
        return Outcome::LiteralFailed;
    }

    Outcome readNull(JsonValue& out) {
        skipBlanks();
        if (startsWith(u"null")) {
            out = JsonValue::null();
            pos_ += 4;
            return Outcome::Ok;
        }
        report({u"Invalid null value at position ", position(), u" : ", rest(), kCrLf});
        out = JsonValue();
        return Outcome::LiteralFailed;
    }

    const char16_t* d_;
    const qsizetype n_;
    const QString& text_;
    QString& errors_;
    qsizetype pos_ = 0;    // 0-based here; messages show it 1-based
    QString failure_;      // description of the last element failure
    std::u16string gather_;  // one gathering buffer for every string and key of the parse
    std::unordered_map<std::u16string_view, QString> keys_;
};

}  // namespace

JsonValue Parse(const QString& text) {
    errorText().clear();
    Reader reader(text);
    return reader.parse();
}

const QString& ParseErrors() { return errorText(); }

}  // namespace json
