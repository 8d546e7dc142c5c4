// The server killed again and again while it prints a batch: every ticket of every document
// it received prints exactly once, counted from the printed files.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <memory>

#include "aplicacion_prueba.h"
#include "harness.h"
#include "private_cups.h"

using e2e::Child;
using e2e::kCode;
using e2e::re;
using e2e::waitUntil;

namespace {

const auto* const kAplicacion = pruebas::registrarAplicacion<QCoreApplication>("diario_e2e_tests");

constexpr int kDeadline = 15000;
constexpr int kTicketsPerDocument = 3;

class Journal : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QString::fromUtf8(SI_SERVER_BIN).isEmpty()) GTEST_SKIP() << "no server binary";
        clock_.start();
        root_ = tmp_.path();
        for (const char* d : {"cert", "app", "out", "docs"}) QDir(root_).mkpath(QLatin1String(d));
        ASSERT_TRUE(e2e::makeCertificate(root_ + QStringLiteral("/cert")));
        QFile access(root_ + QStringLiteral("/app/Acceso"));
        ASSERT_TRUE(access.open(QIODevice::WriteOnly));
        access.write(kCode.toUtf8() + "\r\n");
        access.close();

        sim_ = std::make_unique<Child>(QStringLiteral("suite-sim"), clock_);
        const e2e::SimPorts ports = e2e::startSim(*sim_, QString::fromUtf8(SI_SIM_BIN),
                                                  root_ + QStringLiteral("/cert"), {}, kDeadline);
        ASSERT_FALSE(ports.notify.isEmpty()) << sim_->tail().toStdString();
        notifyPort_ = ports.notify;
        jobPort_ = ports.jobs;
    }

    void TearDown() override {
        if (server_) server_->stop();
        if (sim_) sim_->stop(QStringLiteral("quit"));
        if (HasFailure()) {
            // E2E_FULL_LOGS=1 shows every run of the server whole, and the simulator's log.
            const bool full = qEnvironmentVariableIsSet("E2E_FULL_LOGS");
            if (full) std::fprintf(stderr, "%s", qPrintable(earlierRuns_));
            if (server_) std::fprintf(stderr, "%s", qPrintable(server_->tail(full ? 1 << 30 : 60)));
            if (sim_) std::fprintf(stderr, "%s", qPrintable(sim_->tail(full ? 1 << 30 : 40)));
        }
    }

    // Forgets the ended server, keeping its log for a failure report.
    void retireServer() {
        if (!server_) return;
        server_->stop();
        earlierRuns_ += server_->tail(1 << 30);
        server_.reset();
    }

    QStringList serverArgs() const {
        return QStringList{
                   QStringLiteral("--app-dir"),     root_ + QStringLiteral("/app"),
                   QStringLiteral("--notify-host"), QStringLiteral("127.0.0.1"),
                   QStringLiteral("--notify-port"), notifyPort_,
                   QStringLiteral("--job-host"),    QStringLiteral("127.0.0.1:") + jobPort_,
                   QStringLiteral("--ca-file"),     root_ + QStringLiteral("/cert/cert.pem")} +
               (printerArgs_.isEmpty() ? virtualPrinters() : printerArgs_);
    }

    QStringList virtualPrinters() const {
        return {QStringLiteral("--printers"),     QStringLiteral("virtual"),
                QStringLiteral("--printer"),      QStringLiteral("Cocina"),
                QStringLiteral("--printer"),      QStringLiteral("Bar"),
                QStringLiteral("--printer"),      QStringLiteral("Facturas"),
                QStringLiteral("--default"),      QStringLiteral("Facturas"),
                QStringLiteral("--print-output"), root_ + QStringLiteral("/out")};
    }

    void startServer(const QStringList& env = {}) {
        retireServer();
        server_ = std::make_unique<Child>(QStringLiteral("servidor-impresoras"), clock_);
        const int from = static_cast<int>(sim_->lines().size());
        starts_.append(clock_.elapsed());
        server_->start(QString::fromUtf8(SI_SERVER_BIN), serverArgs(), env);
        // Notified only once it has identified: a notification to nobody is lost, and the
        // suite does not notify again within its quiet time. A loaded machine may take long
        // to start it (the journal's check, what it resumes before connecting).
        ASSERT_TRUE(waitUntil(
            [&] { return sim_->find(re(QStringLiteral(" identify ")), from) >= 0; }, 4 * kDeadline))
            << "the server never identified";
    }

    // kill -9, as a power cut would end it; the time is noted for the hand-over rule.
    void killServer() {
        ASSERT_TRUE(server_ && server_->running());
        ::kill(static_cast<pid_t>(server_->pid()), SIGKILL);
        kills_.append(clock_.elapsed());
        waitUntil([&] { return !server_->running(); }, kDeadline);
        retireServer();
    }

    void queueDocument(int n) {
        const QString path = root_ + QStringLiteral("/docs/%1.json").arg(n);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(e2e::threeTicketDocument(n));
        f.close();
        sim_->write(QStringLiteral("queue ") + path + u' ' + kCode);
    }

    void queueBatch(int documents) {
        for (int n = 1; n <= documents; ++n) queueDocument(n);
    }

    // Document number -> when the job service finished writing its answer.
    QMap<int, qint64> served() const {
        QMap<int, qint64> out;
        const QRegularExpression line(QStringLiteral(" served \\S+ \\S+ \\S*/(\\d+)\\.json "));
        for (const auto& l : sim_->lines()) {
            const auto m = line.match(l.text);
            if (m.hasMatch()) out.insert(m.captured(1).toInt(), l.at);
        }
        return out;
    }

    // "D7T2" -> how many printed files carry it.
    QMap<QString, int> printed() const {
        QMap<QString, int> seen;
        const QDir out(root_ + QStringLiteral("/out"));
        const QRegularExpression mark(QStringLiteral("D(\\d+)T(\\d)"));
        for (const QString& name : out.entryList({QStringLiteral("*.txt")}, QDir::Files)) {
            QFile f(out.filePath(name));
            if (!f.open(QIODevice::ReadOnly)) continue;
            const QString text = QString::fromUtf8(f.readAll());
            QSet<QString> inFile;  // a table name may show more than once on one ticket
            auto it = mark.globalMatch(text);
            while (it.hasNext()) inFile.insert(it.next().captured(0));
            for (const QString& m : inFile) ++seen[m];
        }
        return seen;
    }

    // The journal's tickets as --tickets lists them: one tab-separated line each.
    QList<QStringList> ticketLines() const {
        QProcess p;
        p.start(QString::fromUtf8(SI_SERVER_BIN),
                {QStringLiteral("--app-dir"), root_ + QStringLiteral("/app"),
                 QStringLiteral("--tickets")});
        p.waitForFinished(10000);
        QList<QStringList> lines;
        for (const QByteArray& l : p.readAllStandardOutput().split('\n')) {
            if (!l.isEmpty()) lines.append(QString::fromUtf8(l).split(u'\t'));
        }
        return lines;
    }

    // Document number -> its journal rows as --tickets lists them (state and title).
    QMap<int, QStringList> listedByTickets() const {
        QMap<int, QStringList> docs;
        const QRegularExpression mark(QStringLiteral("D(\\d+)T\\d$"));
        for (const QStringList& fields : ticketLines()) {
            const auto m = mark.match(fields.value(5).toUpper());
            if (m.hasMatch())
                docs[m.captured(1).toInt()].append(fields.value(4) + u' ' + fields.value(5));
        }
        return docs;
    }

    // When the server that a kill ended was started again; -1 when it was not.
    qint64 restartAfter(qint64 kill) const {
        for (const qint64 s : starts_)
            if (s >= kill) return s;
        return -1;
    }

    // A document counts as received when the journal lists it, or when its answer was
    // written whole at least 0.3 s before a kill (or before the end, with no kill after).
    // An answer written just before a kill may be read here only after it: any answer seen
    // from 0.3 s before a kill until the restart went to the process that the kill ended.
    // Printed tickets are counted in `seen` ("D7T2" -> copies), by default from the files.
    void expectEveryReceivedTicketOnce(int documents) {
        expectEveryReceivedTicketOnce(documents, printed());
    }
    void expectEveryReceivedTicketOnce(int documents, const QMap<QString, int>& seen) {
        const QMap<int, qint64> s = served();
        const QMap<int, QStringList> listed = listedByTickets();
        int received = 0;
        int seenAfterKill = 0;
        for (int n = 1; n <= documents; ++n) {
            bool isReceived = listed.contains(n);
            QString when = QStringLiteral("never served");
            if (s.contains(n)) {
                const qint64 at = s.value(n);
                when = QStringLiteral("served at %1 ms").arg(at);
                bool beforeAKill = false;
                for (const qint64 k : kills_) {
                    const qint64 restart = restartAfter(k);
                    if (at > k - 300 && (restart < 0 || at < restart)) {
                        beforeAKill = true;
                        when += QStringLiteral(", killed at %1 ms").arg(k);
                        if (at >= k && !listed.contains(n)) ++seenAfterKill;
                    }
                }
                isReceived = isReceived || !beforeAKill;
            }
            for (int t = 1; t <= kTicketsPerDocument; ++t) {
                const QString key = QStringLiteral("D%1T%2").arg(n).arg(t);
                EXPECT_LE(seen.value(key), 1) << key.toStdString() << " printed twice";
                if (isReceived) {
                    EXPECT_EQ(seen.value(key), 1)
                        << key.toStdString() << " lost (" << when.toStdString()
                        << "; journal: " << listed.value(n).join(", ").toStdString() << ")";
                }
            }
            received += isReceived ? 1 : 0;
        }
        std::printf(
            "[figure] %d of %d documents received, %d kills, %d answers seen only after "
            "their kill\n",
            received, documents, int(kills_.size()), seenAfterKill);
    }

    void notify() { sim_->write(QStringLiteral("notify ") + kCode); }

    int servedCount() const { return static_cast<int>(served().size()); }

    QTemporaryDir tmp_;
    QString root_;
    QElapsedTimer clock_;
    QString notifyPort_;
    QString jobPort_;
    std::unique_ptr<Child> sim_;
    std::unique_ptr<Child> server_;
    QList<qint64> kills_;
    QList<qint64> starts_;
    QStringList printerArgs_;  // empty: virtual printers writing text files
    QString earlierRuns_;      // the logs of the servers ended so far
};

