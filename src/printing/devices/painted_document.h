#pragma once

#include <QFont>
#include <QIODevice>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QString>
#include <variant>

namespace printing {

/**
 * An ended ticket laid out in twips (1/1440 inch), page by page, ready to be rendered on a
 * PDF or an image. Fonts carry their size as a pixel size in twips.
 */
class PaintedDocument {
  public:
    struct Text {
        QFont font;
        QPointF baseline;  // twips from the page's top-left corner
        QString text;
    };
    struct Picture {
        QImage image;
        QRect rect;  // twips
    };
    using Op = std::variant<Text, Picture>;
    struct Page {
        QList<Op> ops;
        double usedHeight = 0;  // twips down to the lowest line or picture
    };

    /**
     * pageHeight 0: one endless page. A trimmed document (a roll) ends each page below its
     * content instead of at the full page height.
     */
    PaintedDocument(int pageWidth, int pageHeight, bool trimmed);

    int pageWidth() const { return pageWidth_; }
    int pageHeight() const { return pageHeight_; }
    bool trimmed() const { return trimmed_; }
    const QList<Page>& pages() const { return pages_; }
    /** Height of a page as rendered, twips: the page height, or down to its content. */
    int renderedHeight(int page) const;

    Page& currentPage() { return pages_.last(); }
    void newPage() { pages_.append(Page{}); }

    /** Writes the document as PDF, one PDF page per page. False when the device fails. */
    bool writePdf(QIODevice* out, const QString& title) const;
    /** The pages stacked top to bottom on a white image at the given resolution. */
    QImage toImage(int dpi) const;
    /** Rows of that image, computed without drawing it. */
    qint64 imageHeight(int dpi) const;

  private:
    int pageWidth_;
    int pageHeight_;
    bool trimmed_;
    QList<Page> pages_;
};

/** The tallest picture a ticket may become, in rows (about ten metres of paper at 203 dpi). */
constexpr qint64 kMaxImageRows = 80000;

/**
 * Refuses, before anything is allocated, a ticket whose picture at that resolution would be
 * taller than kMaxImageRows: json::RuntimeError 482 "ticket demasiado largo para una imagen".
 */
void checkImageHeight(const PaintedDocument& doc, int dpi);

}  // namespace printing
