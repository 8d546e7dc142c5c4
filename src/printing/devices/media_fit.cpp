#include "media_fit.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace printing {

int twipsOfHundredths(int hundredthsMm) {
    return static_cast<int>(std::lround(hundredthsMm / 2540.0 * 1440.0));
}

double inkedWidth(const PaintedDocument& doc) {
    double right = 0;
    for (const PaintedDocument::Page& page : doc.pages()) {
        for (const PaintedDocument::Op& op : page.ops) {
            if (const auto* t = std::get_if<PaintedDocument::Text>(&op)) {
                // Trailing blanks leave no ink.
                qsizetype end = t->text.size();
                while (end > 0 && t->text.at(end - 1).isSpace()) --end;
                if (end == 0) continue;
                const double advance = QFontMetricsF(t->font).horizontalAdvance(t->text.left(end));
                right = std::max(right, t->baseline.x() + advance);
            } else if (const auto* p = std::get_if<PaintedDocument::Picture>(&op)) {
                right = std::max(right, static_cast<double>(p->rect.x() + p->rect.width()));
            }
        }
    }
    return right;
}

Placement placeOnMedia(const Media& media, const PaintedDocument& doc) {
    Placement place;
    if (!media.known()) {
        // Nothing to go by: the page is the ticket, as painted.
        place.pageWidth = doc.pageWidth();
        place.pageHeight = doc.renderedHeight(0);
        return place;
    }
    place.pageWidth = twipsOfHundredths(media.width);
    place.left = twipsOfHundredths(media.left);
    place.top = twipsOfHundredths(media.top);
    const double printable = twipsOfHundredths(std::max(1, media.printableWidth()));
    const double ink = inkedWidth(doc);
    if (ink > printable) place.scale = printable / ink;

    if (!media.customLength) {
        place.pageHeight = twipsOfHundredths(media.length);
        return place;
    }
    int tallest = 0;
    for (int i = 0; i < doc.pages().size(); ++i) tallest = std::max(tallest, doc.renderedHeight(i));
    // Whole millimetres, rounded up, so the last line is never cut.
    const double ticketHundredths = tallest * place.scale * 2540.0 / 1440.0;
    int length = static_cast<int>(std::ceil((ticketHundredths + media.top + media.bottom) / 100.0));
    length = std::max(length, (media.minLength + 99) / 100);
    if (media.maxLength > 0) length = std::min(length, media.maxLength / 100);
    place.pageHeight = twipsOfHundredths(length * 100);
    place.mediaOption = QStringLiteral("Custom.%1x%2mm")
                            .arg(QString::number(media.width / 100.0, 'g', 6))
                            .arg(length);
    return place;
}

}  // namespace printing
