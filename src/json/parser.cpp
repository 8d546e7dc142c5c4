#include "json/parser.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <QSet>

#include "json/runtime_error.h"

namespace json {

namespace {

// The errors of the last parse, for callers that ask for them afterwards.
QString& lastErrors() {
    thread_local QString text;
    return text;
}

// Past this length no further message is built or appended: a document full of bad literals
// would otherwise pile up a copy of the rest of the text for each of them.
constexpr qsizetype kErrorTextCap = 65536;

constexpr const char16_t* kCrLf = u"\r\n";

// Characters that end the plain run of a quoted key: quotes, the colon and the blanks that
// keys drop.
constexpr auto kKeyStop = [] {
    std::array<bool, 128> stop{};
    for (char c : {'"', '\'', ':', ' ', '\t', '\r', '\n'})
        stop[static_cast<unsigned char>(c)] = true;
    return stop;
}();

// How reading one element ended.
enum class Outcome {
    Ok,
    Failed,         // a failure the enclosing container reports with its description
    LiteralFailed,  // a bad true/false/null: already reported, the position did not move
};

class Reader {
  public:
    Reader(const QString& text, QString& errors)
        : d_(reinterpret_cast<const char16_t*>(text.constData())),
          n_(text.size()),
          text_(text),
          errors_(errors) {}

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

    // Members and elements are gathered in lists kept per level and reused, so that each
    // container is stored once at its final size.
    struct Scratch {
        std::vector<QString> keys;
        std::vector<JsonValue> values;
        QSet<QString> seen;  // keys of a large object, for the repeated-key test
        // The last object finished at this level: lists of records repeat the same keys, and
        // objects with the same keys share one key list and index.
        std::shared_ptr<const JsonObject> shape;
    };

    // Stays valid while deeper levels are read.
    Scratch& scratch(int level) {
        while (scratch_.size() < static_cast<size_t>(level))
            scratch_.push_back(std::make_unique<Scratch>());
        return *scratch_[static_cast<size_t>(level) - 1];
    }

    static QList<JsonValue> takeValues(Scratch& s) {
        QList<JsonValue> values(std::make_move_iterator(s.values.begin()),
                                std::make_move_iterator(s.values.end()));
        s.values.clear();
        return values;
    }

    static bool sameKeys(const std::vector<QString>& a, const QStringList& b) {
        if (static_cast<qsizetype>(a.size()) != b.size()) return false;
        for (qsizetype i = 0; i < b.size(); ++i) {
            const QString& k = a[static_cast<size_t>(i)];
            if (k.constData() != b[i].constData() && k != b[i]) return false;
        }
        return true;
    }

    static JsonValue finishObject(Scratch& s) {
        std::shared_ptr<JsonObject> object;
        if (s.shape && sameKeys(s.keys, s.shape->keys())) {
            object = std::make_shared<JsonObject>(*s.shape, takeValues(s));
        } else {
            QStringList keys(std::make_move_iterator(s.keys.begin()),
                             std::make_move_iterator(s.keys.end()));
            object = std::make_shared<JsonObject>(std::move(keys), takeValues(s));
            s.shape = object;
        }
        s.keys.clear();
        s.seen.clear();
        return JsonValue(std::move(object));
    }

    static JsonValue finishArray(Scratch& s) {
        return JsonValue(std::make_shared<JsonArray>(takeValues(s)));
    }

    static constexpr qsizetype kScanUpTo = 8;

    static bool held(const Scratch& s, const QString& key) {
        if (s.keys.size() > static_cast<size_t>(kScanUpTo)) return s.seen.contains(key);
        for (const QString& k : s.keys)
            if (k == key) return true;
        return false;
    }

    static void addMember(Scratch& s, QString&& key, JsonValue&& value) {
        if (s.keys.size() == static_cast<size_t>(kScanUpTo))
            for (const QString& k : s.keys) s.seen.insert(k);
        if (s.keys.size() >= static_cast<size_t>(kScanUpTo)) s.seen.insert(key);
        s.keys.push_back(std::move(key));
        s.values.push_back(std::move(value));
    }

