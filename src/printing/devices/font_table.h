#pragma once

#include <QHash>
#include <QString>

namespace printing {

/**
 * Maps the printer font names the layouts ask for ("Courier 17 CPI", "Courier 14 CPI") to
 * an installed family. A name missing from the table is used as it is when such a family
 * is installed, else the default family stands in.
 */
class FontTable {
public:
    FontTable();

    void setSubstitute(const QString& printerFont, const QString& family);
    void setDefaultFamily(const QString& family) { defaultFamily_ = family; }
    QString defaultFamily() const { return defaultFamily_; }

    /** The family to draw with for a printer font name. Needs a running QGuiApplication. */
    QString family(const QString& printerFont) const;

private:
    QHash<QString, QString> table_;  // keyed by the upper-cased, trimmed printer font name
    QString defaultFamily_;
};

}  // namespace printing
