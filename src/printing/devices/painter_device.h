#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

#include "font_table.h"
#include "painted_document.h"
#include "printing/print_device.h"

namespace printing {

/**
 * A printer drawn with QPainter: lines are laid out in twips with the font the printer font
 * name maps to, and an ended document is handed over as a PaintedDocument (to be rendered
 * as PDF for a print queue or a file, or as an image).
 *
 * The open hook runs when a document opens (the first output after a selection or after
 * the previous document ended) and refuses the document by throwing json::RuntimeError;
 * the end hook receives the ended document and may throw as well. The document is closed
 * either way.
 */
class PainterDevice : public PrintDevice {
  public:
    using OpenHook = std::function<void()>;
    using EndHook = std::function<void(const PaintedDocument&)>;

    /**
     * pageHeight 0: one endless page per ticket. With trimmed set (paper on a roll) each
     * page ends below its content; otherwise pages keep the full height.
     */
    PainterDevice(QString name, int pageWidth, int pageHeight = 0, bool trimmed = true,
                  FontTable fonts = {});

    void setOpenHook(OpenHook hook) { openHook_ = std::move(hook); }
    void setEndHook(EndHook hook) { endHook_ = std::move(hook); }

    QString deviceName() const override { return name_; }
    int pageWidth() const override { return pageWidth_; }
    int pageHeight() const { return pageHeight_; }

    QString fontName() const override { return fontName_; }
    void setFontName(const QString& name) override;
    float fontSize() const override { return fontSize_; }
    void setFontSize(float points) override;
    bool fontBold() const override { return bold_; }
    void setFontBold(bool on) override;
    bool fontItalic() const override { return italic_; }
    void setFontItalic(bool on) override;

    void print(const QList<PrintItem>& items, bool continueLine = false) override;
    double textWidth(const QString& text) override;
    double textHeight(const QString& text) override;
    void paintPicture(const QString& picturePath, int x, int y, int width, int height) override;
    void endDoc() override;
    void killDoc() override;

    bool documentOpen() const { return doc_.has_value(); }
    /** The drawing font of the current settings (pixel size in twips). */
    QFont currentFont() const { return font_; }
    /** Width of one tab column in the current font, twips. */
    double columnWidth();

  private:
    struct Run {
        QFont font;
        double x;
        double ascent;
        double height;
        QString text;
    };

    void openIfNeeded();
    void addRun(const QString& text);
    void endLine();
    void rebuildFont();
    static QFont baseFont(const QString& family);
    static double naturalAdvance(const QString& family);
    const QFontMetricsF& metrics();

    QString name_;
    int pageWidth_;
    int pageHeight_;
    bool trimmed_;
    FontTable fonts_;
    OpenHook openHook_;
    EndHook endHook_;

    QString fontName_ = QStringLiteral("Courier New");
    float fontSize_ = 10.0f;
    bool bold_ = false;
    bool italic_ = false;
    QFont font_;
    std::optional<QFontMetricsF> metrics_;

    std::optional<PaintedDocument> doc_;
    double x_ = 0;  // print position on the current line, twips
    double y_ = 0;  // top of the current line on the current page, twips
    QList<Run> line_;
};

}  // namespace printing
