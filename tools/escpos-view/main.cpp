// escpos-view FILE.escpos -o OUT.png | --text [-o OUT.txt]: shows what a receipt printer
// prints from the bytes it is sent. Raster bands become the picture, text prints in its code
// page and magnification, a cut is a dashed line. With --text each printed line becomes
// "WxH[B]|text" (UTF-8), a raster band "RASTER|width x height" and a cut "CUT".
//
// It reads the bytes on its own, with the code pages of the system's converters, so that it
// checks the server's encoder instead of repeating it. Exit status 0; 1 when the bytes hold
// commands it does not know (each listed with its offset on standard error); 2 on a usage or
// I/O error.
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <variant>

namespace {

const char kUsage[] =
    "usage: escpos-view FILE.escpos -o OUT.png\n"
    "       escpos-view --text FILE.escpos [-o OUT.txt]\n"
    "Shows what a receipt printer prints from ESC/POS bytes (FILE - reads standard input).\n"
    "--text writes one line per printed line as WxH[B]|text, RASTER|width x height for a\n"
    "raster band and CUT for a cut, to OUT.txt or standard output.\n";

void err(const QString& text) {
    std::fputs((text + u'\n').toLocal8Bit().constData(), stderr);
}

struct Glyph {
    QChar character;
    int width = 1;   // magnification across
    int height = 1;  // magnification down
    bool bold = false;
    bool small = false;  // font B
};

struct TextLine {
    QList<Glyph> glyphs;
    Glyph empty;  // the style in force, for a line with no characters
};
struct Raster {
    int width = 0;  // dots
    int height = 0;
    QByteArray data;  // rows of width / 8 bytes, most significant bit leftmost
};
struct Cut {};
using Element = std::variant<TextLine, Raster, Cut>;

/** The printer's reading of the bytes: what it prints, in order, and what it did not know. */
class Reader {
  public:
    explicit Reader(QByteArray bytes) : bytes_(std::move(bytes)) { reset(); }

    void run() {
        while (pos_ < bytes_.size()) step();
        flush(false);
    }
    const QList<Element>& elements() const { return elements_; }
    const QStringList& unknown() const { return unknown_; }

  private:
    void reset() {
        style_ = Glyph{};
        setCodePage(0);
    }

    bool setCodePage(int n) {
        const char* name = nullptr;
        switch (n) {
            case 0:
                name = "IBM437";
                break;
            case 2:
                name = "IBM850";
                break;
            case 16:
                name = "windows-1252";
                break;
            case 19:
                name = "IBM00858";
                break;
            default:
                return false;
        }
        decoder_ = std::make_unique<QStringDecoder>(name);
        return decoder_->isValid();
    }

    int byteAt(qsizetype i) const { return static_cast<unsigned char>(bytes_.at(i)); }
    bool have(qsizetype n) const { return pos_ + n <= bytes_.size(); }

    void unknownAt(qsizetype at, qsizetype length) {
        QString hex;
        for (qsizetype i = at; i < std::min(at + length, bytes_.size()); ++i) {
            hex += QStringLiteral(" %1").arg(byteAt(i), 2, 16, QLatin1Char('0')).toUpper();
        }
        unknown_.append(QStringLiteral("offset %1:%2").arg(at).arg(hex));
    }

    // Ends the line being printed; a line with nothing on it only when forced (a feed).
    void flush(bool force) {
        if (!force && line_.glyphs.isEmpty()) return;
        line_.empty = style_;
        elements_.append(line_);
        line_ = TextLine{};
    }

    void step() {
        const qsizetype at = pos_;
        const int b = byteAt(pos_);
        if (b == 0x0A) {
            ++pos_;
            flush(true);
        } else if (b == 0x0D) {
            ++pos_;  // ignored, as receipt printers do by default
        } else if (b == 0x1B) {
            escape(at);
        } else if (b == 0x1D) {
            group(at);
        } else if (b < 0x20 || b == 0x7F) {
            ++pos_;
            unknownAt(at, 1);
        } else {
            ++pos_;
            const char c = static_cast<char>(b);
            const QString decoded = decoder_->decode(QByteArrayView(&c, 1));
            Glyph g = style_;
            g.character = decoded.isEmpty() ? QChar(u'?') : decoded.at(0);
            line_.glyphs.append(g);
        }
    }

