#include "font_table.h"

#include <QFontDatabase>

namespace printing {

namespace {
QString key(const QString& name) { return name.trimmed().toUpper(); }
}  // namespace

FontTable::FontTable() : defaultFamily_(QStringLiteral("DejaVu Sans Mono")) {
    // The ticket printers' built-in condensed faces; any fixed-pitch family keeps the columns.
    setSubstitute(QStringLiteral("Courier 17 CPI"), defaultFamily_);
    setSubstitute(QStringLiteral("Courier 14 CPI"), defaultFamily_);
}

void FontTable::setSubstitute(const QString& printerFont, const QString& family) {
    table_.insert(key(printerFont), family);
}

QString FontTable::family(const QString& printerFont) const {
    auto it = table_.constFind(key(printerFont));
    if (it != table_.constEnd()) return it.value();
    const QString name = printerFont.trimmed();
    if (!name.isEmpty() && QFontDatabase::hasFamily(name)) return name;
    return defaultFamily_;
}

}  // namespace printing
