#include "private_cups.h"

#include <cups/cups.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace testing_cups {

namespace {

const QStringList kSbin = {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"),
                           QStringLiteral("/sbin"), QStringLiteral("/bin")};

QString tool(const QString& name) {
    QString path = QStandardPaths::findExecutable(name, kSbin);
    return path.isEmpty() ? QStandardPaths::findExecutable(name) : path;
}

bool writeText(const QString& path, const QByteArray& text,
               QFileDevice::Permissions perms = QFileDevice::ReadOwner | QFileDevice::WriteOwner) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const bool ok = f.write(text) == text.size();
    f.close();
    return ok && f.setPermissions(perms);
}

// Copies every job, raw or PDF, to DIR/QUEUE-JOBID, and its title (job-name) to
// DIR/../titles/QUEUE-JOBID before the job itself appears; the scheduler runs it as root.
const char kBackend[] =
    "#!/bin/sh\n"
    "if [ $# -eq 0 ]; then echo 'direct capture \"Unknown\" \"Capture\"'; exit 0; fi\n"
    "dir=${DEVICE_URI#capture:}\n"
    "out=\"$dir/$PRINTER-$1\"\n"
    "printf '%s' \"$3\" > \"$dir/../titles/$PRINTER-$1\"\n"
    "if [ -n \"$6\" ]; then cat \"$6\" > \"$out.part\"; else cat > \"$out.part\"; fi\n"
    "mv \"$out.part\" \"$out\"\n";

// Without snmp=false the socket backend spends seconds on an SNMP query first.
QString socketUri(quint16 port) {
    return QStringLiteral("socket://127.0.0.1:%1/?snmp=false").arg(port);
}

int jobNumber(const QString& path) {
    return QFileInfo(path).fileName().section(u'-', -1).toInt();
}

}  // namespace

PrivateCups::PrivateCups() = default;

PrivateCups::~PrivateCups() {
    stop();
}

QString PrivateCups::socketPath() const {
    return dir_ ? dir_->filePath("cups.sock") : QString();
}
QString PrivateCups::capturedFolder() const {
    return dir_ ? dir_->filePath("out") : QString();
}