    // ESC commands.
    void escape(qsizetype at) {
        if (!have(2)) {
            unknownAt(at, 2);
            pos_ = bytes_.size();
            return;
        }
        const int c = byteAt(pos_ + 1);
        // Commands of one parameter byte.
        auto parameter = [&](int& n) {
            if (!have(3)) {
                unknownAt(at, 3);
                pos_ = bytes_.size();
                return false;
            }
            n = byteAt(pos_ + 2);
            pos_ += 3;
            return true;
        };
        int n = 0;
        switch (c) {
            case '@':
                pos_ += 2;
                flush(false);
                reset();
                break;
            case '!':
                if (!parameter(n)) return;
                style_.small = (n & 0x01) != 0;
                style_.bold = (n & 0x08) != 0;
                style_.height = (n & 0x10) != 0 ? 2 : 1;
                style_.width = (n & 0x20) != 0 ? 2 : 1;
                break;
            case 'E':
                if (!parameter(n)) return;
                style_.bold = (n & 1) != 0;
                break;
            case 'M':
                if (!parameter(n)) return;
                style_.small = (n & 1) != 0;
                break;
            case 't':
                if (!parameter(n)) return;
                if (!setCodePage(n)) unknownAt(at, 3);
                break;
            case 'd':
                if (!parameter(n)) return;
                flush(false);
                for (int i = 0; i < n; ++i) flush(true);
                break;
            case 'a':  // justification, alignment of what follows
            case '-':  // underline
            case '3':  // line spacing
            case 'J':  // feed by dots
                if (!parameter(n)) return;
                break;
            case '2':  // default line spacing
                pos_ += 2;
                break;
            case 'p':  // the cash drawer's pulse: nothing printed
                if (!have(5)) {
                    unknownAt(at, 5);
                    pos_ = bytes_.size();
                    return;
                }
                pos_ += 5;
                break;
            default:
                pos_ += 2;
                unknownAt(at, 2);
        }
    }

    // GS commands.
    void group(qsizetype at) {
        if (!have(2)) {
            unknownAt(at, 2);
            pos_ = bytes_.size();
            return;
        }
        const int c = byteAt(pos_ + 1);
        if (c == '!' && have(3)) {
            const int n = byteAt(pos_ + 2);
            style_.width = ((n >> 4) & 0x07) + 1;
            style_.height = (n & 0x07) + 1;
            pos_ += 3;
        } else if (c == 'V' && have(3)) {
            const int m = byteAt(pos_ + 2);
            if (m == 0 || m == 1 || m == 48 || m == 49) {
                pos_ += 3;
            } else if ((m == 65 || m == 66) && have(4)) {
                pos_ += 4;
            } else {
                unknownAt(at, 3);
                pos_ += 3;
                return;
            }
            flush(false);
            elements_.append(Cut{});
        } else if (c == 'v' && have(8) && byteAt(pos_ + 2) == '0') {
            const int bytesPerRow = byteAt(pos_ + 4) + 256 * byteAt(pos_ + 5);
            const int rows = byteAt(pos_ + 6) + 256 * byteAt(pos_ + 7);
            const qsizetype size = static_cast<qsizetype>(bytesPerRow) * rows;
            if (!have(8 + size)) {
                unknownAt(at, 8);
                pos_ = bytes_.size();
                return;
            }
            flush(false);
            elements_.append(Raster{bytesPerRow * 8, rows, bytes_.mid(pos_ + 8, size)});
            pos_ += 8 + size;
        } else {
            unknownAt(at, 2);
            pos_ = std::min(pos_ + 2, bytes_.size());
        }
    }

