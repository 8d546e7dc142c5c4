#include "font_table.h"

#include <QFontDatabase>

namespace printing {

namespace {
QString key(const QString& name) {
    return name.trimmed().toUpper();
}
const QString kMono = QStringLiteral("DejaVu Sans Mono");
}  // namespace

FontTable::FontTable() : default_{kMono, 17} {
    setSubstitute(QStringLiteral("Courier 17 CPI"), {kMono, 17});
    setSubstitute(QStringLiteral("Courier 14 CPI"), {kMono, 14});
}

void FontTable::setSubstitute(const QString& printerFont, const Face& face) {
    table_.insert(key(printerFont), face);
}

FontTable::Face FontTable::face(const QString& printerFont) const {
    auto it = table_.constFind(key(printerFont));
    if (it != table_.constEnd()) return it.value();
    const QString name = printerFont.trimmed();
    if (!name.isEmpty() && QFontDatabase::hasFamily(name)) return {name, 0};
    return default_;
}

}  // namespace printing
