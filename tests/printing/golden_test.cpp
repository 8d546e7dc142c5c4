#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "banco.h"
#include "printing/despacho.h"

namespace printing::test {
namespace {

QByteArray leer(const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

// Every example job document, dispatched on a branch with an 80 mm kitchen printer, a
// 58 mm bar printer, a 100 mm grill printer and a 100 mm invoice printer (the default),
// gives exactly the tapes and raw writes stored beside the golden files.
class Golden : public ::testing::TestWithParam<const char*> {};

TEST_P(Golden, DispatchMatchesTheStoredTickets) {
    const QString nombre = QString::fromLatin1(GetParam());
    Banco b;
    b.agregar(QStringLiteral("Facturas"), 5669);
    b.agregar(QStringLiteral("Cocina"), 4535);
    b.agregar(QStringLiteral("Bar"), 3288);
    b.agregar(QStringLiteral("Parrilla"), 5669);

    const QByteArray texto = leer(QStringLiteral(SI_SOURCE_DIR "/examples/") + nombre + ".json");
    ASSERT_FALSE(texto.isEmpty());
    setComunicacion(parsear(QString::fromUtf8(texto)), b.e);

    const QDir dir(QStringLiteral(SI_TEST_DATA_DIR "/printing/") + nombre);
    const QStringList esperados = dir.entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(b.sistema.outputs().size(), size_t(esperados.size()));
    for (size_t i = 0; i < b.sistema.outputs().size(); ++i) {
        const TapeOutput& o = b.sistema.outputs()[i];
        const QString archivo =
            QStringLiteral("%1-%2.%3")
                .arg(i + 1, 3, 10, QChar(u'0'))
                .arg(o.printer, o.kind == TapeOutput::Kind::Raw ? QStringLiteral("raw")
                                                                : QStringLiteral("txt"));
        ASSERT_EQ(archivo, esperados[qsizetype(i)]);
        EXPECT_EQ(QString::fromUtf8(o.content), QString::fromUtf8(leer(dir.filePath(archivo))))
            << archivo.toStdString();
        EXPECT_EQ(o.content, leer(dir.filePath(archivo))) << archivo.toStdString();
    }
    for (const Globo& g : b.avisos.globos) EXPECT_EQ(g.icono, 1) << g.texto.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Examples, Golden,
                         ::testing::Values("comanda_y_anulacion", "dos_areas",
                                           "valores_en_comanda"));

}  // namespace
}  // namespace printing::test
