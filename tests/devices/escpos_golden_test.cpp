// Golden ESC/POS tickets: two kitchen tickets and an invoice on 58 and 80 mm paper, as a
// raster and in the printers' own fonts. The files must not change byte for byte, and
// escpos-view, which shares no code with the encoder, must read them back as the tickets:
// the text mode's words in the tape's order, the raster as the 203 dpi preview after the
// same scaling.
//
// SI_WRITE_GOLDEN=1 writes the files anew into tests/data/escpos; the decoding test then
// says whether they are right.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

struct GoldenRun {
    const char* document;  // in tests/data/escpos
    int mm;
    bool text;  // escpos-text, else the raster
};

const GoldenRun kRuns[] = {
    {"comandas", 58, false}, {"comandas", 58, true}, {"comandas", 80, false},
    {"comandas", 80, true},  {"factura", 58, false}, {"factura", 58, true},
    {"factura", 80, false},  {"factura", 80, true},
};

QString dataDir() {
    return QStringLiteral(SI_TEST_DATA_DIR) + "/escpos";
}

QString goldenDir(const GoldenRun& r) {
    return dataDir() + QStringLiteral("/%1-%2mm-%3")
                           .arg(QLatin1String(r.document))
                           .arg(r.mm)
                           .arg(r.text ? "text" : "raster");
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Outcome {
    int status = -1;
    QByteArray out;
    QString err;
};

Outcome runTool(const QString& tool, const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(SI_BINARY_DIR) + "/tools/" + tool + "/" + tool, args);
    Outcome o;
    if (!p.waitForFinished(60000)) return o;
    o.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    o.out = p.readAllStandardOutput();
    o.err = QString::fromUtf8(p.readAllStandardError());
    return o;
}

class EscposGoldenTest : public ::testing::Test {
  protected:
    // Renders one run into its own folder: NNN-PRINTER.txt, .png and .escpos.
    QString render(const GoldenRun& r) {
        const QString name = QFileInfo(goldenDir(r)).fileName();
        const QString app = dir_.filePath(name + "-app");
        const QString out = dir_.filePath(name);
        QDir().mkpath(app);
        QFile::copy(dataDir() + "/logo.bmp", app + "/logo.bmp");
        QFile ini(app + "/servidor.ini");
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        if (r.text)
            ini.write(
                "[impresoras]\nParrilla=escpos-text\nBar=escpos-text\nFacturas=escpos-text\n");
        ini.close();
        const QString width = r.mm == 58 ? "3288" : "4535";
        const Outcome o =
            runTool("ticket-render", {"--app-dir", app, "--printer", "Parrilla=" + width,
                                      "--printer", "Bar=" + width, "--printer", "Facturas=" + width,
                                      "--default", "Facturas", "--format", "text,png,escpos",
                                      "--locale", "es_CO", "--now", "2024-03-05 14:07:09", "--out",
                                      out, dataDir() + "/" + QLatin1String(r.document) + ".json"});
        EXPECT_EQ(o.status, 0) << o.err.toStdString();
        return out;
    }

    static QStringList escposFiles(const QString& folder) {
        return QDir(folder).entryList({"*.escpos"}, QDir::Files, QDir::Name);
    }

    QTemporaryDir dir_;
};

TEST_F(EscposGoldenTest, TicketsAreByteForByteTheGoldenFiles) {
    const bool write = qEnvironmentVariableIntValue("SI_WRITE_GOLDEN") == 1;
    for (const GoldenRun& r : kRuns) {
        const QString out = render(r);
        const QString golden = goldenDir(r);
        const QStringList files = escposFiles(out);
        EXPECT_EQ(files.size(), QLatin1String(r.document) == "comandas" ? 2 : 1)
            << out.toStdString();
        if (write) {
            QDir(golden).removeRecursively();
            QDir().mkpath(golden);
            for (const QString& f : files) QFile::copy(out + "/" + f, golden + "/" + f);
            continue;
        }
        EXPECT_EQ(escposFiles(golden), files) << golden.toStdString();
        for (const QString& f : files) {
            EXPECT_TRUE(readFile(out + "/" + f) == readFile(golden + "/" + f))
                << (golden + "/" + f).toStdString() << " differs";
        }
    }
}

// The words of a tape (after each line's "SIZE|") or of escpos-view --text (after "WxH|").
QStringList words(const QByteArray& lines, const QString& skip) {
    QStringList out;
    for (const QString& line : QString::fromUtf8(lines).split(u'\n', Qt::SkipEmptyParts)) {
        if (QRegularExpression(skip).match(line).hasMatch()) continue;
        out += line.mid(line.indexOf(u'|') + 1).split(u' ', Qt::SkipEmptyParts);
    }
    return out;
}

// The 203 dpi preview as a printer of that many dots prints it: its ink scaled down to fit
// when wider, cut at the right edge, grey below 128 black, the blank rows at the foot gone.
QImage fitted(QImage preview, int dots) {
    preview = preview.convertToFormat(QImage::Format_Grayscale8);
    int ink = 0;
    for (int y = 0; y < preview.height(); ++y)
        for (int x = 0; x < preview.width(); ++x)
            if (preview.constScanLine(y)[x] < 128) ink = std::max(ink, x + 1);
    if (ink > dots) {
        const double s = static_cast<double>(dots) / ink;
        preview = preview
                      .scaled(static_cast<int>(std::lround(preview.width() * s)),
                              static_cast<int>(std::lround(preview.height() * s)),
                              Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_Grayscale8);
    }
    int last = 0;
    for (int y = 0; y < preview.height(); ++y)
        for (int x = 0; x < std::min(dots, preview.width()); ++x)
            if (preview.constScanLine(y)[x] < 128) last = y + 1;
    QImage out(dots, last, QImage::Format_Grayscale8);
    out.fill(255);
    for (int y = 0; y < last; ++y)
        for (int x = 0; x < std::min(dots, preview.width()); ++x)
            out.scanLine(y)[x] = preview.constScanLine(y)[x] < 128 ? 0 : 255;
    return out;
}

