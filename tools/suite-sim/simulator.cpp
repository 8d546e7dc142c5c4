#include "simulator.h"

#include <unistd.h>

#include <QFile>
#include <QSocketNotifier>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <cstdio>

namespace suitesim {

namespace {

// Sent when a branch has nothing queued: every list empty, so the print server prints nothing.
const QByteArray kNoJobs =
    R"({"config":[],"comanda":[],"anulaciones":[],"factura":[],"abrirCajon":false,"idsLeidos":[]})";
const QByteArray kTerminator = "_endMessage_";
const QByteArray kPlainText = "text/plain; charset=utf-8";

QString endpoint(const QHostAddress& address, quint16 port) {
    return address.toString() + QLatin1Char(':') + QString::number(port);
}

}  // namespace

Simulator::Simulator(Options options, QObject* parent) : QObject(parent), o_(std::move(options)) {
    clock_.start();
    notifyServer_ = new QTcpServer(this);
    connect(notifyServer_, &QTcpServer::newConnection, this, &Simulator::acceptNotify);
    jobServer_ = new QSslServer(this);
    connect(jobServer_, &QTcpServer::pendingConnectionAvailable, this, &Simulator::acceptJob);
    connect(jobServer_, &QSslServer::errorOccurred, this,
            [this](QSslSocket* s, QAbstractSocket::SocketError) {
                // A client closing after its last answer is not worth a line.
                if (s->error() != QAbstractSocket::RemoteHostClosedError)
                    log(QStringLiteral("tls-error ") + logField(s->errorString()));
            });
    connect(jobServer_, &QSslServer::alertReceived, this,
            [this](QSslSocket*, QSsl::AlertLevel, QSsl::AlertType, const QString& text) {
                log(QStringLiteral("tls-alert ") + logField(text));
            });
    renotifyTimer_ = new QTimer(this);
    connect(renotifyTimer_, &QTimer::timeout, this, &Simulator::renotifyTick);
}

Simulator::~Simulator() = default;

void Simulator::log(const QString& line) {
    const QByteArray text = QByteArray::number(clock_.elapsed()) + ' ' + line.toUtf8() + '\n';
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

bool Simulator::start() {
    QFile certFile(o_.certFile);
    QFile keyFile(o_.keyFile);
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        log(QStringLiteral("error cannot-read-certificate-or-key"));
        return false;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certFile.readAll(), QSsl::Pem);
    const QByteArray keyPem = keyFile.readAll();
    QSslKey key(keyPem, QSsl::Rsa, QSsl::Pem);
    if (key.isNull()) key = QSslKey(keyPem, QSsl::Ec, QSsl::Pem);
    if (chain.isEmpty() || key.isNull()) {
        log(QStringLiteral("error bad-certificate-or-key"));
        return false;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    jobServer_->setSslConfiguration(tls);
    if (!jobServer_->listen(o_.jobAddress, o_.jobPort)) {
        log(QStringLiteral("error jobs-listen ") + logField(jobServer_->errorString()));
        return false;
    }
    log(QStringLiteral("listening jobs ") + endpoint(o_.jobAddress, jobServer_->serverPort()));

    if (o_.refuseMs > 0) {
        // The port must be known before it opens, so take it now when asked for any.
        if (o_.notifyPort == 0) {
            if (!notifyServer_->listen(o_.notifyAddress, 0)) {
                log(QStringLiteral("error notify-listen ") +
                    logField(notifyServer_->errorString()));
                return false;
            }
            o_.notifyPort = notifyServer_->serverPort();
            notifyServer_->close();
        }
        notifyDown(o_.refuseMs);
    } else {
        if (!notifyServer_->listen(o_.notifyAddress, o_.notifyPort)) {
            log(QStringLiteral("error notify-listen ") + logField(notifyServer_->errorString()));
            return false;
        }
        o_.notifyPort = notifyServer_->serverPort();
        notifyUp_ = true;
        log(QStringLiteral("listening notify ") + endpoint(o_.notifyAddress, o_.notifyPort));
    }
    if (o_.renotifyMs > 0) renotifyTimer_->start(o_.renotifyMs);
    return true;
}

// ---- notification server ----

void Simulator::listenNotify() {
    if (notifyUp_) return;
    if (!notifyServer_->listen(o_.notifyAddress, o_.notifyPort)) {
        log(QStringLiteral("error notify-listen ") + logField(notifyServer_->errorString()));
        QTimer::singleShot(250, this, &Simulator::listenNotify);
        return;
    }
    notifyUp_ = true;
    log(QStringLiteral("listening notify ") + endpoint(o_.notifyAddress, o_.notifyPort));
}

void Simulator::notifyDown(int ms) {
    log(QStringLiteral("down notify ms=") + QString::number(ms));
    notifyServer_->close();
    notifyUp_ = false;
    const QList<int> ids = peers_.keys();
    for (const int id : ids) {
        if (auto p = peers_.value(id); p && p->socket) p->socket->close();
        dropPeer(id);
    }
    QTimer::singleShot(ms, this, &Simulator::listenNotify);
}

void Simulator::acceptNotify() {
    while (notifyServer_->hasPendingConnections()) {
        QTcpSocket* socket = notifyServer_->nextPendingConnection();
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto peer = std::make_shared<Peer>();
        peer->id = nextId_++;
        peer->socket = socket;
        const int id = peer->id;
        peers_.insert(id, peer);
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { readPeer(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { dropPeer(id); });
        log(QStringLiteral("connect %1 %2")
                .arg(id)
                .arg(endpoint(socket->peerAddress(), socket->peerPort())));
        if (o_.closeAfterMs > 0) {
            QTimer::singleShot(o_.closeAfterMs, socket, [this, id, socket] {
                log(QStringLiteral("close %1").arg(id));
                socket->close();
                dropPeer(id);
            });
        }
    }
}

void Simulator::readPeer(int id) {
    const auto peer = peers_.value(id);
    if (!peer || !peer->socket) return;
    const QList<MessageSplitter::Piece> pieces = peer->splitter.feed(peer->socket->readAll());
    for (const auto& piece : pieces) {
        if (!piece.object) {
            if (!piece.text.trimmed().isEmpty())
                log(QStringLiteral("noise %1 ").arg(id) + logField(QString::fromUtf8(piece.text)));
            continue;
        }
        const ServerMessage m = classifyMessage(piece.text);
        switch (m.kind) {
            case ServerMessage::Kind::Identify:
                peer->code = m.code;
                log(QStringLiteral("identify %1 ").arg(id) + logField(m.code));
                documentsWaiting(m.code, Trigger::Identify);
                break;
            case ServerMessage::Kind::Status:
                peer->code = m.code;
                log(QStringLiteral("status %1 ").arg(id) + logField(m.code) + QLatin1Char(' ') +
                    logField(m.status));
                documentsWaiting(m.code,
                                 m.status == QLatin1String("0") ? Trigger::Idle : Trigger::Busy);
                break;
            case ServerMessage::Kind::Other:
                log(QStringLiteral("message %1 ").arg(id) +
                    logField(QString::fromUtf8(piece.text)));
                break;
        }
    }
}

void Simulator::dropPeer(int id) {
    const auto peer = peers_.take(id);
    if (!peer) return;
    log(QStringLiteral("disconnect %1").arg(id));
    if (peer->socket) peer->socket->deleteLater();
}

void Simulator::notify(const QString& code, int count, bool again) {
    int reached = 0;
    const int messages = again ? 1 : count * o_.burst;
    branches_[code].notifiedAt = clock_.elapsed();
    for (const auto& peer : std::as_const(peers_)) {
        if (peer->code != code || !peer->socket) continue;
        ++reached;
        for (int i = 0; i < (o_.splitNotify ? 1 : messages); ++i)
            writeNotification(peer->socket, o_.splitNotify ? messages : 1);
    }
    log(QStringLiteral("%1 %2 peers=%3 messages=%4")
            .arg(again ? QStringLiteral("renotify") : QStringLiteral("notify"), logField(code))
            .arg(reached)
            .arg(messages));
}

void Simulator::writeNotification(QTcpSocket* socket, int count) {
    const QByteArray text = o_.notifyText + kTerminator;
    if (!o_.splitNotify) {
        for (int i = 0; i < count; ++i) socket->write(text);
        socket->flush();
        return;
    }
    // The cut falls inside the terminator, so neither part ends a notification by itself.
    const qsizetype cut = text.size() - kTerminator.size() / 2;
    socket->write(text.left(cut));
    socket->flush();
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(100, socket, [this, guard, rest = text.mid(cut), count] {
        if (!guard) return;
        guard->write(rest);
        guard->flush();
        if (count > 1)
            QTimer::singleShot(100, guard, [this, guard, count] {
                if (guard) writeNotification(guard, count - 1);
            });
    });
}

// ---- job service ----

void Simulator::acceptJob() {
    while (jobServer_->hasPendingConnections()) {
        auto* socket = qobject_cast<QSslSocket*>(jobServer_->nextPendingConnection());
        if (!socket) continue;
        auto conn = std::make_shared<JobConnection>();
        conn->id = nextId_++;
        conn->socket = socket;
        const int id = conn->id;
        jobs_.insert(id, conn);
        connect(socket, &QSslSocket::readyRead, this, [this, id] { readJob(id); });
        connect(socket, &QSslSocket::disconnected, this, [this, id] { dropJob(id); });
        connect(socket, &QSslSocket::encryptedBytesWritten, this, [this, id] { checkWritten(id); });
        log(QStringLiteral("job-connect %1").arg(id));
        if (socket->bytesAvailable() > 0) readJob(id);
    }
}

void Simulator::readJob(int id) {
    const auto conn = jobs_.value(id);
    if (!conn || !conn->socket) return;
    conn->buffer += conn->socket->readAll();
    if (conn->answering) return;  // one request at a time; the next is read once this answer is out
    bool bad = false;
    const std::optional<HttpRequest> request = takeHttpRequest(conn->buffer, bad);
    if (bad) {
        log(QStringLiteral("bad-request %1").arg(id));
        conn->buffer.clear();
        conn->socket->write(httpResponse(400, kPlainText, "bad request"));
        conn->socket->disconnectFromHost();
        return;
    }
    if (request) answer(id, *request);
}

void Simulator::answer(int id, const HttpRequest& request) {
    const auto conn = jobs_.value(id);
    ++fetches_;
    conn->answering = true;
    const std::optional<QString> code = branchOfJobTarget(request.target);
    if (request.method != "GET" || !code) {
        log(QStringLiteral("not-found %1 ").arg(id) +
            logField(QString::fromLatin1(request.method + ' ' + request.target)));
        conn->code.clear();
        conn->socket->write(httpResponse(404, kPlainText, "not found"));
        return;
    }
    conn->code = *code;
    branches_[*code].notifiedAt = -1;
    const auto it = queues_.constFind(*code);
    log(QStringLiteral("fetch %1 %2 queued=%3")
            .arg(id)
            .arg(logField(*code))
            .arg(it == queues_.cend() ? 0 : it->size()));
    if (o_.fetchDelayMs > 0) {
        QTimer::singleShot(o_.fetchDelayMs, conn->socket, [this, id] { respond(id); });
        return;
    }
    respond(id);
}

void Simulator::respond(int id) {
    const auto conn = jobs_.value(id);
    if (!conn || !conn->socket) return;
    const QString code = logField(conn->code);
    if (o_.fetchGarbage) {
        branches_[conn->code].draining = false;
        log(QStringLiteral("garbage %1 %2").arg(id).arg(code));
        conn->socket->write(QByteArray("\x01\x7f garbage, not a reply \xff\xfe\r\n\r\n", 34));
        conn->socket->disconnectFromHost();
        return;
    }
    if (o_.fetchStatus != 200) {
        branches_[conn->code].draining = false;
        log(QStringLiteral("error-status %1 %2 %3").arg(id).arg(code).arg(o_.fetchStatus));
        conn->socket->write(httpResponse(o_.fetchStatus, kPlainText, "service failure"));
        return;
    }
    auto& queue = queues_[conn->code];
    for (Document& doc : queue) {
        if (doc.holder != 0) continue;  // being written on another connection
        doc.holder = id;
        conn->serial = doc.serial;
        log(QStringLiteral("answer %1 %2 %3 bytes=%4")
                .arg(id)
                .arg(code, logField(doc.source))
                .arg(doc.body.size()));
        conn->socket->write(httpResponse(200, kPlainText, o_.prefix + doc.body));
        return;
    }
    branches_[conn->code].draining = false;
    log(QStringLiteral("nojobs %1 %2").arg(id).arg(code));
    conn->socket->write(httpResponse(200, kPlainText, o_.prefix + kNoJobs));
}

void Simulator::checkWritten(int id) {
    const auto conn = jobs_.value(id);
    if (!conn || !conn->socket || !conn->answering) return;
    if (conn->socket->bytesToWrite() > 0 || conn->socket->encryptedBytesToWrite() > 0) return;
    conn->answering = false;
    if (conn->serial != 0) {
        // The document leaves the queue only now that its answer is out whole.
        auto& queue = queues_[conn->code];
        for (auto it = queue.begin(); it != queue.end(); ++it) {
            if (it->serial != conn->serial) continue;
            const QString source = it->source;
            queue.erase(it);
            ++served_;
            branches_[conn->code].servedAt = clock_.elapsed();
            branches_[conn->code].draining = true;
            log(QStringLiteral("served %1 %2 %3 remaining=%4")
                    .arg(id)
                    .arg(logField(conn->code), logField(source))
                    .arg(queue.size()));
            break;
        }
        conn->serial = 0;
        if (o_.notifyAfterAnswer)
            notify(conn->code, 1);  // races the print server still reading that answer
    }
    if (!conn->buffer.isEmpty()) QTimer::singleShot(0, this, [this, id] { readJob(id); });
}

void Simulator::dropJob(int id) {
    const auto conn = jobs_.take(id);
    if (!conn) return;
    log(QStringLiteral("job-disconnect %1").arg(id));
    if (conn->answering)
        branches_[conn->code].draining = false;  // cut off: a slow or refused answer
    if (conn->serial != 0) {
        // Cut off before its answer was out: the document stays for the next fetch.
        for (Document& doc : queues_[conn->code]) {
            if (doc.serial == conn->serial) {
                doc.holder = 0;
                log(QStringLiteral("abandoned %1 %2 %3")
                        .arg(id)
                        .arg(logField(conn->code), logField(doc.source)));
            }
        }
    }
    if (conn->socket) conn->socket->deleteLater();
}

void Simulator::documentsWaiting(const QString& code, Trigger trigger) {
    // A notification during a fetch makes the print server drop that fetch, and with it a
    // document already written to it; so the branch is notified again only between its
    // fetches: none being answered, none announced and not yet asked for. A status report
    // keeps a branch that is taking its documents going; a failing fetch is not repeated.
    constexpr qint64 kQuietMs = 5000;
    for (const auto& conn : std::as_const(jobs_))
        if (conn->answering && conn->code == code) return;
    Branch& b = branches_[code];
    const qint64 now = clock_.elapsed();
    if (b.notifiedAt >= 0 && now - b.notifiedAt < kQuietMs) return;
    const bool quiet = b.servedAt < 0 || now - b.servedAt >= kQuietMs;
    switch (trigger) {
        case Trigger::Identify:
        case Trigger::Tick:
            break;
        case Trigger::Idle:
            if (!b.draining) return;
            break;
        case Trigger::Busy:
            if (!b.draining || !quiet) return;
            break;
    }
    for (const Document& doc : queues_.value(code)) {
        if (doc.holder == 0) {
            notify(code, 1, true);
            return;
        }
    }
}

void Simulator::renotifyTick() {
    const QList<QString> codes = queues_.keys();
    for (const QString& code : codes) documentsWaiting(code, Trigger::Tick);
}

// ---- control ----

bool Simulator::setOption(const QString& name, const QString& value) {
    bool ok = true;
    const auto seconds = [&] { return int(value.toDouble(&ok) * 1000.0); };
    const auto flag = [&] {
        if (value == QLatin1String("1") || value == QLatin1String("on")) return true;
        ok = value == QLatin1String("0") || value == QLatin1String("off");
        return false;
    };
    if (name == QLatin1String("close-after"))
        o_.closeAfterMs = seconds();
    else if (name == QLatin1String("fetch-delay"))
        o_.fetchDelayMs = seconds();
    else if (name == QLatin1String("fetch-status"))
        o_.fetchStatus = value.toInt(&ok);
    else if (name == QLatin1String("fetch-garbage"))
        o_.fetchGarbage = flag();
    else if (name == QLatin1String("notify-after-answer"))
        o_.notifyAfterAnswer = flag();
    else if (name == QLatin1String("split-notify"))
        o_.splitNotify = flag();
    else if (name == QLatin1String("burst"))
        o_.burst = value.toInt(&ok);
    else if (name == QLatin1String("renotify")) {
        o_.renotifyMs = seconds();
        if (ok && o_.renotifyMs > 0)
            renotifyTimer_->start(o_.renotifyMs);
        else
            renotifyTimer_->stop();
    } else
        return false;
    return ok && o_.closeAfterMs >= 0 && o_.fetchDelayMs >= 0 && o_.burst >= 1 &&
           o_.fetchStatus >= 100 && o_.fetchStatus <= 599;
}

void Simulator::command(const QString& line) {
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty() || words.first().startsWith(QLatin1Char('#'))) return;
    const QString& verb = words.first();
    const auto bad = [&] { log(QStringLiteral("error bad-command ") + logField(line)); };

    if (verb == QLatin1String("queue") && words.size() >= 3) {
        // The file name may hold blanks; the branch code is the last word.
        const QString& code = words.last();
        const QString path = words.mid(1, words.size() - 2).join(QLatin1Char(' '));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            log(QStringLiteral("error cannot-read ") + logField(path));
            return;
        }
        QByteArray body = file.readAll();
        if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
        auto& queue = queues_[code];
        queue.push_back(Document{nextSerial_++, path, body, 0});
        log(QStringLiteral("queued %1 %2 waiting=%3")
                .arg(logField(code), logField(path))
                .arg(queue.size()));
    } else if (verb == QLatin1String("notify") && (words.size() == 2 || words.size() == 3)) {
        bool ok = true;
        const int count = words.size() == 3 ? words[2].toInt(&ok) : 1;
        if (!ok || count < 1) return bad();
        notify(words[1], count);
    } else if (verb == QLatin1String("down") && words.size() == 2) {
        bool ok = false;
        const double s = words[1].toDouble(&ok);
        if (!ok || s < 0) return bad();
        notifyDown(int(s * 1000.0));
    } else if (verb == QLatin1String("restart") && words.size() == 1) {
        notifyDown(0);
    } else if (verb == QLatin1String("set") && words.size() == 3) {
        if (!setOption(words[1], words[2])) return bad();
        log(QStringLiteral("set %1 %2").arg(words[1], words[2]));
    } else if (verb == QLatin1String("clear") && words.size() == 2) {
        queues_.remove(words[1]);
        log(QStringLiteral("cleared ") + logField(words[1]));
    } else if (verb == QLatin1String("stats") && words.size() == 1) {
        qsizetype waiting = 0;
        for (const auto& queue : std::as_const(queues_)) waiting += qsizetype(queue.size());
        log(QStringLiteral("stats peers=%1 queued=%2 served=%3 fetches=%4")
                .arg(peers_.size())
                .arg(waiting)
                .arg(served_)
                .arg(fetches_));
    } else if (verb == QLatin1String("quit") && words.size() == 1) {
        log(QStringLiteral("quit"));
        emit quitRequested();
    } else {
        bad();
    }
}

void Simulator::watchControl(int fd) {
    controlFd_ = fd;
    control_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(control_, &QSocketNotifier::activated, this, &Simulator::readControl);
}

void Simulator::readControl() {
    char chunk[4096];
    const ssize_t n = ::read(controlFd_, chunk, sizeof chunk);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {
        // Without a controller the services keep running until they are stopped.
        control_->setEnabled(false);
        log(QStringLiteral("control-closed"));
        return;
    }
    controlBuffer_.append(chunk, n);
    qsizetype end;
    while ((end = controlBuffer_.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(controlBuffer_.left(end)).trimmed();
        controlBuffer_.remove(0, end + 1);
        command(line);
    }
}

}  // namespace suitesim