    JsonValue readObject(int level) {
        skipBlanks();
        if (!at(u'{')) {
            report({u"Invalid Object at position ", position(), u" : ", rest(), kCrLf});
            return JsonValue(std::make_shared<JsonObject>());
        }
        ++pos_;
        Scratch& s = scratch(level);
        for (;;) {
            skipBlanks();
            if (at(u'}')) {
                ++pos_;
                return finishObject(s);
            }
            if (at(u',')) {
                ++pos_;
                skipBlanks();
            } else if (atEnd()) {
                report({u"Missing '}': ", last20(), kCrLf});
                return finishObject(s);
            }
            QString key = readKey();
            JsonValue value;
            if (readValue(level, value) == Outcome::Failed) {
                report({failure_, u": ", key, kCrLf});
                return finishObject(s);
            }
            if (held(s, key)) {
                report({u"Duplicate key: ", key, kCrLf});
                return finishObject(s);
            }
            addMember(s, std::move(key), std::move(value));
        }
    }

    JsonValue readArray(int level) {
        skipBlanks();
        if (!at(u'[')) {
            report({u"Invalid Array at position ", position(), u" : ", next20(), kCrLf});
            return JsonValue(std::make_shared<JsonArray>());
        }
        ++pos_;
        Scratch& s = scratch(level);
        for (;;) {
            skipBlanks();
            if (at(u']')) {
                ++pos_;
                return finishArray(s);
            }
            if (at(u',')) {
                ++pos_;
                skipBlanks();
            } else if (atEnd()) {
                report({u"Missing ']': ", last20(), kCrLf});
                return finishArray(s);
            }
            JsonValue value;
            switch (readValue(level, value)) {
                case Outcome::Ok:
                    s.values.push_back(std::move(value));
                    break;
                case Outcome::Failed:
                    report({failure_, u": ", next20(), kCrLf});
                    return finishArray(s);
                case Outcome::LiteralFailed:
                    // the position did not move: reading on would find the same literal forever
                    return finishArray(s);
            }
        }
    }

    // Keys may be double-quoted, single-quoted or bare; blanks are dropped everywhere and no
    // escapes are processed.
    QString readKey() {
        skipBlanks();
        // The usual key: double-quoted, no blanks or quotes or colon inside, then ":".
        if (at(u'"')) {
            qsizetype i = pos_ + 1;
            while (i < n_ && !(d_[i] < 128 && kKeyStop[d_[i]])) ++i;
            if (i < n_ && d_[i] == u'"' && i + 1 < n_ && d_[i + 1] == u':') {
                const std::u16string_view key(d_ + pos_ + 1, static_cast<size_t>(i - pos_ - 1));
                pos_ = i + 2;
                return intern(key);
            }
        }
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

    QString intern() { return intern(gather_); }

    // Documents repeat the same few keys and short values thousands of times; they share one
    // text each. A small open-addressing table that grows by doubling up to a fixed size and
    // then stops taking entries.
    QString intern(std::u16string_view text) {
        if (text.size() > 64) return toQString(text);
        const size_t h = hashOf(text);
        if (interned_.empty()) interned_.resize(256);
        const size_t mask = interned_.size() - 1;
        for (size_t i = h & mask;; i = (i + 1) & mask) {
            Interned& slot = interned_[i];
            if (slot.text.isNull()) {
                QString stored = toQString(text);
                if (internCount_ < kMaxInterned) {
                    slot.hash = h;
                    slot.text = stored;
                    if (++internCount_ * 2 > interned_.size()) growInterned();
                }
                return stored;
            }
            if (slot.hash == h && slot.text.size() == static_cast<qsizetype>(text.size()) &&
                std::memcmp(slot.text.constData(), text.data(), text.size() * 2) == 0)
                return slot.text;
        }
    }

    // Four code units at a time; the table only needs a cheap, well-spread hash.
    static size_t hashOf(std::u16string_view text) {
        uint64_t h = 0x9E3779B97F4A7C15ULL ^ text.size();
        size_t i = 0;
        for (; i + 4 <= text.size(); i += 4) {
            uint64_t chunk;
            std::memcpy(&chunk, text.data() + i, 8);
            h = (h ^ chunk) * 0xFF51AFD7ED558CCDULL;
            h ^= h >> 32;
        }
        for (; i < text.size(); ++i) h = (h ^ text[i]) * 0xC4CEB9FE1A85EC53ULL;
        return static_cast<size_t>(h ^ (h >> 29));
    }

    void growInterned() {
        std::vector<Interned> old(interned_.size() * 2);
        old.swap(interned_);
        const size_t mask = interned_.size() - 1;
        for (Interned& e : old) {
            if (e.text.isNull()) continue;
            size_t i = e.hash & mask;
            while (!interned_[i].text.isNull()) i = (i + 1) & mask;
            interned_[i] = std::move(e);
        }
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

    // Position of the first closing character or backslash at or after i, or the end.
    qsizetype scanString(qsizetype i, char16_t close) const {
#if defined(__SSE2__)
        const __m128i quote = _mm_set1_epi16(static_cast<short>(close));
        const __m128i backslash = _mm_set1_epi16(u'\\');
        for (; i + 8 <= n_; i += 8) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d_ + i));
            const int mask = _mm_movemask_epi8(
                _mm_or_si128(_mm_cmpeq_epi16(chunk, quote), _mm_cmpeq_epi16(chunk, backslash)));
            if (mask != 0) return i + __builtin_ctz(static_cast<unsigned>(mask)) / 2;
        }
#endif
        while (i < n_ && d_[i] != close && d_[i] != u'\\') ++i;
        return i;
    }