QString PrivateCups::start() {
    const QString cupsd = tool(QStringLiteral("cupsd"));
    if (cupsd.isEmpty()) return QStringLiteral("cupsd is not installed");
    dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/cups-test-XXXXXX"));
    if (!dir_->isValid()) return QStringLiteral("no temporary folder");
    const QString root = dir_->path();
    for (const char* sub : {"conf", "conf/ppd", "lib/backend", "spool", "tmp", "cache", "state",
                            "log", "out", "titles"}) {
        QDir().mkpath(root + u'/' + QLatin1String(sub));
    }
    // The scheduler starts filters and backends through its own helpers.
    for (const char* sub : {"daemon", "filter"}) {
        QFile::link(QStringLiteral("/usr/lib/cups/") + QLatin1String(sub),
                    root + QStringLiteral("/lib/") + QLatin1String(sub));
    }
    QFile::link(QStringLiteral("/usr/lib/cups/backend/socket"), root + "/lib/backend/socket");
    // Filters run as user lp: they need to reach the folder and write their temporary files.
    QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                    QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                    QFileDevice::ExeOther);
    QProcess::execute(QStringLiteral("chgrp"), {"lp", root + "/tmp"});
    QProcess::execute(QStringLiteral("chmod"), {"1770", root + "/tmp"});
    if (!writeText(root + "/lib/backend/capture", kBackend,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
        return QStringLiteral("cannot write the capture backend");
    }
    const QByteArray r = root.toUtf8();
    const QByteArray conf =
        "Listen " + r +
        "/cups.sock\n"
        "LogLevel debug\n"
        "IdleExitTimeout 0\n"
        "Browsing Off\n"
        "WebInterface No\n"
        "DefaultAuthType None\n"
        "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
        "<Policy default>\n  <Limit All>\n    Order deny,allow\n    Allow all\n  </Limit>\n"
        "</Policy>\n";
    const QByteArray files =
        "FileDevice Yes\n"
        "ServerRoot " +
        r +
        "/conf\n"
        "ServerBin " +
        r +
        "/lib\n"
        "RequestRoot " +
        r +
        "/spool\n"
        "TempDir " +
        r +
        "/tmp\n"
        "CacheDir " +
        r +
        "/cache\n"
        "StateDir " +
        r +
        "/state\n"
        "AccessLog " +
        r +
        "/log/access_log\n"
        "ErrorLog " +
        r +
        "/log/error_log\n"
        "PageLog " +
        r +
        "/log/page_log\n"
        "Printcap " +
        r +
        "/printcap\n"
        "User lp\nGroup lp\nSystemGroup root\n";
    if (!writeText(root + "/conf/cupsd.conf", conf) ||
        !writeText(root + "/conf/cups-files.conf", files)) {
        return QStringLiteral("cannot write the configuration");
    }

    qputenv("CUPS_SERVER", socketPath().toUtf8());
    cupsSetServer(socketPath().toUtf8().constData());
    daemon_.setProcessChannelMode(QProcess::MergedChannels);
    daemon_.setStandardOutputFile(root + "/log/stdout");
    daemon_.start(cupsd,
                  {"-f", "-c", root + "/conf/cupsd.conf", "-s", root + "/conf/cups-files.conf"});
    if (!daemon_.waitForStarted(5000)) return QStringLiteral("cupsd did not start");
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
        if (daemon_.state() != QProcess::Running) {
            return QStringLiteral("cupsd stopped: ") + errorLog();
        }
        if (QFileInfo::exists(socketPath())) {
            QProcess lpstat;
            lpstat.start(tool(QStringLiteral("lpstat")), {"-r"});
            lpstat.waitForFinished(5000);
            if (lpstat.readAllStandardOutput().contains("is running")) return {};
        }
        QThread::msleep(50);
    }
    return QStringLiteral("cupsd did not answer: ") + errorLog();
}

void PrivateCups::stop() {
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000)) {
            daemon_.kill();
            daemon_.waitForFinished(2000);
        }
    }
}

QString PrivateCups::writePpd(int widthMm) {
    const double w = widthMm / 25.4 * 72.0;
    const double h = 297 / 25.4 * 72.0;
    const QByteArray dims = QByteArray::number(w, 'f', 2) + ' ' + QByteArray::number(h, 'f', 2);
    const QByteArray key = "Roll" + QByteArray::number(widthMm);
    const QByteArray setup = "\"<</PageSize[" + dims + "]>>setpagedevice\"";
    const QByteArray ppd =
        "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
        "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"ROLL.PPD\"\n"
        "*Manufacturer: \"Generic\"\n*Product: \"(Roll)\"\n*ModelName: \"" +
        key +
        "\"\n"
        "*ShortNickName: \"" +
        key + "\"\n*NickName: \"" + key +
        "\"\n"
        "*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: False\n"
        "*DefaultColorSpace: Gray\n*FileSystem: False\n*Throughput: \"1\"\n"
        "*TTRasterizer: Type42\n"
        "*cupsFilter2: \"application/pdf application/pdf 0 -\"\n"
        "*OpenUI *PageSize/Media Size: PickOne\n*OrderDependency: 10 AnySetup *PageSize\n"
        "*DefaultPageSize: " +
        key + "\n*PageSize " + key + "/Roll: " + setup +
        "\n"
        "*CloseUI: *PageSize\n"
        "*OpenUI *PageRegion: PickOne\n*OrderDependency: 10 AnySetup *PageRegion\n"
        "*DefaultPageRegion: " +
        key + "\n*PageRegion " + key + "/Roll: " + setup +
        "\n"
        "*CloseUI: *PageRegion\n"
        "*DefaultImageableArea: " +
        key + "\n*ImageableArea " + key + "/Roll: \"0 0 " + dims +
        "\"\n*DefaultPaperDimension: " + key + "\n*PaperDimension " + key + "/Roll: \"" + dims +
        "\"\n";
    const QString path = dir_->filePath(QStringLiteral("roll%1.ppd").arg(widthMm));
    writeText(path, ppd);
    return path;
}

