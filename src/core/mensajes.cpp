#include "core/mensajes.h"

#include <QUrl>

namespace core {

QString escaparJson(const QString& texto) {
    QString r;
    r.reserve(texto.size());
    for (QChar c : texto) {
        const char16_t u = c.unicode();
        switch (u) {
            case u'"':
                r += QLatin1String("\\\"");
                break;
            case u'\\':
                r += QLatin1String("\\\\");
                break;
            case u'\b':
                r += QLatin1String("\\b");
                break;
            case u'\f':
                r += QLatin1String("\\f");
                break;
            case u'\n':
                r += QLatin1String("\\n");
                break;
            case u'\r':
                r += QLatin1String("\\r");
                break;
            case u'\t':
                r += QLatin1String("\\t");
                break;
            default:
                // Controls and everything beyond ASCII go out as \uXXXX, so the wire stays ASCII
                // whatever code page the peer reads it with.
                if (u < 0x20 || u > 0x7e)
                    r += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
                else
                    r += c;
        }
    }
    return r;
}

QString mensajeIdentificacion(const QString& codigo) {
    return QLatin1String("{\"idSyA\":\"") + escaparJson(codigo) +
           QLatin1String("\",\"type\":\"id\"}");
}

QString mensajeEstado(const QString& codigo, int estadoTrabajo) {
    return QLatin1String("{\"idSyA\":\"") + escaparJson(codigo) +
           QLatin1String("\",\"status\":\"") + QString::number(estadoTrabajo) +
           QLatin1String("\"}");
}

QByteArray urlTrabajos(const QString& hostTrabajos, const QString& codigo) {
    return "https://" + hostTrabajos.toUtf8() +
           "/?r=servicio/getImpresiones&idSyA=" + QUrl::toPercentEncoding(codigo);
}

bool DetectorNotificacion::entrega(const QString& datos) {
    const QString prueba = cola_ + datos;
    if (prueba.endsWith(kTerminador)) {
        cola_.clear();
        return true;
    }
    cola_ = prueba.right(kTerminador.size() - 1);
    return false;
}

}  // namespace core
