#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "print_device.h"

namespace printing {

class TapePrinterSystem;

/**
 * One piece of output of the tape printers, in print order: an ended document as a tape
 * (UTF-8 text, one "SIZE[B]|text" line per printed line) or the bytes of a raw write.
 */
struct TapeOutput {
    enum class Kind { Tape, Raw };
    QString printer;
    Kind kind = Kind::Tape;
    QByteArray content;
};

/**
 * A deterministic text printer: every character is 12 x size twips wide, a line is
 * 24 x size twips high and a tab column is one character. Lines are kept as
 * "SIZE[B]|text" with the size and bold in force when the line ended; a painted picture
 * is the line "PICTURE|x,y,w,h".
 */
class TapeDevice : public PrintDevice {
  public:
    TapeDevice(TapePrinterSystem* owner, QString name, int pageWidth);

    QString deviceName() const override { return name_; }
    int pageWidth() const override { return pageWidth_; }
    QString fontName() const override { return fontName_; }
    void setFontName(const QString& name) override { fontName_ = name; }
    float fontSize() const override { return fontSize_; }
    void setFontSize(float points) override { fontSize_ = points; }
    bool fontBold() const override { return bold_; }
    void setFontBold(bool on) override { bold_ = on; }
    bool fontItalic() const override { return italic_; }
    void setFontItalic(bool on) override { italic_ = on; }

    void print(const QList<PrintItem>& items, bool continueLine = false) override;
    double textWidth(const QString& text) override;
    double textHeight(const QString& text) override;
    void paintPicture(const QString& picturePath, int x, int y, int width, int height) override;
    void endDoc() override;
    void killDoc() override;

    /** An offline printer fails every output with this description. */
    void setOffline(bool offline, const QString& description = {});
    bool isOffline() const { return offline_; }
    const QString& offlineDescription() const { return offlineDescription_; }
    bool documentOpen() const { return open_; }

    /** The tape line prefix for a size and bold flag: "7|", "12.5B|". */
    static QString prefix(float size, bool bold);

  private:
    void openIfNeeded();
    void endLine();

    TapePrinterSystem* owner_;
    QString name_;
    int pageWidth_;
    QString fontName_ = QStringLiteral("Courier New");
    float fontSize_ = 10.0f;
    bool bold_ = false;
    bool italic_ = false;
    bool offline_ = false;
    QString offlineDescription_;

    bool open_ = false;
    QString line_;
    QStringList lines_;
};

/**
 * Virtual printers held in memory: a list of tape devices by name and page width, a
 * default printer name (which may name no printer in the list), and the ordered output.
 */
class TapePrinterSystem : public PrinterSystem {
  public:
    TapePrinterSystem() = default;
    TapePrinterSystem(const TapePrinterSystem&) = delete;
    TapePrinterSystem& operator=(const TapePrinterSystem&) = delete;

    TapeDevice& addPrinter(const QString& name, int pageWidth = kRollWidth);
    void setDefaultPrinterName(const QString& name) { default_ = name; }
    /** Makes the named printer fail its probe, prints and raw writes. */
    void setOffline(const QString& name, bool offline,
                    const QString& description = QStringLiteral("La impresora no responde"));
    /** The device with exactly that name, or null. */
    TapeDevice* find(const QString& name) const;

    QStringList printers() override;
    PrintDevice& printer(int index) override;
    QString defaultPrinterName() override { return default_; }
    void writeRaw(const QString& deviceName, const QByteArray& bytes) override;

    const std::vector<TapeOutput>& outputs() const { return outputs_; }
    /** The tapes (as text) that went to one printer, in order. */
    QStringList tapesOf(const QString& name) const;
    void clearOutputs() { outputs_.clear(); }
    /** Called for every output as it is produced. */
    void setListener(std::function<void(const TapeOutput&)> listener) {
        listener_ = std::move(listener);
    }

  private:
    friend class TapeDevice;
    void emitOutput(TapeOutput out);

    std::vector<std::unique_ptr<TapeDevice>> devices_;
    QString default_;
    std::vector<TapeOutput> outputs_;
    std::function<void(const TapeOutput&)> listener_;
};

}  // namespace printing
