#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "font_table.h"
#include "media_fit.h"
#include "printing/ajustes_impresoras.h"
#include "printing/print_device.h"

namespace printing {

class Avisos;

/**
 * The print queues of the CUPS server the process talks to (CUPS_SERVER and the client
 * configuration decide which), plus the network printers that servidor.ini's [impresoras]
 * section gives an `address=socket://HOST:PORT`.
 *
 * Each queue is asked once per listing what it is: a raw queue ("Local Raw Printer") gets
 * ESC/POS as raw jobs, any other queue a PDF laid out on its printable area. [impresoras]
 * may choose the kind instead. Opening a document checks that the queue exists, is not
 * stopped and accepts jobs (and, for a PDF, that it takes PDF); otherwise json::RuntimeError
 * 482 carries CUPS's own reason. An address printer is probed with a TCP connect.
 */
class CupsPrinterSystem : public PrinterSystem {
  public:
    explicit CupsPrinterSystem(FontTable fonts = {}, AjustesImpresoras ajustes = {});
    ~CupsPrinterSystem() override;
    CupsPrinterSystem(const CupsPrinterSystem&) = delete;
    CupsPrinterSystem& operator=(const CupsPrinterSystem&) = delete;

    QStringList printers() override;
    PrintDevice& printer(int index) override;
    QString defaultPrinterName() override;
    void writeRaw(const QString& deviceName, const QByteArray& bytes) override;
    void setJobName(const QString& name) override { jobName_ = name; }
    JobFate jobFate(const QString& printer, const QString& name) override;
    void cancelJobs(const QString& name) override;

    /** Names the default printer instead of the CUPS default destination; "" restores it. */
    void setDefaultPrinterName(const QString& name) { defaultName_ = name; }
    /** Where log lines and late-job balloons go; none by default. */
    void setAvisos(Avisos* avisos) { avisos_ = avisos; }
    /**
     * A job not completed this long after its submission gets one warning balloon
     * "Impresion demorada" (it stays with CUPS); 0 watches nothing. Needs the event loop.
     */
    void setPendingNoticeMs(int ms) { pendingNoticeMs_ = ms; }

    /** What a Get-Printer-Attributes request tells about a queue. */
    struct QueueInfo {
        /** Why the scheduler could not answer for the queue; "" when it did. */
        QString problem;
        /** Printer make and model "Local Raw Printer": every job passes unfiltered. */
        bool raw = false;
        /** document-format-supported lists application/pdf. */
        bool pdf = false;
        Media media;
    };
    static QueueInfo probeQueue(const QString& queue);

    /** Why the queue cannot take a job now; "" when it can. */
    static QString queueProblem(const QString& queue);
    /**
     * Submits one document as one job: PDF, or raw bytes when raw is set; options are
     * name=value job options. Returns the job id; json::RuntimeError 482 with CUPS's reason.
     */
    static int submitJob(const QString& queue, const QString& title, const QByteArray& data,
                         bool raw, const QList<QPair<QByteArray, QByteArray>>& options = {});
    /** The state of a job: 3 pending ... 9 completed; 0 when CUPS does not know it. */
    static int jobState(const QString& queue, int job);

  private:
    enum class Kind { Pdf, Escpos, Socket };
    /** How a printer is driven now, and what its device was built for. */
    struct Choice {
        Kind kind = Kind::Pdf;
        AjustesImpresora ajustes;
        QueueInfo info;
        QString signature;
    };
    struct Slot {
        QString signature;  // kind and paper the device was built for
        std::shared_ptr<PrintDevice> device;
    };

    void refresh();
    QString addressOf(const QString& name) const;
    Choice choose(const QString& name);
    std::shared_ptr<PrintDevice> makeDevice(const QString& name, const Choice& choice);
    int submitWatched(const QString& queue, const QString& title, const QByteArray& data, bool raw,
                      const QList<QPair<QByteArray, QByteArray>>& options = {});
    void watch(const QString& queue, int job);
    void log(const QString& line) const;
    QString takeJobName(const QString& otherwise);

    FontTable fonts_;
    AjustesImpresoras ajustes_;
    QString defaultName_;
    Avisos* avisos_ = nullptr;
    int pendingNoticeMs_ = 0;
    QStringList names_;
    QElapsedTimer listedAt_;
    QHash<QString, QueueInfo> infos_;  // asked once per listing
    QHash<QString, Slot> devices_;
    // Devices replaced after a queue changed kind or paper stay alive: a layout may still
    // hold a reference to them.
    QList<std::shared_ptr<PrintDevice>> retired_;
    std::unique_ptr<QObject> timers_;  // owns the late-job checks; they die with us
    QString jobName_;                  // the next job's name, used once
};

}  // namespace printing
