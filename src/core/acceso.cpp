#include "core/acceso.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace core {

QStringList leerLineasArchivo(const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return {QString()};
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) return {QString()};
    QString texto = QString::fromUtf8(bytes);
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
    QSaveFile f(rutaAcceso(carpeta));
    const QByteArray linea = codigo.toUtf8() + "\r\n";
    if (f.open(QIODevice::WriteOnly) && f.write(linea) == linea.size() && f.commit()) return true;
    if (motivo) *motivo = f.errorString();
    return false;
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
