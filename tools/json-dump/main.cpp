// json-dump FILE: reads a job document (UTF-8, "-" for standard input), and writes the
// canonical form of what the reader made of it on one line, then the reader's error text
// unchanged. Exit status 0 without errors, 1 with errors, 2 on a usage or read error.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdio>

#include "json/canonical.h"
#include "json/parser.h"

namespace {

int usage() {
    std::fputs("usage: json-dump FILE   (FILE may be - for standard input)\n", stderr);
    return 2;
}

bool writeAll(const QByteArray& bytes) {
    return bytes.isEmpty() || std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()),
                                          stdout) == static_cast<size_t>(bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return usage();
    const QString path = QString::fromLocal8Bit(argv[1]);

    QFile file;
    bool opened;
    if (path == u"-") {
        opened = file.open(stdin, QIODevice::ReadOnly);
    } else {
        file.setFileName(path);
        opened = file.open(QIODevice::ReadOnly);
    }
    QByteArray bytes;
    if (opened) bytes = file.readAll();
    if (!opened || file.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "json-dump: cannot read %s: %s\n", argv[1],
                     file.errorString().toLocal8Bit().constData());
        return 2;
    }
    const auto [root, errors] = json::parse(json::documentText(bytes));

    if (!writeAll(json::dumpText(root, errors)) || std::fflush(stdout) != 0) {
        std::fputs("json-dump: cannot write the output\n", stderr);
        return 2;
    }
    return errors.isEmpty() ? 0 : 1;
}
