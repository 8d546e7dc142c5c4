#include "core/conexion_tcp.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QTcpSocket>
#include <algorithm>

namespace core {

int numeroErrorSocket(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            return 10061;
        case QAbstractSocket::SocketTimeoutError:
            return 10060;
        case QAbstractSocket::NetworkError:
            return 10065;
        case QAbstractSocket::HostNotFoundError:
            return 11001;
        case QAbstractSocket::RemoteHostClosedError:
            return 10054;
        case QAbstractSocket::OperationError:
            return 10053;
        default:
            return 10050;
    }
}

TiemposEnlace tiemposEnlace(int tiempoEnlaceMs) {
    // Half the time idle, then up to three probes over the other half (keep-alive counts in
    // whole seconds); the user time-out bounds the whole, also when data is waiting to be
    // acknowledged.
    const int segundos = std::max(1, tiempoEnlaceMs / 1000);
    TiemposEnlace t{};
    t.inactivoS = std::max(1, segundos / 2);
    t.sondas = std::clamp(segundos - t.inactivoS, 1, 3);
    t.intervaloS = std::max(1, (segundos - t.inactivoS) / t.sondas);
    t.usuarioMs = std::max(1, tiempoEnlaceMs);
    return t;
}

void ConexionTcp::vigilarSilencio() {
    const qintptr descriptor = socket_->socketDescriptor();
    if (descriptor < 0) return;
    const int fd = static_cast<int>(descriptor);
    const TiemposEnlace t = tiemposEnlace(tiempoEnlace_);
    const int si = 1;
    const unsigned int usuario = static_cast<unsigned int>(t.usuarioMs);
    // Failures leave the link as TCP has it; nothing else depends on these settings.
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &si, sizeof si);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &t.inactivoS, sizeof t.inactivoS);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &t.intervaloS, sizeof t.intervaloS);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &t.sondas, sizeof t.sondas);
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &usuario, sizeof usuario);
}

ConexionTcp::ConexionTcp(QObject* parent) : Conexion(parent), socket_(new QTcpSocket(this)) {
    connect(socket_, &QTcpSocket::connected, this, [this] {
        enError_ = false;
        vigilarSilencio();
        emit conectado();
    });
    connect(socket_, &QTcpSocket::readyRead, this, [this] { emit datos(); });
    connect(socket_, &QTcpSocket::disconnected, this, [this] {
        if (!cerrandoNosotros_ && !enError_) emit cerradoPorPar();
    });
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        // The peer closing is the close event, reported through disconnected.
        if (e == QAbstractSocket::RemoteHostClosedError) return;
        enError_ = true;
        emit error(numeroErrorSocket(e), socket_->errorString());
    });
}

int ConexionTcp::estado() const {
    if (enError_) return estado_socket::Error;
    switch (socket_->state()) {
        case QAbstractSocket::HostLookupState:
            return estado_socket::Resolviendo;
        case QAbstractSocket::ConnectingState:
            return estado_socket::Conectando;
        case QAbstractSocket::ConnectedState:
            return estado_socket::Conectado;
        case QAbstractSocket::ClosingState:
            return estado_socket::Cerrando;
        default:
            return estado_socket::Cerrado;
    }
}

void ConexionTcp::cerrar() {
    cerrandoNosotros_ = true;
    socket_->abort();
    cerrandoNosotros_ = false;
    enError_ = false;
    decoder_.resetState();
}

void ConexionTcp::conectar(const QString& host, quint16 puerto) {
    enError_ = false;
    socket_->connectToHost(host, puerto);
}

void ConexionTcp::enviar(const QString& texto) {
    socket_->write(texto.toUtf8());
}

QString ConexionTcp::recibirTodo() {
    return decoder_.decode(socket_->readAll());
}

}  // namespace core
