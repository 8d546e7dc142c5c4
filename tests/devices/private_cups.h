#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace testing_cups {

/**
 * A CUPS scheduler of our own, for one test run: its configuration, spool and logs live in a
 * temporary folder, clients reach it through a private Unix socket (CUPS_SERVER), and every
 * queue created here prints through a capture backend that stores each job as a file named
 * QUEUE-JOBID in capturedFolder(), its title beside it (jobTitle()). Needs root (the capture
 * backend runs as root).
 */
class PrivateCups {
  public:
    PrivateCups();
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    /** Starts the scheduler and points this process and its children at it. "" or why not. */
    QString start();
    void stop();

    /** A queue on a one-size roll of that width (the capture backend behind it). */
    QString addRollQueue(const QString& name, int widthMm);
    /** A queue without a driver: raw jobs only, no paper size. */
    QString addRawQueue(const QString& name);
    /** A raw queue whose device is a network printer at 127.0.0.1:port. */
    QString addRawSocketQueue(const QString& name, quint16 port);
    /**
     * A thermal receipt printer's driver queue at 127.0.0.1:port: an 80 mm roll at 203 dpi
     * with 4 mm side margins and custom lengths, sending 8-bit grey CUPS raster.
     */
    QString addThermalQueue(const QString& name, quint16 port);
    /** A text-only driver queue (it refuses PDF) on the capture backend. */
    QString addTextOnlyQueue(const QString& name);
    /** Runs a CUPS administration command (lpadmin, cupsdisable, ...); "" or its output. */
    QString admin(const QString& program, const QStringList& args);

    QString capturedFolder() const;
    /** Paths of the jobs captured so far for a queue, oldest first. */
    QStringList captured(const QString& queue) const;
    /** Waits until a queue has captured at least count jobs; false after the time-out. */
    bool waitCaptured(const QString& queue, int count, int timeoutMs = 15000) const;
    /** The title (job-name) a captured job was submitted with; "" when unknown. */
    QString jobTitle(const QString& capturedPath) const;
    QString errorLog() const;
    QString socketPath() const;

  private:
    QString writePpd(int widthMm);
    QString writeThermalPpd();

    std::unique_ptr<QTemporaryDir> dir_;
    QProcess daemon_;
};

/**
 * A network printer played by the test: every connection's bytes, in order (a connection
 * that carried nothing, a probe, is not a job). It accepts while the event loop runs
 * (wait() runs it).
 */
class Listener {
  public:
    Listener();
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    quint16 port() const;
    /** Stops listening: the port refuses connections from now on. */
    void close();
    /** Waits until `count` connections have ended; false after the time-out. */
    bool wait(int count, int timeoutMs = 20000);
    /** The bytes of each ended connection, oldest first. */
    QList<QByteArray> jobs() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

/** The text pdftotext reads from a PDF file; "" when it cannot. */
QString pdfText(const QString& path);

}  // namespace testing_cups