// 80 mm wide, 4 mm side margins, 203 dpi grey raster passed to the device unfiltered, and
// any length from 12.7 mm to 5 m, as a thermal receipt printer's driver offers.
QString PrivateCups::writeThermalPpd() {
    const QByteArray ppd =
        "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
        "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"TROLL.PPD\"\n"
        "*Manufacturer: \"Generic\"\n*Product: \"(Thermal Roll)\"\n"
        "*ModelName: \"Thermal Roll 80\"\n*ShortNickName: \"Thermal Roll 80\"\n"
        "*NickName: \"Thermal Roll 80\"\n*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n"
        "*ColorDevice: False\n*DefaultColorSpace: Gray\n*FileSystem: False\n*Throughput: \"1\"\n"
        "*TTRasterizer: Type42\n*cupsVersion: 2.4\n*cupsManualCopies: True\n"
        "*cupsFilter2: \"application/vnd.cups-raster application/vnd.cups-raster 0 -\"\n"
        "*OpenUI *Resolution: PickOne\n*OrderDependency: 10 AnySetup *Resolution\n"
        "*DefaultResolution: 203dpi\n"
        "*Resolution 203dpi/203 dpi: \"<</HWResolution[203 203]/cupsColorSpace 0"
        "/cupsBitsPerColor 8/cupsColorOrder 0>>setpagedevice\"\n"
        "*CloseUI: *Resolution\n"
        "*HWMargins: 11.34 0 11.34 0\n*VariablePaperSize: True\n"
        "*MaxMediaWidth: \"226.77\"\n*MaxMediaHeight: \"14400\"\n"
        "*CustomPageSize True: \"pop pop pop <</PageSize[5 -2 roll]/ImagingBBox null>>"
        "setpagedevice\"\n"
        "*ParamCustomPageSize Width: 1 points 72 226.77\n"
        "*ParamCustomPageSize Height: 2 points 36 14400\n"
        "*ParamCustomPageSize WidthOffset: 3 points 0 0\n"
        "*ParamCustomPageSize HeightOffset: 4 points 0 0\n"
        "*ParamCustomPageSize Orientation: 5 int 0 0\n"
        "*OpenUI *PageSize/Media Size: PickOne\n*OrderDependency: 10 AnySetup *PageSize\n"
        "*DefaultPageSize: X80MMY297MM\n"
        "*PageSize X80MMY297MM/80 x 297 mm: \"<</PageSize[226.77 841.89]/ImagingBBox null>>"
        "setpagedevice\"\n*CloseUI: *PageSize\n"
        "*OpenUI *PageRegion: PickOne\n*OrderDependency: 10 AnySetup *PageRegion\n"
        "*DefaultPageRegion: X80MMY297MM\n"
        "*PageRegion X80MMY297MM/80 x 297 mm: \"<</PageSize[226.77 841.89]/ImagingBBox null>>"
        "setpagedevice\"\n*CloseUI: *PageRegion\n"
        "*DefaultImageableArea: X80MMY297MM\n"
        "*ImageableArea X80MMY297MM/80 x 297 mm: \"11.34 0 215.43 841.89\"\n"
        "*DefaultPaperDimension: X80MMY297MM\n"
        "*PaperDimension X80MMY297MM/80 x 297 mm: \"226.77 841.89\"\n";
    const QString path = dir_->filePath(QStringLiteral("thermal80.ppd"));
    writeText(path, ppd);
    return path;
}

