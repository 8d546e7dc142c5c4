// Feeds arbitrary bytes to the reader, as UTF-8 and as raw UTF-16, and writes the tree back
// out. Checks what every caller relies on: a root is a container, and no root means exactly
// "Invalid JSON".
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "json/canonical.h"
#include "json/parser.h"

namespace {

void check(const QString& text) {
    const auto [root, errors] = json::parse(text);
    if (root.isEmpty()) {
        if (errors != u"Invalid JSON") std::abort();
        return;
    }
    if (!root.isContainer()) std::abort();
    if (json::canonicalForm(root).isEmpty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    check(QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    // raw code units reach lone surrogates and characters UTF-8 decoding never yields
    check(QString(reinterpret_cast<const QChar*>(data), static_cast<qsizetype>(size / 2)));
    return 0;
}
