// The [impresoras] section of servidor.ini: kinds, options, defaults and typos.
#include "printing/ajustes_impresoras.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

using printing::AjustesImpresora;
using printing::AjustesImpresoras;
using printing::PaginaCodigos;
using Clase = AjustesImpresora::Clase;

AjustesImpresoras leer(const QList<QPair<QString, QString>>& entradas, QStringList* log = nullptr) {
    return AjustesImpresoras::leer(entradas, [log](const QString& linea) {
        if (log) log->append(linea);
    });
}

TEST(AjustesImpresoras, APrinterTheSectionDoesNotNameGetsTheDefaults) {
    const AjustesImpresora a = leer({}).de("Cocina");
    EXPECT_EQ(a.clase, Clase::Auto);
    EXPECT_EQ(a.anchoMm, 80);
    EXPECT_EQ(a.puntos, 576);
    EXPECT_FALSE(a.anchoDado);
    EXPECT_EQ(a.paginaCodigos, PaginaCodigos::Cp858);
    EXPECT_TRUE(a.cortar);
    EXPECT_TRUE(a.direccion.isEmpty());
}

TEST(AjustesImpresoras, KindThenOptionsInAnyOrder) {
    QStringList log;
    const AjustesImpresoras todas =
        leer({{"Cocina", "escpos-text width=58 codepage=cp850 cut=no"},
              {"Bar", "escpos dots=512 address=socket://10.0.0.20:9100"},
              {"Facturas", "pdf"},
              {"Caja", "width=58"}},
             &log);
    EXPECT_TRUE(log.isEmpty()) << log.join('\n').toStdString();

    const AjustesImpresora cocina = todas.de("Cocina");
    EXPECT_EQ(cocina.clase, Clase::EscposTexto);
    EXPECT_EQ(cocina.anchoMm, 58);
    EXPECT_EQ(cocina.puntos, 384);
    EXPECT_TRUE(cocina.anchoDado);
    EXPECT_EQ(cocina.paginaCodigos, PaginaCodigos::Cp850);
    EXPECT_FALSE(cocina.cortar);

    const AjustesImpresora bar = todas.de("Bar");
    EXPECT_EQ(bar.clase, Clase::Escpos);
    EXPECT_EQ(bar.puntos, 512);
    EXPECT_EQ(bar.anchoMm, 80);
    EXPECT_EQ(bar.direccion, "socket://10.0.0.20:9100");
    EXPECT_EQ(bar.host, "10.0.0.20");
    EXPECT_EQ(bar.puerto, 9100);

    EXPECT_EQ(todas.de("Facturas").clase, Clase::Pdf);
    // Options alone keep the automatic kind.
    EXPECT_EQ(todas.de("Caja").clase, Clase::Auto);
    EXPECT_EQ(todas.de("Caja").puntos, 384);
    EXPECT_EQ(todas.nombres(), QStringList({"Cocina", "Bar", "Facturas", "Caja"}));
}

TEST(AjustesImpresoras, DotsWinOverTheWidthWhicheverComesFirst) {
    const AjustesImpresoras todas =
        leer({{"A", "escpos dots=400 width=80"}, {"B", "escpos width=58 dots=400"}});
    EXPECT_EQ(todas.de("A").puntos, 400);
    EXPECT_EQ(todas.de("A").anchoMm, 80);
    EXPECT_EQ(todas.de("B").puntos, 400);
    EXPECT_EQ(todas.de("B").anchoMm, 58);
}

TEST(AjustesImpresoras, NamesCompareAsThePrinterLookupDoes) {
    const AjustesImpresoras todas = leer({{" cocina  ", "escpos-text"}, {"Ñandú", "pdf"}});
    EXPECT_TRUE(todas.contiene("COCINA"));
    EXPECT_EQ(todas.de("  Cocina").clase, Clase::EscposTexto);
    EXPECT_EQ(todas.de("ÑANDÚ").clase, Clase::Pdf);
    EXPECT_FALSE(todas.contiene("Cocina 2"));
    // The same printer twice: the later line wins.
    EXPECT_EQ(leer({{"Bar", "pdf"}, {"BAR", "escpos"}}).de("bar").clase, Clase::Escpos);
}

TEST(AjustesImpresoras, AnUnknownWordIsLoggedOnceAndThePrinterKeepsEveryDefault) {
    const struct {
        const char* valor;
        const char* palabra;
    } casos[] = {
        {"escpos-text width=58 colour=red", "colour=red"},
        {"escpos width=70", "width=70"},
        {"escpos dots=-4", "dots=-4"},
        {"escpos dots=ancho", "dots=ancho"},
        {"escpos codepage=utf8", "codepage=utf8"},
        {"escpos cut=si", "cut=si"},
        {"raster", "raster"},
        {"escpos pdf", "pdf"},  // one kind only, and first
        {"escpos address=10.0.0.1:9100", "address=10.0.0.1:9100"},
        {"escpos address=socket://impresora", "address=socket://impresora"},
        {"escpos address=socket://:9100", "address=socket://:9100"},
        {"escpos address=socket://h:70000", "address=socket://h:70000"},
    };
    for (const auto& c : casos) {
        QStringList log;
        const AjustesImpresora a = leer({{"Cocina", c.valor}}, &log).de("Cocina");
        ASSERT_EQ(log.size(), 1) << c.valor;
        EXPECT_TRUE(log.first().contains("Cocina")) << log.first().toStdString();
        EXPECT_TRUE(log.first().contains(QString::fromUtf8(c.palabra)))
            << log.first().toStdString();
        EXPECT_EQ(a.clase, Clase::Auto) << c.valor;
        EXPECT_EQ(a.puntos, 576) << c.valor;
        EXPECT_FALSE(a.anchoDado) << c.valor;
        EXPECT_TRUE(a.direccion.isEmpty()) << c.valor;
    }
}

TEST(AjustesImpresoras, ReadFromTheIniFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("servidor.ini");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "[servidor]\nprinters=cups\n\n[impresoras]\nCocina=escpos-text width=58\n"
        "Barra=escpos address=socket://127.0.0.1:9100 cut=no\nMal=escpos, width=58\n");
    f.close();
    QSettings ini(path, QSettings::IniFormat);
    QStringList log;
    const AjustesImpresoras todas =
        AjustesImpresoras::leer(ini, [&log](const QString& l) { log.append(l); });
    EXPECT_EQ(todas.de("cocina").clase, Clase::EscposTexto);
    EXPECT_EQ(todas.de("Barra").puerto, 9100);
    EXPECT_FALSE(todas.de("Barra").cortar);
    ASSERT_EQ(log.size(), 1);  // "escpos," is no kind
    EXPECT_TRUE(log.first().contains("Mal"));
}

}  // namespace