    QString readString() {
        skipBlanks();
        const char16_t close = d_[pos_];
        ++pos_;
        // Most strings hold no escape: take them straight from the text.
        const qsizetype start = pos_;
        const qsizetype i = scanString(pos_, close);
        if (i < n_ && d_[i] == close) {
            pos_ = i + 1;
            const std::u16string_view text(d_ + start, static_cast<size_t>(i - start));
            // values (areas, table names, dates, notes) repeat as often as keys do
            return intern(text);
        }
        gather_.assign(d_ + start, static_cast<size_t>(i - start));
        pos_ = i;
        while (pos_ < n_) {
            const char16_t c = d_[pos_];
            if (c == u'\\') {
                ++pos_;
                if (atEnd()) break;
                const char16_t e = d_[pos_];
                switch (e) {
                    case u'"':
                    case u'\\':
                    case u'/':
                    case u'\'':
                        gather_.push_back(e);
                        ++pos_;
                        break;
                    case u'b':
                        gather_.push_back(u'\b');
                        ++pos_;
                        break;
                    case u'f':
                        gather_.push_back(u'\f');
                        ++pos_;
                        break;
                    case u'n':
                        gather_.push_back(u'\n');
                        ++pos_;
                        break;
                    case u'r':
                        gather_.push_back(u'\r');
                        ++pos_;
                        break;
                    case u't':
                        gather_.push_back(u'\t');
                        ++pos_;
                        break;
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
                const qsizetype j = scanString(pos_ + 1, close);
                gather_.append(d_ + pos_, static_cast<size_t>(j - pos_));
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
    qsizetype pos_ = 0;      // 0-based here; messages show it 1-based
    QString failure_;        // description of the last element failure
    std::u16string gather_;  // one gathering buffer for every string and key of the parse
    struct Interned {
        size_t hash = 0;
        QString text;  // null while the slot is free
    };
    static constexpr size_t kMaxInterned = 8192;
    std::vector<Interned> interned_;
    size_t internCount_ = 0;
    std::vector<std::unique_ptr<Scratch>> scratch_;
};

}  // namespace

ParseResult parse(const QString& text) {
    ParseResult result;
    Reader reader(text, result.errors);
    result.value = reader.parse();
    lastErrors() = result.errors;
    return result;
}

const QString& parseErrors() {
    return lastErrors();
}

}  // namespace json
