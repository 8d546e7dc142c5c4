#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "json/parser.h"
#include "text_ops.h"

namespace {

const QString kSuiteDir = QStringLiteral(SI_TEST_DATA_DIR "/JSONTestSuite/test_parsing/");

QStringList suiteFiles(const QString& prefix) {
    return QDir(kSuiteDir).entryList(QStringList{prefix + u"*.json"}, QDir::Files, QDir::Name);
}

QString readSuiteFile(const QString& name) {
    QFile f(kSuiteDir + name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(name);
    QByteArray bytes = f.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    return QString::fromUtf8(bytes);
}

}  // namespace

TEST(JsonSuite, AcceptedDocumentsWithAContainerRootParseCleanly) {
    // Numbers beyond the 96-bit range and repeated keys are refused on purpose.
    const std::map<QString, QString> refused = {
        {u"y_number.json"_qs, u"Invalid number: ]\r\n"_qs},
        {u"y_number_real_exponent.json"_qs, u"Invalid number: ]\r\n"_qs},
        {u"y_number_real_fraction_exponent.json"_qs, u"Invalid number: ]\r\n"_qs},
        {u"y_object_duplicated_key.json"_qs, u"Duplicate key: a\r\n"_qs},
        {u"y_object_duplicated_key_and_value.json"_qs, u"Duplicate key: a\r\n"_qs},
    };
    const QStringList files = suiteFiles(u"y_"_qs);
    ASSERT_GT(files.size(), 90) << "suite not found in " << qPrintable(kSuiteDir);
    int containers = 0;
    for (const QString& name : files) {
        const auto [root, errors] = json::parse(readSuiteFile(name));
        if (root.isEmpty()) continue;  // a scalar root is not a job document
        ++containers;
        auto it = refused.find(name);
        EXPECT_EQ(errors, it == refused.end() ? QString() : it->second) << qPrintable(name);
    }
    EXPECT_GT(containers, 80);
}

TEST(JsonSuite, EveryFileParsesToAnEnd) {
    // Rejected, ambiguous and accepted files alike: no crash, no hang, and a root only when
    // the text starts with a bracket.
    const QStringList files = suiteFiles(QString());
    ASSERT_GT(files.size(), 300);
    for (const QString& name : files) {
        const auto [root, errors] = json::parse(readSuiteFile(name));
        EXPECT_TRUE(root.isEmpty() || root.isContainer()) << qPrintable(name);
        if (root.isEmpty()) {
            EXPECT_EQ(errors, u"Invalid JSON") << qPrintable(name);
        }
    }
}

TEST(JsonSuite, JsonDumpAnswersEveryFileWithZeroOrOne) {
    for (const QString& name : suiteFiles(QString())) {
        QProcess p;
        p.start(QStringLiteral(SI_JSON_DUMP), {kSuiteDir + name});
        ASSERT_TRUE(p.waitForFinished(60000)) << qPrintable(name);
        ASSERT_EQ(p.exitStatus(), QProcess::NormalExit) << qPrintable(name);
        EXPECT_TRUE(p.exitCode() == 0 || p.exitCode() == 1) << qPrintable(name);
        const QByteArray out = p.readAllStandardOutput();
        EXPECT_EQ(p.exitCode() == 0, out.endsWith('\n') && out.count('\n') == 1)
            << qPrintable(name);
    }
}
