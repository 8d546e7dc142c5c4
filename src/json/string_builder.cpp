#include "json/string_builder.h"

#include <cstring>
#include <limits>

#include "json/runtime_error.h"

namespace json {

namespace {

std::int32_t checked(long long v) {
    if (v > std::numeric_limits<std::int32_t>::max() ||
        v < std::numeric_limits<std::int32_t>::min())
        throw RuntimeError::overflow();
    return static_cast<std::int32_t>(v);
}

std::int32_t bytesOf(QStringView s) {
    return checked(static_cast<long long>(s.size()) * 2);
}

}  // namespace

void StringBuilder::setChunkSize(int size) {
    if (size < 1) throw RuntimeError::invalidCall();
    chunk_ = checked(static_cast<long long>(size) * 2);
}

QString StringBuilder::toString() const {
    if (used_ < 1) return QString();
    return QString(buffer_.constData(), used_ / 2);
}

void StringBuilder::growTo(std::int32_t needed) {
    if (needed <= capacity_) return;
    const long long missing = static_cast<long long>(needed) - capacity_;
    const long long chunks = (missing + chunk_ - 1) / chunk_;
    const std::int32_t newCapacity = checked(capacity_ + chunks * chunk_);
    buffer_.resize(newCapacity / 2, u' ');
    capacity_ = newCapacity;
}

void StringBuilder::setText(QStringView text) {
    const std::int32_t n = bytesOf(text);
    if (n == 0) {
        clear();
        return;
    }
    growTo(n);
    std::memmove(buffer_.data(), text.data(), static_cast<size_t>(n));
    used_ = n;
}

void StringBuilder::clear() {
    buffer_ = QString();
    used_ = 0;
    capacity_ = 0;
}

void StringBuilder::append(QStringView text) {
    const std::int32_t n = bytesOf(text);
    if (n == 0) return;
    const std::int32_t end = checked(static_cast<long long>(used_) + n);
    if (text.data() >= buffer_.constData() && text.data() < buffer_.constData() + buffer_.size()) {
        // appending a piece of our own text: take a copy before the storage moves
        const QString copy = text.toString();
        growTo(end);
        std::memcpy(buffer_.data() + used_ / 2, copy.constData(), static_cast<size_t>(n));
    } else {
        growTo(end);
        std::memcpy(buffer_.data() + used_ / 2, text.data(), static_cast<size_t>(n));
    }
    used_ = end;
}

void StringBuilder::appendLine(QStringView text) {
    append(text);
    append(u"\r\n");
}

void StringBuilder::insert(int index, QStringView text) {
    if (index < 0) throw RuntimeError::subscriptOutOfRange();
    const std::int32_t at = checked(static_cast<long long>(index) * 2);
    if (at > used_) throw RuntimeError::subscriptOutOfRange();
    const std::int32_t n = bytesOf(text);
    if (n == 0) return;
    const std::int32_t end = checked(static_cast<long long>(used_) + n);
    const QString copy = text.toString();  // the text may be a piece of our own buffer
    growTo(end);
    QChar* base = buffer_.data();
    std::memmove(base + (at + n) / 2, base + at / 2, static_cast<size_t>(used_ - at));
    std::memcpy(base + at / 2, copy.constData(), static_cast<size_t>(n));
    used_ = end;
}

void StringBuilder::remove(int index, int count) {
    if (index < 0 || count < 0) throw RuntimeError::subscriptOutOfRange();
    const std::int32_t at = checked(static_cast<long long>(index) * 2);
    const std::int32_t to = checked((static_cast<long long>(index) + count) * 2);
    if (at > used_ || to > used_) throw RuntimeError::subscriptOutOfRange();
    if (to == at) return;
    QChar* base = buffer_.data();
    std::memmove(base + at / 2, base + to / 2, static_cast<size_t>(used_ - to));
    used_ -= to - at;
}

int StringBuilder::find(QStringView needle, int start, int compare) const {
    const qsizetype from = start < 1 ? 0 : start - 1;
    const QStringView text(buffer_.constData(), used_ / 2);
    if (from > text.size()) return 0;
    const qsizetype at =
        text.indexOf(needle, from, compare == 1 ? Qt::CaseInsensitive : Qt::CaseSensitive);
    return at < 0 ? 0 : static_cast<int>(at + 1);
}

void StringBuilder::heapMinimize() {
    if (capacity_ - used_ <= chunk_) return;
    // the loop runs at most (capacity / chunk) times and stops one chunk above the text
    const std::int32_t excessChunks = (capacity_ - used_ - 1) / chunk_;
    const std::int32_t working = capacity_ - excessChunks * chunk_;
    buffer_.truncate(working / 2);
    buffer_.squeeze();
    capacity_ = working;
}

}  // namespace json
