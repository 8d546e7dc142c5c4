#include "harness.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTimer>

namespace e2e {

Child::Child(QString name, const QElapsedTimer& clock) : name_(std::move(name)), clock_(clock) {
    proc_.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&proc_, &QProcess::readyRead, [this] { read(); });
    QObject::connect(&proc_, &QProcess::finished, [this](int code, QProcess::ExitStatus status) {
        read();
        exitText_ = status == QProcess::CrashExit ? QStringLiteral("crashed")
                                                  : QStringLiteral("exit %1").arg(code);
        if (!stopping_) exitedUnexpectedly_ = true;
    });
}

Child::~Child() {
    stop();
}

void Child::start(const QString& program, const QStringList& args, const QStringList& extraEnv) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    for (const QString& kv : extraEnv) {
        const qsizetype eq = kv.indexOf(QLatin1Char('='));
        env.insert(kv.left(eq), kv.mid(eq + 1));
    }
    proc_.setProcessEnvironment(env);
    proc_.start(program, args);
    proc_.waitForStarted(10000);
}

void Child::write(const QString& line) {
    proc_.write((line + QLatin1Char('\n')).toUtf8());
    proc_.waitForBytesWritten(1000);  // a caller may block next without running the event loop
}

void Child::stop(const QString& quitCommand) {
    if (proc_.state() == QProcess::NotRunning) return;
    stopping_ = true;
    if (!quitCommand.isEmpty()) {
        write(quitCommand);
        proc_.closeWriteChannel();
    } else {
        proc_.terminate();
    }
    if (!proc_.waitForFinished(3000)) {
        proc_.kill();
        proc_.waitForFinished(3000);
    }
}

void Child::read() {
    partial_ += proc_.readAll();
    qsizetype end;
    while ((end = partial_.indexOf('\n')) >= 0) {
        QByteArray line = partial_.left(end);
        partial_.remove(0, end + 1);
        if (line.endsWith('\r')) line.chop(1);
        lines_.append({clock_.elapsed(), QString::fromUtf8(line)});
    }
}

int Child::count(const QRegularExpression& re, int from) const {
    int n = 0;
    for (qsizetype i = from; i < lines_.size(); ++i)
        if (re.match(lines_[i].text).hasMatch()) ++n;
    return n;
}

int Child::find(const QRegularExpression& re, int from) const {
    for (qsizetype i = from; i < lines_.size(); ++i)
        if (re.match(lines_[i].text).hasMatch()) return int(i);
    return -1;
}

QString Child::tail(int n) const {
    QString out = QStringLiteral("---- last lines of %1 ----\n").arg(name_);
    for (qsizetype i = std::max<qsizetype>(0, lines_.size() - n); i < lines_.size(); ++i)
        out += QString::number(lines_[i].at).rightJustified(7) + u' ' + lines_[i].text.left(300) +
               QLatin1Char('\n');
    return out;
}

bool waitUntil(const std::function<bool()>& cond, int ms) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms) return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

bool makeCertificate(const QString& dir) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
             QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
             QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
             QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
             QStringLiteral("-keyout"), dir + QStringLiteral("/key.pem"), QStringLiteral("-out"),
             dir + QStringLiteral("/cert.pem")});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

qint64 residentKiB(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

qint64 folderBytes(const QString& path) {
    qint64 total = 0;
    for (const QFileInfo& f : QDir(path).entryInfoList(QDir::Files)) total += f.size();
    return total;
}

QByteArray threeTicketDocument(int n) {
    const auto orden = [n](int t, const char* area) {
        return QStringLiteral(
                   R"({"area":"%1","titulo":null,"nomMesa":"D%2T%3","productos":[)"
                   R"({"nombre":"Arepa","cantidad":1,"valor":1000,"detalle":[]}],)"
                   R"("responsable":"Ana","nPedido":"%2","fecha":"2026-12-08 12:00:00",)"
                   R"("clienteNombre":"","clienteTelefono":"","clienteDireccion":"","codPlataforma":""})")
            .arg(QLatin1String(area))
            .arg(n)
            .arg(t);
    };
    const QString anulacion = QStringLiteral(R"({"area":"Bar","nomMesa":"D%1T3","productos":[)"
                                             R"({"nombre":"Cerveza","cantidad":-1,"detalle":[]}]})")
                                  .arg(n);
    return (QStringLiteral(R"({"config":[],"comanda":[)") + orden(1, "Cocina") + u',' +
            orden(2, "Bar") + QStringLiteral(R"(],"anulaciones":[)") + anulacion +
            QStringLiteral(R"(],"factura":[],"abrirCajon":false,"idsLeidos":[%1]})").arg(n))
        .toUtf8();
}

SimPorts startSim(Child& sim, const QString& program, const QString& certDir,
                  const QStringList& extra, int ms) {
    sim.start(program, QStringList{QStringLiteral("--notify-port"), QStringLiteral("0"),
                                   QStringLiteral("--job-port"), QStringLiteral("0"),
                                   QStringLiteral("--cert"), certDir + QStringLiteral("/cert.pem"),
                                   QStringLiteral("--key"), certDir + QStringLiteral("/key.pem")} +
                           extra);
    const auto listening = [&sim](const char* which) {
        return sim.find(re(QStringLiteral(" listening %1 ").arg(QLatin1String(which))));
    };
    SimPorts ports;
    if (!waitUntil([&] { return listening("notify") >= 0 && listening("jobs") >= 0; }, ms))
        return ports;
    const auto port = [&](const char* which) {
        return sim.lines()[listening(which)].text.section(QLatin1Char(':'), -1);
    };
    ports.notify = port("notify");
    ports.jobs = port("jobs");
    return ports;
}

}  // namespace e2e
