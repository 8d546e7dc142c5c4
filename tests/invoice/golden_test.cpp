// Whole invoices on the tape, compared byte for byte with the expected tapes beside the
// cases in tests/data/invoice (written by an independent reading of the rules).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "banco_factura.h"
#include "json/convert.h"
#include "printing/despacho.h"

namespace printing::test {
namespace {

QString leer(const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
}

QString carpetaCasos() {
    return QStringLiteral(SI_TEST_DATA_DIR "/invoice");
}

class CintaEsperada : public ::testing::TestWithParam<const char*> {};

TEST_P(CintaEsperada, CoincideByteAByte) {
    const QString nombre = QString::fromLatin1(GetParam());
    const json::JsonValue caso =
        json::parse(leer(carpetaCasos() + u'/' + nombre + QStringLiteral(".json"))).value;
    ASSERT_TRUE(caso.isObject()) << "caso ilegible: " << nombre.toStdString();

    BancoFactura b(int(json::toNumber(caso.item(QStringLiteral("ancho"))).toDouble()),
                   json::toText(caso.item(QStringLiteral("locale"))).toLatin1().constData());
    b.e.nitSoftware = json::toText(caso.item(QStringLiteral("nit")));
    b.e.webSoftware = json::toText(caso.item(QStringLiteral("web")));
    const json::JsonValue logo = caso.item(QStringLiteral("logo"));
    if (logo.isArray())
        b.ponerLogo(QSizeF(json::toNumber(logo.item(1)).toDouble(),
                           json::toNumber(logo.item(2)).toDouble()));

    setComunicacion(caso.item(QStringLiteral("documento")), b.e);

    const QString esperada = leer(carpetaCasos() + u'/' + nombre + QStringLiteral(".tape"));
    ASSERT_FALSE(esperada.isEmpty());
    const QString obtenida = b.tapes(QStringLiteral("Caja"));
    const QStringList e = esperada.split(u'\n');
    const QStringList o = obtenida.split(u'\n');
    for (qsizetype i = 0; i < qMin(e.size(), o.size()); ++i)
        ASSERT_EQ(o[i].toStdString(), e[i].toStdString()) << "linea " << i + 1;
    EXPECT_EQ(o.size(), e.size());
    EXPECT_EQ(obtenida.toUtf8(), esperada.toUtf8());

    ASSERT_EQ(b.avisos.globos.size(), 1u);
    EXPECT_EQ(b.avisos.globos[0], (Globo{1, QStringLiteral("Impresion de Factura"),
                                         QStringLiteral("Factura enviada a Caja")}));
    EXPECT_TRUE(b.avisos.log.isEmpty()) << b.avisos.log.join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Facturas, CintaEsperada,
                         ::testing::Values("cerrada-100mm-es_CO", "cerrada-58mm-en_US",
                                           "abierta-opcion-80mm-en_US", "domicilio-80mm-es_CO",
                                           "cotizacion-58mm-es_CO"),
                         [](const auto& p) {
                             std::string s = p.param;
                             for (char& c : s)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return s;
                         });

}  // namespace
}  // namespace printing::test
