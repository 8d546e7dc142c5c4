#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "font_table.h"
#include "printing/ajustes_impresoras.h"
#include "printing/entorno.h"
#include "printing/print_device.h"
#include "printing/tape_device.h"

namespace printing {

/**
 * Printers that write their tickets as files into a folder instead of onto paper. Every
 * ended document and every raw write takes the next number of one sequence (001, 002, ...,
 * going on after the highest number already in the folder; no file is ever replaced) and
 * becomes NNN-PRINTER.txt (the text tape), .pdf, .png and/or .escpos, or NNN-PRINTER.raw
 * (the raw bytes exactly). One document gives the same number in every format.
 *
 * The text tape is always laid out, whatever the formats: its metrics decide every wrap, so
 * the tape is byte for byte what a tape printer alone would print, and the pictures follow
 * the same lines.
 *
 * The .escpos file holds the exact bytes a raw queue of that printer would receive with its
 * [impresoras] settings: the raster of the painted ticket, or, for an `escpos-text` printer,
 * the printer's own text. The printer's own fonts wrap elsewhere than the tape, so those
 * files come from a second layout pass of the same document on ESC/POS text devices (see
 * attach()).
 */
class VirtualPrinterSystem : public PrinterSystem {
  public:
    struct Formats {
        bool text = true;
        bool pdf = false;
        bool png = false;
        bool escpos = false;
    };
    /** Parses "text,pdf,png,escpos" (any non-empty subset, any order); nothing on a bad list. */
    static std::optional<Formats> parseFormats(const QString& list);
    /** The printer name as it appears in file names: only A-Z a-z 0-9 . _ - kept. */
    static QString safeName(const QString& printer);
    /** "NNN-PRINTER.EXT". */
    static QString fileName(int number, const QString& printer, const QString& extension);

    /** The highest NNN of the NNN-... files in a folder; 0 when there is none. */
    static int highestNumber(const QString& folder);

    static constexpr int kPngDpi = 203;  // thermal printers' resolution

    VirtualPrinterSystem(QString folder, Formats formats, FontTable fonts = {});
    ~VirtualPrinterSystem() override;
    VirtualPrinterSystem(const VirtualPrinterSystem&) = delete;
    VirtualPrinterSystem& operator=(const VirtualPrinterSystem&) = delete;

    /** An offline printer fails its probe, its prints and its raw writes. */
    void addPrinter(const QString& name, int pageWidth = kRollWidth, bool offline = false);
    void setDefaultPrinterName(const QString& name);
    /** The [impresoras] settings; give them before the printers are added. */
    void setAjustes(AjustesImpresoras ajustes) { ajustes_ = std::move(ajustes); }
    /**
     * A printer's ESC/POS settings: the [impresoras] ones, the paper from its page width
     * (4535 twips and above is 80 mm, narrower 58 mm) unless they give a width or dots.
     */
    AjustesImpresora ajustesDe(const QString& name, int pageWidth) const;
    /**
     * Lets every document dispatched with this Entorno be laid out a second time for the
     * escpos-text printers (through Entorno::otraPasada), with the clock readings of the first
     * pass. Needed only with the escpos format.
     */
    void attach(Entorno& e);

    QStringList printers() override;
    PrintDevice& printer(int index) override;
    QString defaultPrinterName() override;
    void writeRaw(const QString& deviceName, const QByteArray& bytes) override;

    /**
     * The file the next ended document (or, with `raw`, the next raw write) on `printer`
     * becomes: known before it is sent, so a journal can record it first.
     */
    QString nextJob(const QString& printer, bool raw) override;
    /** The first file of the last ended document or raw write; "" before any. */
    QString lastJob() const { return lastJob_; }

    QString folder() const { return folder_; }
    /** Paths of the files written so far, in print order. */
    const QStringList& writtenFiles() const { return written_; }
    /** The first file that could not be written, with the reason; "" when none failed. */
    const QString& writeError() const { return writeError_; }

  private:
    class Device;
    friend class Device;
    class TextPass;
    friend class TextPass;

    void layOutAgain(const json::JsonValue& document, const Entorno& first);

    int nextNumber();
    void writeFile(const QString& name, const QByteArray& data);

    QString folder_;
    Formats formats_;
    FontTable fonts_;
    TapePrinterSystem tapes_;
    std::vector<std::unique_ptr<Device>> devices_;
    AjustesImpresoras ajustes_;
    std::unique_ptr<TextPass> textPass_;
    std::shared_ptr<QList<QDateTime>> clockReadings_;
    int sequence_ = 0;
    bool scanned_ = false;   // the folder's highest number has been read
    int pendingNumber_ = 0;  // number of the document being ended
    QStringList written_;
    QString lastJob_;
    int lastJobNumber_ = 0;
    QString writeError_;
};

}  // namespace printing
