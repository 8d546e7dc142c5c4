#include "printing/primitives.h"

#include <gtest/gtest.h>

#include "banco.h"
#include "json/runtime_error.h"

namespace printing::test {
namespace {

TEST(Medidas, FiveThousandTwipsIsTheLineBetweenNarrowAndWide) {
    Banco b;
    b.agregar(QStringLiteral("A"), 5000);
    b.agregar(QStringLiteral("B"), 4999);
    b.agregar(QStringLiteral("C"), 4535);
    b.agregar(QStringLiteral("D"), 3288);
    const struct {
        int indice;
        bool angosta;
        int ancho, col18, col7;
    } casos[] = {
        {0, false, 40, 18, 7}, {1, true, 32, 14, 6}, {2, true, 32, 14, 6}, {3, true, 32, 14, 6}};
    for (const auto& c : casos) {
        b.e.seleccion->fijar(&b.sistema.printer(c.indice));
        EXPECT_EQ(esImpresoraAngosta(b.e), c.angosta) << c.indice;
        EXPECT_EQ(anchoLinea(b.e), c.ancho) << c.indice;
        EXPECT_EQ(escalarColumna(b.e, 18), c.col18) << c.indice;
        EXPECT_EQ(escalarColumna(b.e, 7), c.col7) << c.indice;
    }
    b.e.seleccion->fijar(&b.sistema.printer(0));
    EXPECT_EQ(anchoReferencia(b.e), 4200);
    EXPECT_FLOAT_EQ(impresora(b.e).fontSize(), 10);
    b.e.seleccion->fijar(&b.sistema.printer(3));
    EXPECT_EQ(anchoReferencia(b.e), 2520);
    EXPECT_FLOAT_EQ(impresora(b.e).fontSize(), 7);  // left as set
}

TEST(CortePalabras, CountsWholeWordsWithinTheLimit) {
    const QString t = QStringLiteral("HOLA MUNDO CRUEL");
    EXPECT_EQ(cortePalabras(t, 12), 11);
    EXPECT_EQ(cortePalabras(t, 11), 11);
    EXPECT_EQ(cortePalabras(t, 10), 5);
    EXPECT_EQ(cortePalabras(t, 40), 17);  // all fit: length + 1
    EXPECT_EQ(cortePalabras(QStringLiteral("HI"), 10), 3);
    EXPECT_EQ(cortePalabras(QStringLiteral("CHICHARRONERA GRANDE"), 13), 0);
    // Blanks are not collapsed: each empty word still costs one character.
    EXPECT_EQ(cortePalabras(QStringLiteral("A  B"), 10), 5);
}

TEST(EspaciosFaltantes, RightAlignsTrimmedTextAndMayGoNegative) {
    EXPECT_EQ(espaciosFaltantes(QStringLiteral("  12.500 "), 32), 26);
    EXPECT_EQ(espaciosFaltantes(QString(35, u'x'), 32), -3);
}

TEST(Mayusculas, UnicodeAwareAndLengthPreserving) {
    EXPECT_EQ(mayusculas(QStringLiteral("piña, café y ñame")), QStringLiteral("PIÑA, CAFÉ Y ÑAME"));
    EXPECT_EQ(mayusculas(QStringLiteral("straße")).size(), 6);
    EXPECT_EQ(mayusculas(QStringLiteral("𐐨x")), QStringLiteral("𐐀X"));
}

class EnvolturaTest : public ::testing::Test {
  protected:
    Banco b;
    void SetUp() override {
        b.agregar(QStringLiteral("Angosta"), 4535);
        b.agregar(QStringLiteral("Ancha"), 5669);
    }
    QString imprimir(int indice, float tam, auto&& accion) {
        b.e.seleccion->fijar(&b.sistema.printer(indice));
        impresora(b.e).setFontSize(tam);
        accion();
        impresora(b.e).endDoc();
        QString t;
        for (const auto& o : b.sistema.outputs()) t += QString::fromUtf8(o.content);
        b.sistema.clearOutputs();
        return t;
    }
};

TEST_F(EnvolturaTest, WrappingUpperCasesInPlaceCollapsesBlanksAndSkipsEmptyLines) {
    QString texto = QStringLiteral("hola  mundo\r\n\r\ncafé");
    const QString t = imprimir(0, 12, [&] { imprimirTextoAjustado(b.e, texto, 32, 0, 0); });
    EXPECT_EQ(texto, QStringLiteral("HOLA  MUNDO\r\n\r\nCAFÉ"));
    EXPECT_EQ(t, cinta({"12|HOLA MUNDO", "12|CAFÉ"}));

    for (QString vacio : {QString(), QStringLiteral("\r\n")}) {
        EXPECT_EQ(imprimir(0, 12, [&] { imprimirTextoAjustado(b.e, vacio, 32, 2, 0); }), QString());
    }
}

TEST_F(EnvolturaTest, CharacterWrapBreaksAtTheWidthAndLetsLongWordsOverflow) {
    QString texto = QStringLiteral("aaaa bbbb cccc dddd");
    EXPECT_EQ(imprimir(0, 7, [&] { imprimirTextoAjustado(b.e, texto, 10, 0, 0); }),
              cinta({"7|AAAA BBBB", "7|CCCC DDDD"}));
    // A word of the width or more is taken without being counted.
    texto = QStringLiteral("ab abcdefghij cd ef");
    EXPECT_EQ(imprimir(0, 7, [&] { imprimirTextoAjustado(b.e, texto, 10, 0, 0); }),
              cinta({"7|AB ABCDEFGHIJ CD EF"}));
    texto = QStringLiteral("nota larga");
    EXPECT_EQ(imprimir(0, 7, [&] { imprimirTextoAjustado(b.e, texto, 32, 0, 5); }),
              cinta({"7|    NOTA LARGA"}));
}

TEST_F(EnvolturaTest, CentringRoundsHalvesToEven) {
    struct {
        const char* texto;
        const char* linea;
    } casos[] = {
        {"abcdefghij", "7|ABCDEFGHIJ"},      // difference 0: column 1
        {"abcde", "7| ABCDE"},               // 5 / 2 = 2.5: column 2
        {"abc", "7|   ABC"},                 // 7 / 2 = 3.5: column 4
        {"abcdefghijkl", "7|ABCDEFGHIJKL"},  // wider than the width: column 1
    };
    for (const auto& c : casos) {
        QString texto = QString::fromUtf8(c.texto);
        EXPECT_EQ(imprimir(0, 7, [&] { imprimirTextoAjustado(b.e, texto, 10, 2, 0); }),
                  cinta({QString::fromUtf8(c.linea)}))
            << c.texto;
    }
}

TEST_F(EnvolturaTest, MeasuredWrapFillsTheReferenceRule) {
    // Narrow reference: 30 "=" at 7 points = 2520 twips; at 12 points a character is 144.
    QString texto = QStringLiteral("2   bandeja paisa con chicharrón extra");
    EXPECT_EQ(imprimir(0, 12, [&] { imprimirTextoMedido(b.e, texto, 32, 0, 0); }),
              cinta({"12|2 BANDEJA PAISA", "12|CON CHICHARRÓN", "12|EXTRA"}));
    // Wide reference: 34 "=" at 10 points = 4080 twips, 28 characters at 12 points.
    texto = QStringLiteral("1 hamburguesa doble con queso y tocineta");
    EXPECT_EQ(imprimir(1, 12, [&] { imprimirTextoMedido(b.e, texto, 40, 0, 0); }),
              cinta({"12|1 HAMBURGUESA DOBLE CON", "12|QUESO Y TOCINETA"}));
    // Centring still counts characters against the width; the size comes back rounded.
    texto = QStringLiteral("cocina");
    EXPECT_EQ(imprimir(0, 7.4f, [&] { imprimirTextoMedido(b.e, texto, 32, 2, 0); }),
              cinta({"7|            COCINA"}));
}

TEST_F(EnvolturaTest, RulesFollowThePaperAndRestoreTheSize) {
    EXPECT_EQ(imprimir(0, 16,
                       [&] {
                           imprimirSeparador(b.e, QStringLiteral("="));
                           imprimirSeparador(b.e, QStringLiteral("*"));
                           impresora(b.e).print({PrintItem::ofText(QStringLiteral("x"))});
                       }),
              cinta({"7|" + QString(30, u'='), "16|x"}));
    EXPECT_EQ(imprimir(1, 12, [&] { imprimirSeparador(b.e, QStringLiteral("-")); }),
              cinta({"10|" + QString(35, u'-')}));
}

TEST(Numeros, PrintFormsAndAmounts) {
    const QLocale co(QStringLiteral("es_CO")), us(QStringLiteral("en_US"));
    const auto dec = [](const char* t) {
        return *json::Decimal::fromToken(QString::fromLatin1(t));
    };
    EXPECT_EQ(textoNumeroImpreso(dec("2"), co), QStringLiteral(" 2 "));
    EXPECT_EQ(textoNumeroImpreso(dec("-1.5"), co), QStringLiteral("-1,5 "));
    EXPECT_EQ(textoNumeroImpreso(dec("1.5"), us), QStringLiteral(" 1.5 "));

    EXPECT_EQ(textoMonto(1234.75, us), QStringLiteral("1,235"));
    EXPECT_EQ(textoMonto(1234567, co), QStringLiteral("1.234.567"));
    EXPECT_EQ(textoMonto(2.5, co), QStringLiteral("3"));
    EXPECT_EQ(textoMonto(-2.5, co), QStringLiteral("-3"));
    EXPECT_EQ(textoMonto(-0.4, co), QStringLiteral("0"));
    EXPECT_EQ(textoMonto(-3000, us), QStringLiteral("-3,000"));

    EXPECT_EQ(textoNumeroPlano(0.1 + 0.2, co), QStringLiteral("0,3"));
    EXPECT_EQ(textoNumeroPlano(0.1 + 0.2, us), QStringLiteral("0.3"));
    EXPECT_EQ(textoNumeroPlano(73500, co), QStringLiteral("73500"));
    EXPECT_EQ(textoNumeroPlano(1e20, co), QStringLiteral("100000000000000000000"));
    EXPECT_EQ(textoNumeroPlano(-0.000001, co), QStringLiteral("-0,000001"));
    EXPECT_EQ(textoNumeroPlano(123456789.125, co), QStringLiteral("123456789,125"));
    EXPECT_EQ(textoNumeroPlano(0, co), QStringLiteral("0"));

    EXPECT_EQ(redondearPar(dec("10.5")), 10);
    EXPECT_EQ(redondearPar(dec("11.5")), 12);
    EXPECT_EQ(redondearPar(dec("-11.5")), -12);
    EXPECT_EQ(redondearPar(dec("-10.51")), -11);
}

TEST(AmountLine, RightAlignsToTheLineWidth) {
    Banco b("en_US");
    b.agregar(QStringLiteral("A"), 4535);
    imprimirLineaMonto(b.e, QStringLiteral("SUB TOTAL"), 28000);
    impresora(b.e).endDoc();
    EXPECT_EQ(b.tapes(QStringLiteral("A")), cinta({"10|SUB TOTAL" + QString(16, u' ') + "28,000"}));
}

class SeleccionTest : public ::testing::Test {
  protected:
    Banco b;
    void SetUp() override {
        b.sistema.addPrinter(QStringLiteral(" cocina "), 4535);
        b.sistema.addPrinter(QStringLiteral("Bar"), 3288);
        b.sistema.addPrinter(QStringLiteral("Facturas"), 5669);
        b.sistema.setDefaultPrinterName(QStringLiteral("Facturas"));
    }
};

TEST_F(SeleccionTest, LookupIgnoresCaseAndBlanksAndFallsBackToTheDefault) {
    EXPECT_EQ(indiceImpresora(b.e, QStringLiteral("COCINA")), 0);
    EXPECT_EQ(indiceImpresora(b.e, QStringLiteral("  bar")), 1);
    EXPECT_EQ(indiceImpresora(b.e, QStringLiteral("Parrilla")), 2);
    b.sistema.setDefaultPrinterName(QStringLiteral("Oficina"));
    EXPECT_EQ(indiceImpresora(b.e, QStringLiteral("Parrilla")), -1);
}

TEST_F(SeleccionTest, ProbeNeverReachesThePaper) {
    EXPECT_TRUE(seleccionarImpresora(b.e, 1, 0));
    EXPECT_EQ(impresora(b.e).deviceName(), QStringLiteral("Bar"));
    impresora(b.e).endDoc();
    EXPECT_TRUE(b.sistema.outputs().empty());
    EXPECT_TRUE(b.avisos.globos.empty());
}

TEST_F(SeleccionTest, OfflinePrinterFallsBackToTheDefaultSilently) {
    b.sistema.setOffline(QStringLiteral("Bar"), true);
    EXPECT_TRUE(seleccionarImpresora(b.e, 1, 0));
    EXPECT_EQ(impresora(b.e).deviceName(), QStringLiteral("Facturas"));
    EXPECT_TRUE(b.avisos.globos.empty());
}

TEST_F(SeleccionTest, BothFailingShowOneBalloonNamingTheDefault) {
    b.sistema.setOffline(QStringLiteral("Bar"), true);
    b.sistema.setOffline(QStringLiteral("Facturas"), true, QStringLiteral("Tapa abierta"));
    EXPECT_FALSE(seleccionarImpresora(b.e, 1, 0));
    ASSERT_EQ(b.avisos.globos.size(), 1u);
    EXPECT_EQ(b.avisos.globos[0],
              (Globo{3, "Error al imprimir",
                     "Error al imprimir, La impresora Facturas no esta disponible. \r\n"
                     "Tapa abierta Tapa abierta"}));
    EXPECT_EQ(b.avisos.tiempos[0], 30000);
}

TEST_F(SeleccionTest, NothingInstalledUnderEitherNameNamesTheRequestedPrinter) {
    b.sistema.setDefaultPrinterName(QStringLiteral("Oficina"));
    const int i = indiceImpresora(b.e, QStringLiteral("Parrilla"));
    EXPECT_FALSE(seleccionarImpresora(b.e, i, 0, QStringLiteral("Parrilla")));
    ASSERT_EQ(b.avisos.globos.size(), 1u);
    EXPECT_EQ(b.avisos.globos[0].texto,
              QStringLiteral("Error al imprimir, La impresora Parrilla no esta disponible. \r\n"
                             "Impresora no encontrada Impresora no encontrada"));
    EXPECT_THROW(seleccionarImpresora(b.e, 3, 0), json::RuntimeError);
}

TEST(SinImpresoras, NothingInstalledMeansNoCurrentPrinter) {
    Banco b;
    EXPECT_FALSE(hayImpresora(b.e));
    EXPECT_THROW(impresora(b.e), json::RuntimeError);
    b.e.impresoras = nullptr;
    EXPECT_FALSE(hayImpresora(b.e));
}

}  // namespace
}  // namespace printing::test