TEST_F(Journal, KilledTenTimesOverABatchEveryReceivedTicketPrintsOnce) {
    constexpr int kDocuments = 40;
    queueBatch(kDocuments);
    startServer();
    notify();
    QRandomGenerator random(12);
    for (int kill = 1; kill <= 10; ++kill) {
        const int target = kill * kDocuments / 12;
        ASSERT_TRUE(waitUntil([&] { return servedCount() >= target; }, 4 * kDeadline))
            << "served " << servedCount();
        waitUntil([] { return false; }, static_cast<int>(random.bounded(250)));
        killServer();
        startServer();
        notify();  // the suite notifies on new work; a restart inside its quiet time hears none
    }
    ASSERT_TRUE(waitUntil([&] { return servedCount() >= kDocuments; }, 6 * kDeadline));
    waitUntil([&] { return printed().size() >= kDocuments * kTicketsPerDocument; }, kDeadline);
    waitUntil([] { return false; }, 1500);
    expectEveryReceivedTicketOnce(kDocuments);
}

TEST_F(Journal, EndedAtEachStepOfATicketItResumesWithoutLossOrDouble) {
    constexpr int kDocuments = 12;
    queueBatch(kDocuments);
    for (const char* step : {"diario:2", "trabajo:4", "envio:5", "marca:7"}) {
        const int before = servedCount();
        startServer({QStringLiteral("SERVIDOR_IMPRESORAS_FALLO=") + QLatin1String(step)});
        notify();
        ASSERT_TRUE(waitUntil([&] { return !server_->running(); }, 4 * kDeadline))
            << "never reached " << step;
        server_.reset();
        kills_.append(clock_.elapsed());
        EXPECT_GT(servedCount(), before);
    }
    startServer();
    notify();
    ASSERT_TRUE(waitUntil([&] { return servedCount() >= kDocuments; }, 6 * kDeadline));
    waitUntil([&] { return printed().size() >= kDocuments * kTicketsPerDocument; }, kDeadline);
    waitUntil([] { return false; }, 1500);
    // Each step ends the process after a document was journaled: nothing of it may be lost.
    const QMap<QString, int> seen = printed();
    for (int n = 1; n <= kDocuments; ++n) {
        for (int t = 1; t <= kTicketsPerDocument; ++t) {
            EXPECT_EQ(seen.value(QStringLiteral("D%1T%2").arg(n).arg(t)), 1)
                << "D" << n << "T" << t;
        }
    }
}