TEST_F(EscposGoldenTest, TheGoldenFilesReadBackAsTheTickets) {
    for (const GoldenRun& r : kRuns) {
        const QString golden = goldenDir(r);
        const QString out = render(r);  // the tapes and previews they must match
        const QStringList files = escposFiles(golden);
        ASSERT_FALSE(files.isEmpty()) << golden.toStdString();
        const int dots = r.mm == 58 ? 384 : 576;
        for (const QString& f : files) {
            const QString what = golden + "/" + f;
            const QString path = golden + "/" + f;
            const QByteArray bytes = readFile(path);
            EXPECT_TRUE(bytes.startsWith("\x1B\x40")) << what.toStdString();
            EXPECT_TRUE(bytes.endsWith(QByteArray("\x1D\x56\x42\x00", 4))) << what.toStdString();
            EXPECT_FALSE(bytes.contains("%PDF")) << what.toStdString();

            const Outcome text = runTool("escpos-view", {"--text", path});
            ASSERT_EQ(text.status, 0) << what.toStdString() << text.err.toStdString();
            const QList<QByteArray> lines = text.out.trimmed().split('\n');
            EXPECT_EQ(lines.last(), "CUT") << what.toStdString();
            const QString picture = dir_.filePath(f + ".png");
            const Outcome view = runTool("escpos-view", {path, "-o", picture});
            ASSERT_EQ(view.status, 0) << view.err.toStdString();
            const QImage seen(picture);
            ASSERT_FALSE(seen.isNull());
            EXPECT_LE(seen.width(), dots) << what.toStdString();

            const QString stem = f.chopped(QStringLiteral(".escpos").size());
            if (r.text) {
                // Every word of the tape, in its order: only the line breaks may differ.
                const QByteArray tape = readFile(out + "/" + stem + ".txt");
                ASSERT_FALSE(tape.isEmpty()) << stem.toStdString();
                EXPECT_EQ(words(text.out, "^(RASTER\\||CUT$)"), words(tape, "^PICTURE\\|"))
                    << what.toStdString();
                // The invoice's logo is a picture of the paper's width.
                if (tape.contains("PICTURE|")) {
                    EXPECT_TRUE(
                        text.out.contains(QStringLiteral("RASTER|%1 x ").arg(dots).toUtf8()))
                        << what.toStdString();
                }
            } else {
                // One picture, exactly the preview after the same fitting.
                const QImage expected = fitted(QImage(out + "/" + stem + ".png"), dots);
                int rows = 0;
                for (const QByteArray& l : lines) {
                    if (!l.startsWith("RASTER|")) continue;
                    EXPECT_TRUE(l.startsWith(QStringLiteral("RASTER|%1 x ").arg(dots).toUtf8()));
                    rows += l.mid(l.indexOf('x') + 2).toInt();
                }
                EXPECT_EQ(lines.size(), (rows + 255) / 256 + 1) << "bands and a cut only";
                ASSERT_EQ(rows, expected.height()) << what.toStdString();
                const QImage printed =
                    seen.copy(0, 0, dots, rows).convertToFormat(QImage::Format_Grayscale8);
                EXPECT_TRUE(printed == expected) << what.toStdString();
            }
        }
    }
}

}  // namespace

namespace {

// escpos-view on bytes of its own: magnification, bold, code pages, cuts, unknown commands.
TEST(EscposView, ReadsMagnificationCodePagesAndCutsAndListsUnknownCommands) {
    QTemporaryDir dir;
    const QString path = dir.filePath("job.escpos");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        QByteArray("\x1B@\x1Bt\x13"  // reset, PC858
                   "\x1D!\x01\x1B"
                   "E\x01TOTAL\n"  // double height, bold
                   "\x1D!\x00\x1B"
                   "E\x00"
                   "A\xA4o \xD5\n"                             // "Año €"
                   "\x1Bt\x10\xF1\n"                           // WPC1252 "ñ"
                   "\x1BZ\x01"                                 // unknown, at offset 34
                   "\x1D\x76\x30\x00\x01\x00\x02\x00\xFF\x00"  // a band 8 x 2
                   "\x1D\x56\x42\x00",
                   51));
    f.close();
    QProcess p;
    p.start(QStringLiteral(SI_BINARY_DIR) + "/tools/escpos-view/escpos-view", {"--text", path});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()),
              QStringLiteral("1x2B|TOTAL\n1x1|Año €\n1x1|ñ\nRASTER|8 x 2\nCUT\n"));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.contains("offset 34: 1B 5A")) << err.toStdString();
    // The picture is still drawn.
    p.start(QStringLiteral(SI_BINARY_DIR) + "/tools/escpos-view/escpos-view",
            {path, "-o", dir.filePath("job.png")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_FALSE(QImage(dir.filePath("job.png")).isNull());
}

}  // namespace
