#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <deque>
#include <memory>

#include "wire.h"

class QSocketNotifier;
class QSslServer;
class QSslSocket;
class QTcpServer;
class QTcpSocket;
class QTimer;

namespace suitesim {

/** Everything the command line sets; the fault fields can also be changed at run time ("set"). */
struct Options {
    QHostAddress notifyAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 notifyPort = 3002;
    QHostAddress jobAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 jobPort = 8443;
    QString certFile;
    QString keyFile;
    QByteArray prefix = "XXXXX";
    QByteArray notifyText = "imprimir";

    // Faults. Times in milliseconds; 0 turns the fault off.
    int closeAfterMs = 0;            // close each notification connection this long after it opens
    int refuseMs = 0;                // keep the notification listener closed this long at start
    int fetchDelayMs = 0;            // wait this long before answering a fetch
    int fetchStatus = 200;           // answer every fetch with this HTTP status (no document taken)
    bool fetchGarbage = false;       // answer every fetch with bytes that are not HTTP, then close
    bool splitNotify = false;        // write each notification in two parts, 100 ms apart
    int burst = 1;                   // notifications written per "notify"
    int renotifyMs = 0;              // while documents wait, notify their branch this often
    bool notifyAfterAnswer = false;  // notify the branch the moment an answer is out whole
};

/**
 * Stands in for the suite's two services: the notification server the print servers keep a
 * TCP link to, and the HTTPS job service they fetch their branch's documents from.
 * Every event is one line on standard output: milliseconds since start, the event name,
 * then blank-separated fields (see --help).
 */
class Simulator : public QObject {
    Q_OBJECT
  public:
    explicit Simulator(Options options, QObject* parent = nullptr);
    ~Simulator() override;

    /** Opens both listeners; false (with the reason logged) when either cannot be opened. */
    bool start();
    /** Runs one control command (a line of standard input). */
    void command(const QString& line);
    /** Reads control commands from a file descriptor (standard input). */
    void watchControl(int fd);

  signals:
    void quitRequested();

  private:
    struct Peer {
        int id = 0;
        QPointer<QTcpSocket> socket;
        MessageSplitter splitter;
        QString code;  // last code the peer identified itself with
    };
    struct Document {
        quint64 serial = 0;
        QString source;
        QByteArray body;
        int holder = 0;  // job connection writing it now, 0 when free
    };
    struct Branch {
        qint64 notifiedAt = -1;  // last notification not yet followed by a fetch
        qint64 servedAt = -1;    // last document written whole
        bool draining = false;   // its last fetch took a document
    };
    struct JobConnection {
        int id = 0;
        QPointer<QSslSocket> socket;
        QByteArray buffer;
        bool answering = false;
        QString code;
        quint64 serial = 0;  // document being written, 0 for none
    };

    void log(const QString& line);
    void listenNotify();
    void notifyDown(int ms);
    void acceptNotify();
    void readPeer(int id);
    void dropPeer(int id);
    void notify(const QString& code, int count, bool again = false);
    void writeNotification(QTcpSocket* socket, int count);

    void acceptJob();
    void readJob(int id);
    void answer(int id, const HttpRequest& request);
    void respond(int id);
    void checkWritten(int id);
    void dropJob(int id);
    enum class Trigger {
        Identify,  // the print server (re)connected
        Idle,      // it reported status 0: done with its document
        Busy,      // it reported status 1
        Tick,      // the --renotify timer
    };
    void documentsWaiting(const QString& code, Trigger trigger);
    void renotifyTick();

    bool setOption(const QString& name, const QString& value);
    void readControl();

    Options o_;
    QElapsedTimer clock_;
    QTcpServer* notifyServer_ = nullptr;
    QSslServer* jobServer_ = nullptr;
    QTimer* renotifyTimer_ = nullptr;
    bool notifyUp_ = false;
    int nextId_ = 1;
    quint64 nextSerial_ = 1;
    QHash<int, std::shared_ptr<Peer>> peers_;
    QHash<int, std::shared_ptr<JobConnection>> jobs_;
    QHash<QString, std::deque<Document>> queues_;
    QHash<QString, Branch> branches_;
    quint64 served_ = 0;
    quint64 fetches_ = 0;
    QSocketNotifier* control_ = nullptr;
    int controlFd_ = -1;
    QByteArray controlBuffer_;
};

}  // namespace suitesim
