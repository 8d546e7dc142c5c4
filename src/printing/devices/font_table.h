#pragma once

#include <QHash>
#include <QString>

namespace printing {

/**
 * Maps the printer font names the layouts ask for ("Courier 17 CPI", "Courier 14 CPI") to
 * an installed family and a pitch. The ticket printers' own faces keep their pitch at every
 * size, as their name says: "Courier 17 CPI" prints 17 characters per inch (32 columns fill
 * a 58 mm roll) whether the letters are 7 or 16 points high; a larger size makes the
 * letters taller and narrower, not the line longer.
 *
 * A name missing from the table is drawn in that family, at its own width, when such a
 * family is installed; otherwise the printer's own face (the default entry) stands in.
 */
class FontTable {
  public:
    struct Face {
        QString family;
        double cpi = 0;  // characters per inch at any size; 0 keeps the family's own width
    };

    FontTable();

    void setSubstitute(const QString& printerFont, const Face& face);
    void setDefaultFace(const Face& face) { default_ = face; }
    Face defaultFace() const { return default_; }

    /** The face to draw with for a printer font name. Needs a running QGuiApplication. */
    Face face(const QString& printerFont) const;

  private:
    QHash<QString, Face> table_;  // keyed by the upper-cased, trimmed printer font name
    Face default_;
};

}  // namespace printing
