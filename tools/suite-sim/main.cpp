// suite-sim: the suite's notification server and job service on one machine, for the demo,
// the end-to-end tests and integrators trying their job documents.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "simulator.h"

namespace {

const char* const kDescription =
    R"(Stands in for the suite's notification server and HTTPS job service.

Control: one command a line on standard input.
  queue FILE CODE       queue the job document in FILE for branch CODE
  notify CODE [COUNT]   send COUNT notifications (default 1, times --burst) to
                        every print server identified with CODE
  down SECONDS          close the notification server (and its connections)
                        for SECONDS, then listen again
  restart               the same as "down 0"
  set NAME VALUE        change a fault option at run time: close-after,
                        fetch-delay, renotify (seconds), fetch-status (HTTP
                        status), fetch-garbage, split-notify,
                        notify-after-answer (0 or 1), burst
  clear CODE            drop the documents queued for CODE
  stats                 log the counters
  quit                  stop
End of input leaves the services running.

Job service: GET /?r=servicio/getImpresiones&idSyA=CODE answers the prefix
then the next queued document for CODE (or a document with no jobs), as
text/plain; charset=utf-8. A document leaves the queue once its answer has
been written whole. While documents remain, the branch is notified again
when its print server identifies itself, or reports its status after a fetch
that took a document (status 1 only after 5 s), never while one of its
fetches is announced or being answered; a failed fetch is not repeated.

Log: one line per event on standard output, "MS EVENT FIELDS...", MS the
milliseconds since start; fields are separated by blanks (a blank inside a
field is written \x20, an empty field ""). Events: listening notify|jobs
ADDR:PORT, connect ID ADDR:PORT, identify ID CODE, status ID CODE VALUE,
message ID TEXT, noise ID TEXT, disconnect ID, close ID, down notify ms=N,
notify|renotify CODE peers=N messages=N, queued CODE FILE waiting=N,
job-connect ID, fetch ID CODE queued=N, answer ID CODE FILE bytes=N,
served ID CODE FILE remaining=N, nojobs ID CODE, abandoned ID CODE FILE,
error-status ID CODE STATUS, garbage ID CODE, not-found ID TARGET,
bad-request ID, job-disconnect ID, tls-error TEXT, tls-alert TEXT,
set NAME VALUE, cleared CODE, stats ..., control-closed, quit,
error REASON.)";

bool parseSeconds(const QString& text, int& ms) {
    bool ok = false;
    const double s = text.toDouble(&ok);
    if (!ok || s < 0 || s > 86400) return false;
    ms = int(s * 1000.0);
    return true;
}