QString PrivateCups::admin(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(tool(program), args);
    if (!p.waitForFinished(15000)) return program + QStringLiteral(" hung");
    const QString out = QString::fromLocal8Bit(p.readAll());
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        return program + QStringLiteral(" failed: ") + out;
    }
    return {};
}

QString PrivateCups::addRollQueue(const QString& name, int widthMm) {
    return admin(QStringLiteral("lpadmin"),
                 {"-p", name, "-E", "-v", "capture:" + capturedFolder(), "-P", writePpd(widthMm)});
}

QString PrivateCups::addRawQueue(const QString& name) {
    return admin(QStringLiteral("lpadmin"),
                 {"-p", name, "-E", "-v", "capture:" + capturedFolder(), "-m", "raw"});
}

QString PrivateCups::addRawSocketQueue(const QString& name, quint16 port) {
    return admin(QStringLiteral("lpadmin"), {"-p", name, "-E", "-v", socketUri(port), "-m", "raw"});
}

QString PrivateCups::addThermalQueue(const QString& name, quint16 port) {
    return admin(QStringLiteral("lpadmin"),
                 {"-p", name, "-E", "-v", socketUri(port), "-P", writeThermalPpd()});
}

QString PrivateCups::addTextOnlyQueue(const QString& name) {
    return admin(QStringLiteral("lpadmin"), {"-p", name, "-E", "-v", "capture:" + capturedFolder(),
                                             "-m", "drv:///cupsfilters.drv/textonly.ppd"});
}

QStringList PrivateCups::captured(const QString& queue) const {
    QStringList paths;
    const QDir out(capturedFolder());
    for (const QString& f : out.entryList({queue + QStringLiteral("-*")}, QDir::Files)) {
        if (!f.endsWith(QStringLiteral(".part"))) paths.append(out.filePath(f));
    }
    std::sort(paths.begin(), paths.end(),
              [](const QString& a, const QString& b) { return jobNumber(a) < jobNumber(b); });
    return paths;
}

bool PrivateCups::waitCaptured(const QString& queue, int count, int timeoutMs) const {
    QElapsedTimer t;
    t.start();
    while (captured(queue).size() < count) {
        if (t.elapsed() > timeoutMs) return false;
        QThread::msleep(50);
    }
    return true;
}

QString PrivateCups::jobTitle(const QString& capturedPath) const {
    QFile f(dir_->filePath(QStringLiteral("titles/") + QFileInfo(capturedPath).fileName()));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString PrivateCups::errorLog() const {
    if (!dir_) return {};
    QFile f(dir_->filePath("log/error_log"));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray all = f.readAll();
    return QString::fromLocal8Bit(all.right(4000));
}

struct Listener::State {
    QTcpServer server;
    QList<QByteArray> done;
};

Listener::Listener() : state_(std::make_unique<State>()) {
    State* st = state_.get();
    QObject::connect(&st->server, &QTcpServer::newConnection, &st->server, [st] {
        while (QTcpSocket* c = st->server.nextPendingConnection()) {
            auto bytes = std::make_shared<QByteArray>();
            QObject::connect(c, &QTcpSocket::readyRead, c,
                             [c, bytes] { bytes->append(c->readAll()); });
            QObject::connect(c, &QTcpSocket::disconnected, c, [c, bytes, st] {
                bytes->append(c->readAll());
                // A connection that carried nothing is a probe, not a job.
                if (!bytes->isEmpty()) st->done.append(*bytes);
                c->deleteLater();
            });
        }
    });
    st->server.listen(QHostAddress::LocalHost, 0);
}

Listener::~Listener() = default;

quint16 Listener::port() const {
    return state_->server.serverPort();
}

void Listener::close() {
    state_->server.close();
}

bool Listener::wait(int count, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (state_->done.size() < count) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    return true;
}

QList<QByteArray> Listener::jobs() const {
    return state_->done;
}

QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {"-layout", path, "-"});
    if (!p.waitForFinished(15000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace testing_cups
