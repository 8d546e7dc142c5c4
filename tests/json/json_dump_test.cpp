#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "text_ops.h"

namespace {

const QString kDumpDir = QStringLiteral(SI_TEST_DATA_DIR "/json/dump/");

QByteArray readFile(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(path);
    return f.readAll();
}

struct DumpRun {
    int exitCode;
    QByteArray out;
};

DumpRun dump(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(QStringLiteral(SI_JSON_DUMP), args);
    EXPECT_TRUE(p.waitForStarted());
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput()};
}

}  // namespace

TEST(JsonDump, OutputMatchesTheGoldenFilesByteForByte) {
    const std::pair<const char*, int> cases[] = {
        {"kitchen", 0}, {"errors", 1}, {"bom", 0}, {"scalar", 1}, {"empty", 1}, {"invalid_utf8", 0},
    };
    for (auto [name, exitCode] : cases) {
        const DumpRun r = dump({kDumpDir + QLatin1String(name) + u".json"});
        EXPECT_EQ(r.exitCode, exitCode) << name;
        EXPECT_EQ(r.out, readFile(kDumpDir + QLatin1String(name) + u".out")) << name;
    }
}

TEST(JsonDump, ReadsStandardInput) {
    const DumpRun r = dump({QStringLiteral("-")}, readFile(kDumpDir + u"errors.json"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, readFile(kDumpDir + u"errors.out"));
}

TEST(JsonDump, UsageAndReadErrorsExitWith2) {
    EXPECT_EQ(dump({}).exitCode, 2);
    EXPECT_EQ(dump({u"a"_qs, u"b"_qs}).exitCode, 2);
    const DumpRun missing = dump({kDumpDir + u"no-such-file.json"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_EQ(dump({kDumpDir}).exitCode, 2);  // a folder cannot be read
}
