#pragma once

// Runs the real print server and the suite simulator as child processes on 127.0.0.1 and
// watches their logs line by line.

#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// The programs under test, given by the build; empty in a build without them.
#ifndef SI_SERVER_BIN
#define SI_SERVER_BIN ""
#endif
#ifndef SI_SIM_BIN
#define SI_SIM_BIN ""
#endif

namespace e2e {

/** One child process whose merged output is kept as lines, each stamped when it was read. */
class Child {
  public:
    struct Line {
        qint64 at = 0;  // ms on the harness clock
        QString text;
    };

    Child(QString name, const QElapsedTimer& clock);
    ~Child();

    void start(const QString& program, const QStringList& args, const QStringList& extraEnv = {});
    bool running() const { return proc_.state() != QProcess::NotRunning; }
    qint64 pid() const { return proc_.processId(); }
    void write(const QString& line);
    /** Asks politely (quit command or SIGTERM), then kills after a grace period. */
    void stop(const QString& quitCommand = {});

    const QList<Line>& lines() const { return lines_; }
    int count(const QRegularExpression& re, int from = 0) const;
    /** Index of the first line at or after from that matches, or -1. */
    int find(const QRegularExpression& re, int from = 0) const;
    QString tail(int n = 40) const;
    bool crashed() const { return exitedUnexpectedly_; }
    QString exitText() const { return exitText_; }

  private:
    void read();

    QString name_;
    const QElapsedTimer& clock_;
    QProcess proc_;
    QByteArray partial_;
    QList<Line> lines_;
    bool stopping_ = false;
    bool exitedUnexpectedly_ = false;
    QString exitText_;
};

/** Spins the event loop until cond holds or ms have passed. */
bool waitUntil(const std::function<bool()>& cond, int ms);

/** Makes a self-signed certificate for IP 127.0.0.1 (cert.pem, key.pem) in dir with openssl. */
bool makeCertificate(const QString& dir);

/** Resident memory of a process in KiB (0 when unknown). */
qint64 residentKiB(qint64 pid);

/** The bytes of the files directly in a folder. */
qint64 folderBytes(const QString& path);

/** The branch code the tests' server identifies with. */
inline const QString kCode = QStringLiteral("123456789012345");

inline QRegularExpression re(const QString& pattern) {
    return QRegularExpression(pattern);
}

/**
 * A job document of three tickets: kitchen orders on Cocina and Bar and a cancellation on
 * Bar. Each ticket's table says which document and which ticket it is ("D7T2").
 */
QByteArray threeTicketDocument(int n);

/** The simulator's two ports, empty when it never listened. */
struct SimPorts {
    QString notify;
    QString jobs;
};

/**
 * Starts the suite simulator on free loopback ports with the certificate in certDir and waits
 * until both of its ports listen (the server must not be started on a port not yet read).
 */
SimPorts startSim(Child& sim, const QString& program, const QString& certDir,
                  const QStringList& extra = {}, int ms = 20000);

}  // namespace e2e