bool parsePort(const QString& text, quint16& port) {
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 65535) return false;
    port = quint16(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("suite-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption notifyHost(
        {QStringLiteral("notify-host")},
        QStringLiteral("Address the notification server listens on (127.0.0.1)."),
        QStringLiteral("ADDR"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption notifyPort(
        {QStringLiteral("notify-port")},
        QStringLiteral("Its port (3002; 0 picks a free one, see the log)."), QStringLiteral("PORT"),
        QStringLiteral("3002"));
    const QCommandLineOption jobHost(
        {QStringLiteral("job-host")},
        QStringLiteral("Address the job service listens on (127.0.0.1)."), QStringLiteral("ADDR"),
        QStringLiteral("127.0.0.1"));
    const QCommandLineOption jobPort({QStringLiteral("job-port")},
                                     QStringLiteral("Its port (8443; 0 picks a free one)."),
                                     QStringLiteral("PORT"), QStringLiteral("8443"));
    const QCommandLineOption cert(
        {QStringLiteral("cert")},
        QStringLiteral("PEM certificate (and chain) of the job service. Required."),
        QStringLiteral("PEM"));
    const QCommandLineOption key({QStringLiteral("key")},
                                 QStringLiteral("PEM private key of that certificate. Required."),
                                 QStringLiteral("PEM"));
    const QCommandLineOption prefix(
        {QStringLiteral("prefix")},
        QStringLiteral("The five characters written before each document (XXXXX)."),
        QStringLiteral("TEXT"), QStringLiteral("XXXXX"));
    const QCommandLineOption notifyText(
        {QStringLiteral("notify-text")},
        QStringLiteral("Text of a notification before its terminator (imprimir)."),
        QStringLiteral("TEXT"), QStringLiteral("imprimir"));
    const QCommandLineOption closeAfter(
        {QStringLiteral("close-after")},
        QStringLiteral("Fault: close each notification connection SECONDS after it opens."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption refuse(
        {QStringLiteral("refuse")},
        QStringLiteral("Fault: keep the notification server closed for the first SECONDS."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption fetchDelay(
        {QStringLiteral("fetch-delay")},
        QStringLiteral("Fault: answer each fetch only after SECONDS."), QStringLiteral("SECONDS"));
    const QCommandLineOption fetchStatus(
        {QStringLiteral("fetch-status")},
        QStringLiteral(
            "Fault: answer each fetch with this HTTP status (e.g. 500) and no document."),
        QStringLiteral("STATUS"));
    const QCommandLineOption fetchGarbage(
        {QStringLiteral("fetch-garbage")},
        QStringLiteral("Fault: answer each fetch with bytes that are not HTTP, then close."));
    const QCommandLineOption splitNotify(
        {QStringLiteral("split-notify")},
        QStringLiteral("Fault: write each notification in two parts 100 ms apart, cut inside the "
                       "terminator."));
    const QCommandLineOption notifyAfterAnswer(
        {QStringLiteral("notify-after-answer")},
        QStringLiteral("Fault: notify the branch the moment a document's answer is out, while its "
                       "server still reads it."));
    const QCommandLineOption burst(
        {QStringLiteral("burst")},
        QStringLiteral("Fault: each notify writes N notifications back to back."),
        QStringLiteral("N"));
    const QCommandLineOption renotify(
        {QStringLiteral("renotify")},
        QStringLiteral("Notify branches with waiting documents every SECONDS (off)."),
        QStringLiteral("SECONDS"));
    parser.addOptions({notifyHost, notifyPort, jobHost, jobPort, cert, key, prefix, notifyText,
                       closeAfter, refuse, fetchDelay, fetchStatus, fetchGarbage, splitNotify,
                       notifyAfterAnswer, burst, renotify});
    parser.process(app);

    suitesim::Options o;
    const auto usage = [](const QString& message) {
        std::fprintf(stderr, "suite-sim: %s\n", qPrintable(message));
        return 2;
    };
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument ") + parser.positionalArguments().first());
    if (!o.notifyAddress.setAddress(parser.value(notifyHost)) ||
        !o.jobAddress.setAddress(parser.value(jobHost)))
        return usage(QStringLiteral("--notify-host and --job-host take an IP address"));
    if (!parsePort(parser.value(notifyPort), o.notifyPort) ||
        !parsePort(parser.value(jobPort), o.jobPort))
        return usage(QStringLiteral("bad port"));
    if (!parser.isSet(cert) || !parser.isSet(key))
        return usage(
            QStringLiteral("--cert and --key are required (a PEM certificate and its key)"));
    o.certFile = parser.value(cert);
    o.keyFile = parser.value(key);
    o.prefix = parser.value(prefix).toUtf8();
    o.notifyText = parser.value(notifyText).toUtf8();
    if ((parser.isSet(closeAfter) && !parseSeconds(parser.value(closeAfter), o.closeAfterMs)) ||
        (parser.isSet(refuse) && !parseSeconds(parser.value(refuse), o.refuseMs)) ||
        (parser.isSet(fetchDelay) && !parseSeconds(parser.value(fetchDelay), o.fetchDelayMs)) ||
        (parser.isSet(renotify) && !parseSeconds(parser.value(renotify), o.renotifyMs)))
        return usage(QStringLiteral("times are seconds, e.g. 2 or 0.5"));
    if (parser.isSet(fetchStatus)) {
        bool ok = false;
        o.fetchStatus = parser.value(fetchStatus).toInt(&ok);
        if (!ok || o.fetchStatus < 100 || o.fetchStatus > 599)
            return usage(QStringLiteral("--fetch-status takes an HTTP status"));
    }
    if (parser.isSet(burst)) {
        bool ok = false;
        o.burst = parser.value(burst).toInt(&ok);
        if (!ok || o.burst < 1) return usage(QStringLiteral("--burst takes a count of at least 1"));
    }
    o.fetchGarbage = parser.isSet(fetchGarbage);
    o.splitNotify = parser.isSet(splitNotify);
    o.notifyAfterAnswer = parser.isSet(notifyAfterAnswer);

    suitesim::Simulator sim(o);
    QObject::connect(&sim, &suitesim::Simulator::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (!sim.start()) return 2;
    sim.watchControl(0);
    return app.exec();
}
