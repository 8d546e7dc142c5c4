#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>

#include "font_table.h"
#include "painter_device.h"
#include "printing/print_device.h"

namespace printing {

/**
 * The print queues of the CUPS server the process talks to (CUPS_SERVER and the client
 * configuration decide which). Each queue is a PainterDevice whose tickets travel as PDF
 * jobs; raw writes are raw jobs. Opening a document checks that the queue exists, is not
 * stopped and accepts jobs; otherwise json::RuntimeError 482 carries CUPS's own reason.
 */
class CupsPrinterSystem : public PrinterSystem {
  public:
    explicit CupsPrinterSystem(FontTable fonts = {});
    ~CupsPrinterSystem() override;
    CupsPrinterSystem(const CupsPrinterSystem&) = delete;
    CupsPrinterSystem& operator=(const CupsPrinterSystem&) = delete;

    QStringList printers() override;
    PrintDevice& printer(int index) override;
    QString defaultPrinterName() override;
    void writeRaw(const QString& deviceName, const QByteArray& bytes) override;
    void setJobName(const QString& name) override { jobName_ = name; }
    JobFate jobFate(const QString& name) override;
    void cancelJobs(const QString& name) override;

    /** Why the queue cannot take a job now; "" when it can. */
    static QString queueProblem(const QString& queue);
    /** Paper of the queue's default media in twips; empty when the queue reports none. */
    static QSize queuePaper(const QString& queue);
    /** Submits a finished document (PDF, or raw bytes when raw is set) as one job. */
    static void submitJob(const QString& queue, const QString& title, const QByteArray& data,
                          bool raw);

  private:
    void refresh();
    QString takeJobName(const QString& otherwise);

    FontTable fonts_;
    QStringList names_;
    QElapsedTimer listedAt_;
    QHash<QString, std::shared_ptr<PainterDevice>> devices_;  // devices live as long as we do
    QString jobName_;                                         // the next job's name, used once
};

}  // namespace printing
