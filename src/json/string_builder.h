#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

namespace json {

/**
 * Growable text buffer. Sizes given and taken are in characters (UTF-16 code units); the
 * storage grows by whole chunks, so appending copies only the appended text. Failures raise
 * RuntimeError and leave the content unchanged: 9 for a position or length outside the
 * text, 6 when a size does not fit in 32 bits, 5 for a chunk size below 1.
 */
class StringBuilder {
  public:
    int length() const { return used_ / 2; }
    int capacity() const { return capacity_ / 2; }
    int chunkSize() const { return chunk_ / 2; }
    void setChunkSize(int size);

    /** The text; the empty string when nothing is held. */
    QString toString() const;
    /** Replaces the whole text; the storage is kept when it is already large enough. */
    void setText(QStringView text);

    /** Empties the builder and drops its storage; the chunk size stays. */
    void clear();
    void append(QStringView text);
    /** Append, then CR LF. */
    void appendLine(QStringView text);
    /** Inserts before the 0-based position index; index == length() appends. */
    void insert(int index, QStringView text);
    /** Removes count characters from the 0-based position index. */
    void remove(int index, int count);
    /**
     * 1-based position of the first occurrence of needle at or after start (below 1
     * reads as 1), or 0. compare 0 is exact, 1 ignores case the Unicode way. Only matches
     * wholly inside the text are reported.
     */
    int find(QStringView needle, int start = 1, int compare = 0) const;
    /** Gives back storage, keeping at most one chunk of free space. */
    void heapMinimize();

  private:
    // Grows the capacity by whole chunks until it holds `needed` bytes.
    void growTo(std::int32_t needed);

    // Sizes in bytes, two per character, as 32-bit values with overflow checks.
    QString buffer_;  // its length is the capacity; the tail past the text is never shown
    std::int32_t chunk_ = 16384;
    std::int32_t used_ = 0;
    std::int32_t capacity_ = 0;
};

}  // namespace json