    QByteArray bytes_;
    qsizetype pos_ = 0;
    Glyph style_;
    std::unique_ptr<QStringDecoder> decoder_;
    TextLine line_;
    QList<Element> elements_;
    QStringList unknown_;
};

QString lineText(const TextLine& line) {
    int w = line.glyphs.isEmpty() ? line.empty.width : 1;
    int h = line.glyphs.isEmpty() ? line.empty.height : 1;
    bool bold = line.glyphs.isEmpty() && line.empty.bold;
    QString text;
    for (const Glyph& g : line.glyphs) {
        w = std::max(w, g.width);
        h = std::max(h, g.height);
        bold = bold || g.bold;
        text += g.character;
    }
    return QStringLiteral("%1x%2%3|%4")
        .arg(w)
        .arg(h)
        .arg(bold ? QStringLiteral("B") : QString(), text);
}

QByteArray asText(const QList<Element>& elements) {
    QByteArray out;
    for (const Element& e : elements) {
        if (const auto* line = std::get_if<TextLine>(&e)) {
            out += lineText(*line).toUtf8();
        } else if (const auto* r = std::get_if<Raster>(&e)) {
            out += QStringLiteral("RASTER|%1 x %2").arg(r->width).arg(r->height).toUtf8();
        } else {
            out += "CUT";
        }
        out += '\n';
    }
    return out;
}

// Character cells in dots: font A 12 x 24, font B 9 x 17; a line feeds at least 30 dots.
int cellWidth(const Glyph& g) {
    return (g.small ? 9 : 12) * g.width;
}
int lineHeight(const TextLine& line) {
    int h = (line.empty.small ? 17 : 24) * line.empty.height;
    if (!line.glyphs.isEmpty()) h = 0;
    for (const Glyph& g : line.glyphs) h = std::max(h, (g.small ? 17 : 24) * g.height);
    return std::max(30, h + 6);
}
constexpr int kCutHeight = 24;

QImage asPicture(const QList<Element>& elements) {
    int width = 8;
    int height = 0;
    for (const Element& e : elements) {
        if (const auto* line = std::get_if<TextLine>(&e)) {
            int w = 0;
            for (const Glyph& g : line->glyphs) w += cellWidth(g);
            width = std::max(width, w);
            height += lineHeight(*line);
        } else if (const auto* r = std::get_if<Raster>(&e)) {
            width = std::max(width, r->width);
            height += r->height;
        } else {
            height += kCutHeight;
        }
    }
    QImage image(width, std::max(1, height), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(Qt::black);
    int y = 0;
    for (const Element& e : elements) {
        if (const auto* line = std::get_if<TextLine>(&e)) {
            const int h = lineHeight(*line);
            int x = 0;
            for (const Glyph& g : line->glyphs) {
                QFont f(QStringLiteral("DejaVu Sans Mono"));
                f.setStyleHint(QFont::TypeWriter);
                f.setPixelSize(g.small ? 15 : 20);
                f.setBold(g.bold);
                p.save();
                p.setFont(f);
                p.translate(x, y + (g.small ? 13 : 19) * g.height);  // the baseline
                p.scale(g.width, g.height);
                p.drawText(QPointF(0, 0), QString(g.character));
                p.restore();
                x += cellWidth(g);
            }
            y += h;
        } else if (const auto* r = std::get_if<Raster>(&e)) {
            const int bytesPerRow = r->width / 8;
            for (int row = 0; row < r->height; ++row) {
                auto* out = reinterpret_cast<QRgb*>(image.scanLine(y + row));
                for (int x = 0; x < r->width; ++x) {
                    const auto byte =
                        static_cast<unsigned char>(r->data.at(row * bytesPerRow + x / 8));
                    if ((byte & (0x80 >> (x % 8))) != 0) out[x] = qRgb(0, 0, 0);
                }
            }
            y += r->height;
        } else {
            for (int x = 0; x < width; x += 12) p.fillRect(x, y + kCutHeight / 2, 6, 2, Qt::black);
            y += kCutHeight;
        }
    }
    p.end();
    return image.convertToFormat(QImage::Format_Grayscale8);
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args.append(QString::fromLocal8Bit(argv[i]));
    bool text = false;
    QString input;
    QString output;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == u"--text") {
            text = true;
        } else if (a == u"-o") {
            if (i + 1 >= args.size()) {
                err(QStringLiteral("escpos-view: -o needs a file"));
                std::fputs(kUsage, stderr);
                return 2;
            }
            output = args.at(++i);
        } else if (a == u"--help" || a == u"-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a.startsWith(u'-') && a != u"-") {
            err(QStringLiteral("escpos-view: unknown option ") + a);
            std::fputs(kUsage, stderr);
            return 2;
        } else if (input.isEmpty()) {
            input = a;
        } else {
            err(QStringLiteral("escpos-view: only one file may be given"));
            return 2;
        }
    }
    if (input.isEmpty() || (!text && output.isEmpty())) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    QFile file;
    const bool opened = input == u"-" ? file.open(stdin, QIODevice::ReadOnly)
                                      : (file.setFileName(input), file.open(QIODevice::ReadOnly));
    const QByteArray bytes = opened ? file.readAll() : QByteArray();
    if (!opened || file.error() != QFileDevice::NoError) {
        err(QStringLiteral("escpos-view: cannot read %1: %2").arg(input, file.errorString()));
        return 2;
    }

    Reader reader(bytes);
    reader.run();

    if (text) {
        const QByteArray out = asText(reader.elements());
        if (output.isEmpty()) {
            std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
            if (std::fflush(stdout) != 0) return 2;
        } else {
            QFile to(output);
            if (!to.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                to.write(out) != out.size()) {
                err(QStringLiteral("escpos-view: cannot write ") + output);
                return 2;
            }
        }
    } else {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);  // fonts
        if (!asPicture(reader.elements()).save(output, "PNG")) {
            err(QStringLiteral("escpos-view: cannot write ") + output);
            return 2;
        }
    }
    for (const QString& u : reader.unknown()) err(QStringLiteral("unknown command at ") + u);
    return reader.unknown().isEmpty() ? 0 : 1;
}
