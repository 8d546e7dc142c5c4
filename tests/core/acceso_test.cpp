#include "core/acceso.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "fakes.h"

namespace {

QByteArray leer(const QString& ruta) {
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void escribir(const QString& ruta, const QByteArray& bytes) {
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class Acceso : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString acceso() const { return core::rutaAcceso(dir.path()); }
    pruebas::DialogosFalsos dialogos;
};

TEST_F(Acceso, ReadsLinesWithOneExtraEmptyEntry) {
    escribir(acceso(), "123\r\nTECNICO\r\n");
    EXPECT_EQ(core::leerLineasArchivo(acceso()), (QStringList{"123", "TECNICO", ""}));
    escribir(acceso(), "a\nb");
    EXPECT_EQ(core::leerLineasArchivo(acceso()), (QStringList{"a", "b", ""}));
    EXPECT_EQ(core::leerLineasArchivo(dir.filePath("none")), QStringList{""});
    escribir(acceso(), "");
    EXPECT_EQ(core::leerLineasArchivo(acceso()), QStringList{""});
}

TEST_F(Acceso, PathExistsIgnoresTrailingSeparator) {
    EXPECT_TRUE(core::existeRuta(dir.path() + "/"));
    EXPECT_TRUE(core::existeRuta(dir.path()));
    EXPECT_FALSE(core::existeRuta(dir.filePath("logo.bmp")));
    EXPECT_FALSE(core::existeRuta(QString()));
}

TEST_F(Acceso, StartUpAcceptsFifteenOrMoreCharactersWithoutAsking) {
    for (const char* codigo : {"123456789012345", "ABCDEFGHIJKLMNO", "1234567890123456789"}) {
        escribir(acceso(), QByteArray(codigo) + "\r\n");
        EXPECT_EQ(core::leerCodigoSucursal(dir.path(), dialogos), QString::fromLatin1(codigo));
    }
    EXPECT_TRUE(dialogos.preguntas.isEmpty());
    EXPECT_EQ(leer(acceso()), "1234567890123456789\r\n");  // a good file is not rewritten
}

TEST_F(Acceso, StartUpAsksUntilLongEnoughAndWritesTheCode) {
    escribir(acceso(), "12345678901234\r\nTECNICO\r\n");  // 14 characters
    dialogos.respuestas = {"", "short", "ABCDEFGHIJKLMNOP"};
    EXPECT_EQ(core::leerCodigoSucursal(dir.path(), dialogos), "ABCDEFGHIJKLMNOP");
    ASSERT_EQ(dialogos.preguntas.size(), 3);
    EXPECT_EQ(dialogos.preguntas[0],
              "Codigo de sucursal|No tiene registrado un codigo para esta sucursal, registrelo "
              "en el siguiente campo.\r\nEl codigo de sucursal tiene 15 digitos");
    EXPECT_EQ(leer(acceso()), "ABCDEFGHIJKLMNOP\r\n");
}

TEST_F(Acceso, MissingFileIsAnEmptyCode) {
    dialogos.respuestas = {"123456789012345"};
    EXPECT_EQ(core::leerCodigoSucursal(dir.path(), dialogos), "123456789012345");
    EXPECT_EQ(leer(acceso()), "123456789012345\r\n");
}

TEST_F(Acceso, ChangeRuleNeedsNumericTailAndAnyFirstCharacter) {
    EXPECT_FALSE(core::codigoValidoCambio("ABCDEFGHIJKLMNO"));
    EXPECT_TRUE(core::codigoValidoCambio("A12345678901234"));
    EXPECT_TRUE(core::codigoValidoCambio("123456789012345"));
    EXPECT_FALSE(core::codigoValidoCambio("12345678901234"));
    EXPECT_FALSE(core::codigoValidoCambio("1234567890123X5"));
    EXPECT_TRUE(core::codigoValidoCambio("1 1,234,567.5e+3"));  // the general number test
    EXPECT_TRUE(core::esNumerico("-12.5"));
    EXPECT_FALSE(core::esNumerico(""));
    EXPECT_FALSE(core::esNumerico("1.2.3"));
}

TEST_F(Acceso, ChangeWritesOnlyAValidCodeAndDropsTheMarker) {
    escribir(acceso(), "999999999999999\r\nTECNICO\r\n");
    // Cancel, then letters, then a valid code: the stored code survives until the end.
    dialogos.respuestas = {"", "ABCDEFGHIJKLMNO", "A12345678901234"};
    dialogos.alPreguntar = [this] { EXPECT_EQ(leer(acceso()), "999999999999999\r\nTECNICO\r\n"); };
    EXPECT_EQ(core::pedirCodigoNuevo(dir.path(), dialogos), "A12345678901234");
    ASSERT_EQ(dialogos.preguntas.size(), 3);
    EXPECT_EQ(dialogos.preguntas[0],
              "Sistema de impresion|Escribe codigo de la sucursal y presiona Aceptar para iniciar");
    EXPECT_TRUE(dialogos.preguntas[1].startsWith("Codigo de sucursal|"));
    EXPECT_EQ(leer(acceso()), "A12345678901234\r\n");
    EXPECT_EQ(core::leerSegundaLinea(dir.path()), "");
}

TEST_F(Acceso, WritesUtf8AndLeavesNoTemporaryFiles) {
    ASSERT_TRUE(core::escribirAcceso(dir.path(), QString::fromUtf8("Ñ12345678901234")));
    EXPECT_EQ(leer(acceso()), QByteArray("\xc3\x91"
                                         "12345678901234\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Acceso"});
    EXPECT_EQ(core::leerLineasArchivo(acceso()).value(0), QString::fromUtf8("Ñ12345678901234"));
}

// The access file is never followed through a symbolic link: reading it gives no code (so
// the code is asked for), and writing replaces the link itself, never its target.
TEST_F(Acceso, ALinkIsNeitherReadNorWrittenThrough) {
    QTemporaryDir fuera;
    const QString destino = fuera.filePath("ajeno");
    escribir(destino, "999999999999999\r\nTECNICO\r\n");
    ASSERT_TRUE(QFile::link(destino, acceso()));
    EXPECT_TRUE(core::noEsArchivoNormal(acceso()));
    EXPECT_EQ(core::leerLineasArchivo(acceso()), QStringList{""});
    EXPECT_EQ(core::leerSegundaLinea(dir.path()), "");
    dialogos.respuestas = {"123456789012345"};
    EXPECT_EQ(core::leerCodigoSucursal(dir.path(), dialogos), "123456789012345");
    EXPECT_EQ(dialogos.preguntas.size(), 1);
    EXPECT_EQ(leer(destino), "999999999999999\r\nTECNICO\r\n");
    EXPECT_FALSE(QFileInfo(acceso()).isSymLink());
    EXPECT_FALSE(core::noEsArchivoNormal(acceso()));
    EXPECT_EQ(leer(acceso()), "123456789012345\r\n");

    // A dangling link, and a folder where the file should be.
    ASSERT_TRUE(QFile::remove(acceso()));
    ASSERT_TRUE(QFile::link(fuera.filePath("nuevo"), acceso()));
    EXPECT_TRUE(core::noEsArchivoNormal(acceso()));
    EXPECT_TRUE(core::escribirAcceso(dir.path(), "123456789012345"));
    EXPECT_FALSE(QFile::exists(fuera.filePath("nuevo")));
    EXPECT_EQ(leer(acceso()), "123456789012345\r\n");
    EXPECT_FALSE(core::noEsArchivoNormal(dir.filePath("no-existe")));
    EXPECT_TRUE(core::noEsArchivoNormal(fuera.path()));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

}  // namespace

namespace {

// A folder below a plain file cannot be made, not even by the superuser.
TEST_F(Acceso, AFailedWriteGivesItsReasonAndTheCodeStillServesThisRun) {
    escribir(dir.filePath("archivo"), "x");
    const QString carpeta = dir.filePath("archivo/programa");
    QString motivo;
    EXPECT_FALSE(core::escribirAcceso(carpeta, "123456789012345", &motivo));
    EXPECT_FALSE(motivo.isEmpty());

    motivo.clear();
    dialogos.respuestas = {"123456789012345"};
    EXPECT_EQ(core::leerCodigoSucursal(carpeta, dialogos, &motivo), "123456789012345");
    EXPECT_FALSE(motivo.isEmpty());
    EXPECT_EQ(dialogos.preguntas.size(), 1);

    motivo.clear();
    dialogos.respuestas = {"A98765432109876"};
    EXPECT_EQ(core::pedirCodigoNuevo(carpeta, dialogos, &motivo), "");
    EXPECT_FALSE(motivo.isEmpty());

    // A reason left over from an earlier failure does not survive a clean start.
    escribir(acceso(), "123456789012345\r\n");
    EXPECT_EQ(core::leerCodigoSucursal(dir.path(), dialogos, &motivo), "123456789012345");
    EXPECT_TRUE(motivo.isEmpty());
}

}  // namespace
