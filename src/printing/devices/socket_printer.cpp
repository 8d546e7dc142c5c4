#include "socket_printer.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QUrl>

#include "json/runtime_error.h"

namespace printing {

namespace {

QString reasonOf(const QTcpSocket& socket, int timeoutMs) {
    if (socket.error() == QAbstractSocket::SocketTimeoutError) {
        return QStringLiteral("sin respuesta en %1 s").arg(timeoutMs / 1000.0);
    }
    return socket.errorString();
}

}  // namespace

SocketPrinter::SocketPrinter(QString host, quint16 port, int timeoutMs)
    : host_(std::move(host)), port_(port), timeoutMs_(timeoutMs) {}

bool SocketPrinter::parseAddress(const QString& address, QString& host, quint16& port) {
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("socket") || url.host().isEmpty()) {
        return false;
    }
    const int p = url.port(-1);
    if (p <= 0 || p > 65535) return false;
    if (!url.path().isEmpty() && url.path() != QLatin1String("/")) return false;
    host = url.host();
    port = static_cast<quint16>(p);
    return true;
}

QString SocketPrinter::probe() const {
    QTcpSocket socket;
    socket.connectToHost(host_, port_);
    if (!socket.waitForConnected(timeoutMs_)) {
        return reasonOf(socket, timeoutMs_);
    }
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs_);
    return {};
}

void SocketPrinter::send(const QByteArray& bytes) const {
    auto fail = [this](const QTcpSocket& socket) {
        return json::RuntimeError(json::err::PrinterError, reasonOf(socket, timeoutMs_));
    };
    QTcpSocket socket;
    socket.connectToHost(host_, port_);
    if (!socket.waitForConnected(timeoutMs_)) throw fail(socket);
    if (socket.write(bytes) != bytes.size()) throw fail(socket);
    // The time-out counts from the last progress: a slow printer that keeps taking bytes
    // is not cut off, one that stops taking them is.
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs_)) throw fail(socket);
    }
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs_);
}

}  // namespace printing
