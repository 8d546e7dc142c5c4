#pragma once

#include <QByteArray>
#include <QString>

namespace printing {

/**
 * A network receipt printer reached straight over TCP, without a print queue. The layouts
 * wait on the UI thread, so connecting and writing each give up after a time-out.
 */
class SocketPrinter {
  public:
    static constexpr int kTimeoutMs = 5000;

    SocketPrinter(QString host, quint16 port, int timeoutMs = kTimeoutMs);

    /** Parses "socket://HOST:PORT"; false when it is not such an address. */
    static bool parseAddress(const QString& address, QString& host, quint16& port);

    /** Connects and disconnects: "" when the printer answers, else the socket's reason. */
    QString probe() const;
    /** Sends the bytes as one connection; json::RuntimeError 482 with the reason on failure. */
    void send(const QByteArray& bytes) const;

  private:
    QString host_;
    quint16 port_;
    int timeoutMs_;
};

}  // namespace printing
