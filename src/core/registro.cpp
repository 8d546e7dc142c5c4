#include "core/registro.h"

namespace core {

QString Registro::extracto(const QString& texto) {
    if (texto.size() <= kMaxEntrada) return texto;
    return texto.left(kMaxEntrada) + QStringLiteral("\n[... %1 caracteres más no se muestran aquí]")
                                         .arg(texto.size() - kMaxEntrada);
}

QString Registro::textoCaja(const QString& texto) {
    QString r = extracto(texto);
    r.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    r.replace(u'\r', u'\n');
    return r;
}

void Registro::agregar(const QString& texto) {
    if (salida_) {
        const QByteArray b = extracto(texto).toUtf8() + '\n';
        std::fwrite(b.constData(), 1, size_t(b.size()), salida_);
        std::fflush(salida_);
    }
    emit lineaAgregada(textoCaja(texto));
}

}  // namespace core