TEST_F(Journal, TicketsAndReprintWorkBesideTheRunningServer) {
    queueBatch(1);
    startServer();
    notify();
    ASSERT_TRUE(waitUntil([&] { return printed().size() >= kTicketsPerDocument; }, kDeadline));
    const auto cli = [&](const QStringList& args, QByteArray* out = nullptr) {
        QProcess p;
        p.start(QString::fromUtf8(SI_SERVER_BIN),
                QStringList{QStringLiteral("--app-dir"), root_ + QStringLiteral("/app")} + args);
        p.waitForFinished(15000);
        if (out) *out = p.readAllStandardOutput();
        return p.exitCode();
    };
    QByteArray listing;
    EXPECT_EQ(cli({QStringLiteral("--tickets")}, &listing), 0);
    const QList<QByteArray> lines = listing.trimmed().split('\n');
    ASSERT_EQ(lines.size(), kTicketsPerDocument);
    const QList<QByteArray> first = lines[0].split('\t');
    ASSERT_EQ(first.size(), 6);
    EXPECT_EQ(first[2], "comanda");
    EXPECT_EQ(first[3], "Cocina");
    EXPECT_EQ(first[4], "impreso");
    EXPECT_EQ(first[5], "Cocina D1T1");

    const QString id = QString::fromUtf8(first[0]);
    EXPECT_EQ(cli({QStringLiteral("--reprint"), id, QStringLiteral("--to"), QStringLiteral("bar")}),
              0);
    EXPECT_EQ(cli({QStringLiteral("--reprint"), QStringLiteral("9999")}), 1);
    EXPECT_EQ(
        cli({QStringLiteral("--reprint"), id, QStringLiteral("--to"), QStringLiteral("Parrilla")}),
        1);
    ASSERT_TRUE(waitUntil([&] { return printed().value(QStringLiteral("D1T1")) == 2; }, kDeadline));
    EXPECT_TRUE(server_->running()) << "no second server took over";
    const auto copia = re(QStringLiteral("^Reimpresion del ticket %1 en Bar \\(copia").arg(id));
    EXPECT_TRUE(waitUntil([&] { return server_->count(copia) == 1; }, kDeadline))
        << "the log marks the reprint as a copy";

    server_->stop();
    server_.reset();
    EXPECT_EQ(cli({QStringLiteral("--reprint"), id}), 3);
    EXPECT_EQ(cli({QStringLiteral("--tickets")}, &listing), 0);
    EXPECT_EQ(listing.trimmed().split('\n').size(), kTicketsPerDocument + 1);
}

