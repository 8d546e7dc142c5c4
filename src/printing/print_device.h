#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

namespace printing {

/** Paper width of an 80 mm roll in twips (1/1440 inch): the width when none is given. */
constexpr int kRollWidth = 4535;

/** One item of a Print call: a text, or a tab to a 1-based column. */
struct PrintItem {
    enum class Kind { Text, Tab };
    Kind kind = Kind::Text;
    QString text;
    int column = 0;

    static PrintItem ofText(QString t) { return {Kind::Text, std::move(t), 0}; }
    static PrintItem tabTo(int n) { return {Kind::Tab, {}, n}; }
};

/**
 * One printer as the layouts drive it. Every operation may raise json::RuntimeError
 * (number 482 with the printing system's own message for device failures).
 * The first output after a selection, or after the previous document ended, opens a document.
 */
class PrintDevice {
  public:
    virtual ~PrintDevice() = default;

    virtual QString deviceName() const = 0;
    /** Paper width in twips (1/1440 inch). */
    virtual int pageWidth() const = 0;

    virtual QString fontName() const = 0;
    virtual void setFontName(const QString& name) = 0;
    virtual float fontSize() const = 0;
    virtual void setFontSize(float points) = 0;
    virtual bool fontBold() const = 0;
    virtual void setFontBold(bool on) = 0;
    /** The second emphasis flag (italic); only ever switched off by the layouts. */
    virtual bool fontItalic() const = 0;
    virtual void setFontItalic(bool on) = 0;

    /**
     * Prints the items one after the other. A tab moves to column n (1 when n < 1), or to
     * column n of the next line when the position is already past n. The line ends after
     * the last item unless continueLine is set. Numbers arrive already formatted as text.
     */
    virtual void print(const QList<PrintItem>& items, bool continueLine = false) = 0;

    /** Printed width and line height of a text in the current font, in twips. */
    virtual double textWidth(const QString& text) = 0;
    virtual double textHeight(const QString& text) = 0;

    /** Paints a picture file at a position and size in twips. */
    virtual void paintPicture(const QString& picturePath, int x, int y, int width, int height) = 0;

    /** Ends the open document: the ticket prints. Without an open document, nothing. */
    virtual void endDoc() = 0;
    /** Discards the open document: nothing prints. */
    virtual void killDoc() = 0;
};

/**
 * The installed printers and the system's default. Owns the devices; a device stays valid
 * while the system lives. The printer list's order is stable while a job prints.
 */
class PrinterSystem {
  public:
    virtual ~PrinterSystem() = default;

    /** Device names of the installed printers, index 0 first. */
    virtual QStringList printers() = 0;
    /** The device at an index; RuntimeError "Subscript out of range" outside the list. */
    virtual PrintDevice& printer(int index) = 0;
    /** Name of the system's default printer; "" when none is configured. */
    virtual QString defaultPrinterName() = 0;
    /** Writes raw bytes as one raw job to the named printer. Raises on failure. */
    virtual void writeRaw(const QString& deviceName, const QByteArray& bytes) = 0;

    /**
     * Where the next ended document (or, with `raw`, the next raw write) on `printer` will
     * go, when that is known before it is sent (a file); "" otherwise. A journal records it
     * first, so that after a crash it can tell a sent ticket from one never sent.
     */
    virtual QString nextJob(const QString& printer, bool raw) {
        Q_UNUSED(printer);
        Q_UNUSED(raw);
        return {};
    }

    /** Names the next ended document or raw write (a CUPS job-name), so a restart can ask. */
    virtual void setJobName(const QString& name) { Q_UNUSED(name); }
    /**
     * What became of a job sent to `printer` under a name given to setJobName; Unknown when
     * the printer cannot be asked (a network printer fed straight through a socket).
     */
    enum class JobFate { Unknown, Missing, Waiting, Done, Unsent };
    virtual JobFate jobFate(const QString& printer, const QString& name) {
        Q_UNUSED(printer);
        Q_UNUSED(name);
        return JobFate::Unknown;
    }
    /** Cancels what is left of the jobs sent under that name. */
    virtual void cancelJobs(const QString& name) { Q_UNUSED(name); }
};

}  // namespace printing
