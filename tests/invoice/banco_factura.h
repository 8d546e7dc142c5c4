#pragma once

#include <QFile>
#include <QSizeF>
#include <QTemporaryDir>
#include <functional>
#include <optional>

#include "banco.h"
#include "json/runtime_error.h"
#include "printing/configuracion.h"
#include "printing/primitives.h"

namespace printing::test {

/**
 * A tape printer that can be told to fail one kind of operation, to reach the error paths
 * that a healthy tape never takes.
 */
class ImpresoraConFallas : public PrintDevice {
  public:
    explicit ImpresoraConFallas(TapeDevice& cinta) : t_(cinta) {}

    bool fallaFinDoc = false;
    bool fallaPintura = false;
    /** Fails every Print whose text contains this (empty: never). */
    QString fallaAlImprimir;

    QString deviceName() const override { return t_.deviceName(); }
    int pageWidth() const override { return t_.pageWidth(); }
    QString fontName() const override { return t_.fontName(); }
    void setFontName(const QString& n) override { t_.setFontName(n); }
    float fontSize() const override { return t_.fontSize(); }
    void setFontSize(float s) override { t_.setFontSize(s); }
    bool fontBold() const override { return t_.fontBold(); }
    void setFontBold(bool b) override { t_.setFontBold(b); }
    bool fontItalic() const override { return t_.fontItalic(); }
    void setFontItalic(bool b) override { t_.setFontItalic(b); }
    void print(const QList<PrintItem>& items, bool continuar = false) override {
        if (!fallaAlImprimir.isEmpty())
            for (const PrintItem& i : items)
                if (i.text.contains(fallaAlImprimir)) throw error();
        t_.print(items, continuar);
    }
    double textWidth(const QString& s) override { return t_.textWidth(s); }
    double textHeight(const QString& s) override { return t_.textHeight(s); }
    void paintPicture(const QString& r, int x, int y, int w, int h) override {
        if (fallaPintura) throw error();
        t_.paintPicture(r, x, y, w, h);
    }
    void endDoc() override {
        if (fallaFinDoc) throw error();
        t_.endDoc();
    }
    void killDoc() override { t_.killDoc(); }

  private:
    static json::RuntimeError error() {
        return json::RuntimeError(json::err::PrinterError, QStringLiteral("Sin papel"));
    }
    TapeDevice& t_;
};

/** One printer behind an ImpresoraConFallas; its tapes land in the tape system. */
class SistemaConFallas : public PrinterSystem {
  public:
    SistemaConFallas(TapePrinterSystem& cintas, const QString& nombre, int ancho)
        : cintas_(cintas), dispositivo(cintas.addPrinter(nombre, ancho)) {}
    QStringList printers() override { return {dispositivo.deviceName()}; }
    PrintDevice& printer(int i) override {
        if (i != 0) throw json::RuntimeError::subscriptOutOfRange();
        return dispositivo;
    }
    QString defaultPrinterName() override { return dispositivo.deviceName(); }
    void writeRaw(const QString& n, const QByteArray& b) override { cintas_.writeRaw(n, b); }

  private:
    TapePrinterSystem& cintas_;

  public:
    ImpresoraConFallas dispositivo;
};

/**
 * The invoice bench: one receipt printer "Caja" (the default), a logo folder, and a
 * picture-size service that answers for logo.bmp as the test says.
 */
struct BancoFactura : Banco {
    QTemporaryDir carpeta;
    std::optional<QSizeF> tamanoLogo;
    int consultasLogo = 0;

    explicit BancoFactura(int ancho = 4535, const char* locale = "es_CO") : Banco(locale) {
        agregar(QStringLiteral("Caja"), ancho);
        e.carpetaAplicacion = carpeta.path();
        e.nitSoftware = QStringLiteral("900.000.000-0");
        e.webSoftware = QStringLiteral("https://soporte.example.com");
        e.tamanoImagen = [this](const QString&) {
            ++consultasLogo;
            return tamanoLogo;
        };
    }
    /** Puts a logo.bmp file in the application folder; `tamano` is what the reader sees. */
    void ponerLogo(std::optional<QSizeF> tamano) {
        QFile f(carpeta.filePath(QStringLiteral("logo.bmp")));
        f.open(QIODevice::WriteOnly);
        f.write("BM");
        tamanoLogo = tamano;
    }
    QStringList lineasCaja() const {
        QString t = tapes(QStringLiteral("Caja"));
        if (t.endsWith(u'\n')) t.chop(1);
        return t.isEmpty() ? QStringList() : t.split(u'\n');
    }
};

/** A settings item as JSON text. */
inline QString itemConfig(const QString& nombre, const QString& valor,
                          const QString& visible = QStringLiteral("1")) {
    return QStringLiteral(R"({"Nombre":"%1","Descripcion":"%2","Visible":"%3"})")
        .arg(nombre, valor, visible);
}

}  // namespace printing::test