// An output folder that cannot be written fails every virtual printer, the default included.
TEST_F(Journal, PrintersDownForAWhileThenBackPrintEachTicketOnce) {
    queueDocument(1);
    server_ = std::make_unique<Child>(QStringLiteral("servidor-impresoras"), clock_);
    const int simFrom = static_cast<int>(sim_->lines().size());
    server_->start(
        QString::fromUtf8(SI_SERVER_BIN),
        serverArgs() + QStringList{QStringLiteral("--retry-ms"), QStringLiteral("1000")});
    ASSERT_TRUE(waitUntil(
        [&] { return sim_->find(re(QStringLiteral(" identify ")), simFrom) >= 0; }, kDeadline));
    const QString out = root_ + QStringLiteral("/out");
    ASSERT_TRUE(QDir(out).removeRecursively());
    QFile blocker(out);  // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    notify();
    const auto status = [&](const char* value) {
        return re(QStringLiteral(" status \\S+ %1 %2$").arg(kCode, QLatin1String(value)));
    };
    ASSERT_TRUE(waitUntil([&] { return sim_->find(status("1"), simFrom) >= 0; }, 3 * kDeadline))
        << "tickets wait: status 1";
    // New work while tickets wait. The suite does not push a queue to a branch that reports
    // 1 until its next heartbeat, so the second document comes with a notification of its own.
    queueDocument(2);
    notify();
    ASSERT_TRUE(waitUntil([&] { return servedCount() >= 2; }, 3 * kDeadline));
    // Both documents in (each failure told once, with its balloon), then retries fail quietly.
    const QRegularExpression answer(QStringLiteral("^XXXXX.*\"D2T1\""));
    ASSERT_TRUE(waitUntil([&] { return server_->find(answer) >= 0; }, kDeadline));
    const int second = server_->find(answer);
    const QRegularExpression retry(QStringLiteral("^Reintento sin exito"));
    ASSERT_TRUE(waitUntil([&] { return server_->count(retry, second) >= 12; }, kDeadline));
    const int firstRetry = server_->find(retry, second);
    EXPECT_EQ(server_->count(re(QStringLiteral("^balloon ")), firstRetry), 0)
        << "a failed retry shows no balloon";

    ASSERT_TRUE(QFile::remove(out));
    const int back = static_cast<int>(sim_->lines().size());
    ASSERT_TRUE(waitUntil([&] { return printed().size() >= 2 * kTicketsPerDocument; }, kDeadline));
    ASSERT_TRUE(waitUntil([&] { return sim_->find(status("0"), back) >= 0; }, kDeadline))
        << "the last waiting ticket printed: status 0 at once";
    waitUntil([] { return false; }, 1500);
    for (const int n : printed()) EXPECT_EQ(n, 1);
    EXPECT_GT(
        server_->count(re(QStringLiteral("^balloon 1 Impresion de comanda: Comanda enviada a "))),
        0);
}

