// A network receipt printer reached straight over TCP.
#include "printing/devices/socket_printer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include "json/runtime_error.h"
#include "support.h"

namespace {

using printing::SocketPrinter;

TEST(SocketPrinterTest, AddressesAreSocketUrlsWithHostAndPort) {
    QString host;
    quint16 port = 0;
    EXPECT_TRUE(SocketPrinter::parseAddress("socket://10.0.0.20:9100", host, port));
    EXPECT_EQ(host, "10.0.0.20");
    EXPECT_EQ(port, 9100);
    EXPECT_TRUE(SocketPrinter::parseAddress(" socket://cocina.local:9101/ ", host, port));
    EXPECT_EQ(host, "cocina.local");
    for (const char* bad :
         {"socket://10.0.0.20", "ipp://10.0.0.20:631", "socket://:9100", "socket://h:0",
          "socket://h:70000", "socket://h:9100/x", "10.0.0.20:9100"}) {
        EXPECT_FALSE(SocketPrinter::parseAddress(bad, host, port)) << bad;
    }
}

TEST(SocketPrinterTest, BytesArriveAsOneConnectionAndAClosedPortIsReported) {
    devices_test::ensureGuiApp();
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const SocketPrinter printer("127.0.0.1", server.serverPort());
    EXPECT_EQ(printer.probe(), QString());
    const QByteArray job = QByteArray("\x1B@", 2) + QByteArray(100000, 'x') + "\x1DVB\0";
    printer.send(job);

    QByteArray received;
    QElapsedTimer t;
    t.start();
    while (received.size() < job.size() && t.elapsed() < 10000) {
        QCoreApplication::processEvents();
        while (QTcpSocket* c = server.nextPendingConnection()) {
            c->setParent(&server);
            if (c->bytesAvailable() == 0) c->waitForReadyRead(100);  // the probe sent nothing
            received += c->readAll();
            while (c->state() == QAbstractSocket::ConnectedState && c->waitForReadyRead(500)) {
                received += c->readAll();
            }
        }
    }
    EXPECT_EQ(received, job);

    const quint16 port = server.serverPort();
    server.close();
    const SocketPrinter gone("127.0.0.1", port);
    EXPECT_FALSE(gone.probe().isEmpty());
    try {
        gone.send("x");
        FAIL() << "a closed port took the job";
    } catch (const json::RuntimeError& e) {
        EXPECT_EQ(e.number(), json::err::PrinterError);
        EXPECT_FALSE(e.description().isEmpty());
    }
}

// A printer that accepts the connection but stops taking bytes fails the job after the
// time-out instead of holding the layouts for ever.
TEST(SocketPrinterTest, PrinterThatStopsReadingTimesOut) {
    devices_test::ensureGuiApp();
    QTcpServer server;  // never reads: the kernel's buffers fill up and stay full
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const SocketPrinter printer("127.0.0.1", server.serverPort(), 300);
    QElapsedTimer t;
    t.start();
    EXPECT_THROW(printer.send(QByteArray(64 * 1024 * 1024, 'x')), json::RuntimeError);
    EXPECT_LT(t.elapsed(), 20000);
}

}  // namespace
