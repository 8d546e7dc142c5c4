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

/** The longest ticket painted as one picture: 10 m of paper at 203 dpi, in dots. */
constexpr int kMaxPictureDots = 80000;

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
    /** Size in dots of the pages stacked top to bottom at the given resolution. */
    QSize imageSize(int dpi) const;
    /**
     * Throws json::RuntimeError 482 "ticket demasiado largo para una imagen" when the
     * document is longer than kMaxPictureDots at the resolution: call it before making any
     * picture of it (PNG, raster), so that nothing is allocated for such a ticket.
     */
    void checkPictureLength(int dpi) const;
    /** The pages stacked top to bottom on a white image at the given resolution. */
    QImage toImage(int dpi) const;

  private:
    int pageWidth_;
    int pageHeight_;
    bool trimmed_;
    QList<Page> pages_;
};

}  // namespace printing
