#include "core/acceso.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace core {

std::optional<QByteArray> leerArchivoNormal(const QString& ruta) {
    // O_NONBLOCK: a FIFO planted there must not hang the start-up; it is refused below.
    const int fd =
        ::open(QFile::encodeName(ruta).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    QFile f;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

bool reemplazarArchivo(const QString& ruta, const QByteArray& bytes, QString* motivo) {
    const QFileInfo destino(ruta);
    QTemporaryFile f(
        destino.absoluteDir().filePath(destino.fileName() + QStringLiteral(".XXXXXX")));
    if (!f.open()) {
        if (motivo) *motivo = f.errorString();
        return false;
    }
    if (f.write(bytes) != bytes.size() || !f.flush() || ::fsync(f.handle()) != 0) {
        if (motivo) *motivo = f.errorString();
        return false;
    }
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                     QFileDevice::ReadOther);
    f.close();
    // rename(2) replaces whatever has the name, a link included, and never follows it.
    if (::rename(QFile::encodeName(f.fileName()).constData(),
                 QFile::encodeName(destino.absoluteFilePath()).constData()) != 0) {
        if (motivo) *motivo = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    f.setAutoRemove(false);
    return true;
}

QStringList leerLineasArchivo(const QString& ruta) {
    const std::optional<QByteArray> bytes = leerArchivoNormal(ruta);
    if (!bytes) return {QString()};
    QString texto = QString::fromUtf8(*bytes);
    if (texto.startsWith(QChar(0xfeff))) texto.remove(0, 1);
    QStringList lineas;
    qsizetype inicio = 0;
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const QChar c = texto.at(i);
        if (c == u'\r' || c == u'\n') {
            lineas.append(texto.mid(inicio, i - inicio));
            if (c == u'\r' && i + 1 < texto.size() && texto.at(i + 1) == u'\n') ++i;
            inicio = i + 1;
        }
    }
    if (inicio < texto.size()) lineas.append(texto.mid(inicio));
    lineas.append(QString());
    return lineas;
}

bool noEsArchivoNormal(const QString& ruta) {
    struct stat st {};
    if (::lstat(QFile::encodeName(ruta).constData(), &st) != 0) return false;
    return !S_ISREG(st.st_mode);
}

bool existeRuta(const QString& ruta) {
    QString r = ruta;
    if (r.size() > 3 && (r.endsWith(u'/') || r.endsWith(u'\\'))) r.chop(1);
    if (r.isEmpty()) return false;
    return QFileInfo::exists(r);
}

QString rutaAcceso(const QString& carpeta) {
    return QDir(carpeta).filePath(QStringLiteral("Acceso"));
}

bool codigoValidoInicio(const QString& codigo) {
    return codigo.size() >= kLargoCodigo;
}

bool esNumerico(const QString& texto) {
    // Blanks, a sign, digits with group separators, a decimal part and an exponent; a sign
    // may also follow the number. At least one digit.
    static const QRegularExpression re(QStringLiteral(
        "^\\s*[+-]?\\s*(\\d[\\d,]*(\\.\\d*)?|\\.\\d+)([eEdD][+-]?\\d+)?\\s*[+-]?\\s*$"));
    return re.match(texto).hasMatch();
}

bool codigoValidoCambio(const QString& codigo) {
    return codigo.size() >= kLargoCodigo && esNumerico(codigo.mid(1));
}

bool escribirAcceso(const QString& carpeta, const QString& codigo, QString* motivo) {
    QDir().mkpath(carpeta);
    return reemplazarArchivo(rutaAcceso(carpeta), codigo.toUtf8() + "\r\n", motivo);
}

QString leerSegundaLinea(const QString& carpeta) {
    return leerLineasArchivo(rutaAcceso(carpeta)).value(1);
}

QString leerCodigoSucursal(const QString& carpeta, Dialogos& dialogos, QString* motivo) {
    if (motivo) motivo->clear();
    QString primera = leerLineasArchivo(rutaAcceso(carpeta)).value(0);
    if (codigoValidoInicio(primera)) return primera;
    QString codigo;
    while (!codigoValidoInicio(codigo)) codigo = dialogos.inputBox(kPromptCodigo, kTituloCodigo);
    escribirAcceso(carpeta, codigo, motivo);
    return codigo;
}

QString pedirCodigoNuevo(const QString& carpeta, Dialogos& dialogos, QString* motivo) {
    QString codigo = dialogos.inputBox(kPromptCambiar, kTituloCambiar);
    while (!codigoValidoCambio(codigo)) codigo = dialogos.inputBox(kPromptCodigo, kTituloCodigo);
    return escribirAcceso(carpeta, codigo, motivo) ? codigo : QString();
}

}  // namespace core