// The same batch through a private CUPS scheduler: raw queues that take the printers' own
// text, so each captured job says which ticket it carries, and its job-name says which
// journal ticket it was sent as.
class JournalOnCups : public Journal {
  protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "a private CUPS scheduler needs root";
        Journal::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(cups_.start(), QString());  // points this process and its children at it
        for (const char* q : {"Cocina", "Bar", "Facturas"})
            ASSERT_EQ(cups_.addRawQueue(QLatin1String(q)), QString());
        QFile ini(root_ + QStringLiteral("/app/servidor.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[impresoras]\nCocina=escpos-text\nBar=escpos-text\nFacturas=escpos-text\n");
        ini.close();
        printerArgs_ = {QStringLiteral("--printers"), QStringLiteral("cups"),
                        QStringLiteral("--default"), QStringLiteral("Facturas")};
    }

    void TearDown() override {
        Journal::TearDown();
        if (!HasFailure()) return;
        std::fprintf(stderr, "---- the journal ----\n");
        for (const QStringList& fields : ticketLines())
            std::fprintf(stderr, "%s\n", qPrintable(fields.join(u' ')));
        std::fprintf(stderr, "---- captured jobs ----\n");
        for (const Job& job : jobs()) {
            const QStringList marks(job.marks.cbegin(), job.marks.cend());
            std::fprintf(stderr, "%s %s %s\n", qPrintable(job.queue), qPrintable(job.title),
                         qPrintable(marks.join(u',')));
        }
        std::fprintf(stderr, "%s\n", qPrintable(cups_.errorLog()));
    }

    struct Job {
        QString queue;
        QString title;        // job-name
        QSet<QString> marks;  // the tickets its text names ("D7T2")
    };

    QList<Job> jobs() const {
        QList<Job> out;
        const QRegularExpression mark(QStringLiteral("D(\\d+)T(\\d)"));
        for (const char* q : {"Cocina", "Bar", "Facturas"}) {
            for (const QString& path : cups_.captured(QLatin1String(q))) {
                QFile f(path);
                if (!f.open(QIODevice::ReadOnly)) continue;
                Job job{QLatin1String(q), cups_.jobTitle(path), {}};
                // The printer's own text: the marks are plain ASCII among the commands.
                auto it = mark.globalMatch(QString::fromLatin1(f.readAll()));
                while (it.hasNext()) job.marks.insert(it.next().captured(0));
                out.append(job);
            }
        }
        return out;
    }

    // The job a kill left between its creation and its document: the one CUPS holds under
    // the name of the ticket the journal left `enviado`. Its CUPS id, 0 when none.
    int jobLeftWithoutDocument() {
        QString id;
        for (const QStringList& fields : ticketLines()) {
            if (fields.value(4) == QLatin1String("enviado")) id = fields.value(0);
        }
        EXPECT_FALSE(id.isEmpty()) << "no ticket left sent";
        if (id.isEmpty()) return 0;
        cups_job_t* all = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &all, nullptr, 0, CUPS_WHICHJOBS_ALL);
        int found = 0;
        for (int i = 0; i < count; ++i) {
            const QString title = QString::fromUtf8(all[i].title);
            if (title.startsWith(QLatin1String("ticket-")) && title.section(u'-', -1) == id)
                found = all[i].id;
        }
        if (count > 0) cupsFreeJobs(count, all);
        EXPECT_GT(found, 0) << "CUPS has no job for ticket " << id.toStdString();
        return found;
    }

    static int jobState(int id) {
        cups_job_t* all = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &all, nullptr, 0, CUPS_WHICHJOBS_ALL);
        int state = 0;
        for (int i = 0; i < count; ++i) {
            if (all[i].id == id) state = all[i].state;
        }
        if (count > 0) cupsFreeJobs(count, all);
        return state;
    }

    testing_cups::PrivateCups cups_;
};

