#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>

#include "font_table.h"
#include "painted_document.h"
#include "printing/ajustes_impresoras.h"
#include "printing/print_device.h"

namespace printing {

class PainterDevice;

/**
 * A receipt printer driven in its own command language (ESC/POS), one job of bytes per
 * ticket. Every job starts with ESC @ and ends with a feed and cut (GS V 66 0), or with five
 * blank lines (ESC d 5) when the printer has no cutter.
 *
 * - Raster (`escpos`): the ticket is painted exactly as for the 203 dpi picture preview and
 *   sent as GS v 0 bands, a grey below 128 being a dot. Exact for every letter and the logo.
 * - Text (`escpos-text`): the printer's own fonts, in a code page chosen with ESC t n. Sizes
 *   below 10 points print in the small font B, 15 points and above at double height (never
 *   double width); bold is ESC E. Widths are measured in the printer's character cells, so
 *   the layouts wrap where the printer would, and no printed line is longer than the paper:
 *   a longer one breaks at its last blank. The logo prints as a GS v 0 picture.
 *
 * The open hook runs when a document opens and may refuse it by throwing json::RuntimeError;
 * the sink receives the whole job at endDoc and may throw as well (the document is closed
 * either way). A character the code page lacks prints as "?", and the log names it once per
 * ticket.
 */
class EscposDevice : public PrintDevice {
  public:
    using Sink = std::function<void(const QByteArray&)>;
    using OpenHook = std::function<void()>;
    using Log = std::function<void(const QString&)>;

    static constexpr int kDpi = 203;

    /**
     * pageWidth in twips as the layouts see the paper; 0 takes it from the settings' width
     * (3288 for 58 mm, 4535 for 80 mm). The kind `escpos-text` prints in text mode, every
     * other kind as a raster.
     */
    EscposDevice(QString name, const AjustesImpresora& ajustes, int pageWidth = 0,
                 FontTable fonts = {});
    ~EscposDevice() override;
    EscposDevice(const EscposDevice&) = delete;
    EscposDevice& operator=(const EscposDevice&) = delete;

    void setSink(Sink sink) { sink_ = std::move(sink); }
    void setOpenHook(OpenHook hook) { openHook_ = std::move(hook); }
    void setLog(Log log) { log_ = std::move(log); }

    bool textMode() const { return text_; }
    const AjustesImpresora& ajustes() const { return ajustes_; }

    QString deviceName() const override { return name_; }
    int pageWidth() const override { return pageWidth_; }
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
    bool documentOpen() const;

    /**
     * A painted ticket as the printer's dots: exactly `dots` wide, black 0 and white 255, its
     * left edge at the left of the printable area, scaled down to fit when its ink is wider,
     * the blank rows below the last line trimmed. Refuses a ticket too long for a picture.
     */
    static QImage rasterImage(const PaintedDocument& doc, int dots);
    /** The same from the ticket's grey picture at 203 dpi (as the preview draws it). */
    static QImage fitToDots(const QImage& grey, int dots);
    /** A black-and-white picture (a grey below 128 is a dot) as GS v 0 bands of 256 rows. */
    static QByteArray rasterBands(const QImage& picture);
    /** The whole raster job of a painted ticket for a printer with these settings. */
    static QByteArray rasterJob(const PaintedDocument& doc, const AjustesImpresora& ajustes);
    /** The whole raster job of a picture already fitted to the printer's dots. */
    static QByteArray rasterJob(const QImage& fitted, const AjustesImpresora& ajustes);

  private:
    // One printed character and the style it prints in (the bits of kStyle*).
    struct Cell {
        char32_t character;
        int style;
    };

    int style() const;
    int cellDots(int style) const;
    int lineDots(int style) const;
    int usedDots() const;
    void openIfNeeded();
    void addCharacter(char32_t c);
    void breakLine();
    void endLine();
    void writeLine(const QList<Cell>& cells);
    void writeStyle(int style);
    void endJob();

    QString name_;
    AjustesImpresora ajustes_;
    int pageWidth_;
    bool text_;
    Sink sink_;
    OpenHook openHook_;
    Log log_;

    QString fontName_ = QStringLiteral("Courier New");
    float fontSize_ = 10.0f;
    bool bold_ = false;
    bool italic_ = false;

    std::unique_ptr<PainterDevice> painter_;  // raster mode

    // Text mode: the job so far, the line being built and what the printer is set to.
    bool open_ = false;
    QByteArray job_;
    QList<Cell> line_;
    int printerStyle_ = 0;
    int pictureRoom_ = 0;  // dots of a picture that the blank lines after it stand for
    QSet<char32_t> missing_;
};

}  // namespace printing
