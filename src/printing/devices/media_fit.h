#pragma once

#include <QString>

#include "painted_document.h"

namespace printing {

/**
 * A print queue's paper as its driver describes it: size and unprintable margins in
 * hundredths of a millimetre. A driver that takes custom lengths (a roll cut per ticket)
 * gets one page as long as each ticket.
 */
struct Media {
    int width = 0;
    int length = 0;
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    bool customLength = false;
    int minLength = 0;
    int maxLength = 0;

    bool known() const { return width > 0 && length > 0; }
    int printableWidth() const { return width - left - right; }
    int printableLength() const { return length - top - bottom; }
};

/** Where a painted ticket goes on the queue's page. Sizes and offsets in twips. */
struct Placement {
    int pageWidth = 0;
    int pageHeight = 0;
    double left = 0;
    double top = 0;
    /** Never above 1: a ticket is never enlarged, only shrunk to the printable width. */
    double scale = 1;
    /** The job's `media` option for a custom length ("Custom.80x143mm"); "" for a fixed size. */
    QString mediaOption;
};

/** Twips of a length in hundredths of a millimetre. */
int twipsOfHundredths(int hundredthsMm);

/** The right edge of the rightmost text or picture of the document, twips. */
double inkedWidth(const PaintedDocument& doc);

/**
 * Lays a ticket out on the printable area: at its top-left corner, inside the margins,
 * shrunk when its ink is wider than the printable width. On custom lengths the page is as
 * long as the ticket (within the driver's limits); on fixed sizes it is the media itself.
 */
Placement placeOnMedia(const Media& media, const PaintedDocument& doc);

}  // namespace printing