TEST_F(JournalOnCups, KilledAtEachStepAndAtRandomEveryReceivedTicketPrintsOnceByJobName) {
    constexpr int kDocuments = 20;
    queueBatch(kDocuments);
    // Ended as a kill would end it: once a ticket's job is named but before it exists, once
    // CUPS created it but before its document went, after it is sent, after it is marked.
    // All but the last leave a document for the next start to resume.
    const QRegularExpression resumed(
        QStringLiteral("^Reanudando documento de \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    bool unfinished = false;
    const auto expectResumed = [&](const char* after) {
        if (!unfinished) return;
        EXPECT_TRUE(waitUntil([&] { return server_->find(resumed) >= 0; }, kDeadline))
            << "nothing resumed after " << after;
    };
    const char* last = "";
    int heldJob = 0;
    for (const auto& [step, leaves] : {std::pair{"trabajo:4", true},
                                       {"creado:5", true},
                                       {"envio:5", true},
                                       {"marca:3", false}}) {
        const int before = servedCount();
        startServer({QStringLiteral("SERVIDOR_IMPRESORAS_FALLO=") + QLatin1String(step)});
        expectResumed(last);
        notify();
        ASSERT_TRUE(waitUntil([&] { return !server_->running(); }, 4 * kDeadline))
            << "never reached " << step;
        retireServer();
        kills_.append(clock_.elapsed());
        EXPECT_GT(servedCount(), before) << step;
        unfinished = leaves;
        last = step;
        if (QLatin1String(step).startsWith(QLatin1String("creado")))
            heldJob = jobLeftWithoutDocument();
    }
    // kill -9 at moments spread over the rest of the batch.
    startServer();
    expectResumed(last);
    notify();
    QRandomGenerator random(5);
    for (const int target : {9, 13, 17}) {
        ASSERT_TRUE(waitUntil([&] { return servedCount() >= target; }, 4 * kDeadline))
            << "served " << servedCount();
        waitUntil([] { return false; }, static_cast<int>(random.bounded(250)));
        killServer();
        startServer();
        notify();
    }
    ASSERT_TRUE(waitUntil([&] { return servedCount() >= kDocuments; }, 6 * kDeadline));
    // Until every journaled ticket is done and captured (a document handed over just before a
    // kill never reached the journal, so there may be fewer than the batch's).
    waitUntil(
        [&] {
            const QList<QStringList> listed = ticketLines();
            for (const QStringList& fields : listed) {
                if (fields.value(4) != QLatin1String("impreso")) return false;
            }
            return jobs().size() >= listed.size();
        },
        kDeadline);
    waitUntil([] { return false; }, 1500);

    // Journal id -> the ticket it is, from the journal's own listing.
    QMap<QString, QString> ticketOf;
    const QRegularExpression mark(QStringLiteral("D\\d+T\\d$"));
    for (const QStringList& fields : ticketLines()) {
        const auto m = mark.match(fields.value(5).toUpper());
        if (m.hasMatch()) ticketOf.insert(fields.value(0), m.captured(0));
    }
    const QRegularExpression name(QStringLiteral("^ticket-.+-(\\d+)$"));
    QMap<QString, int> byName;
    QMap<QString, int> seen;
    for (const Job& job : jobs()) {
        ++byName[job.title];
        const auto m = name.match(job.title);
        EXPECT_TRUE(m.hasMatch()) << "a job named " << job.title.toStdString() << " on "
                                  << job.queue.toStdString();
        EXPECT_EQ(job.marks.size(), 1) << job.title.toStdString();
        if (!m.hasMatch() || job.marks.size() != 1) continue;
        const QString ticket = *job.marks.cbegin();
        EXPECT_EQ(ticketOf.value(m.captured(1)), ticket)
            << "job " << job.title.toStdString() << " carries another ticket than its name says";
        ++seen[ticket];
    }
    for (auto it = byName.cbegin(); it != byName.cend(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString() << " was printed twice";
    EXPECT_EQ(jobState(heldJob), IPP_JSTATE_CANCELED)
        << "a job that never got its document is cancelled before its ticket goes again";
    expectEveryReceivedTicketOnce(kDocuments, seen);
}

}  // namespace
