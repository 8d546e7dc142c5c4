#include "opcion_impresora.h"

#include <QRegularExpression>

namespace printing {

std::optional<ImpresoraPedida> leerOpcionImpresora(QString texto) {
    ImpresoraPedida p;
    static const QString kSufijoOffline = QStringLiteral(":offline");
    texto = texto.trimmed();
    if (texto.endsWith(kSufijoOffline)) {
        p.offline = true;
        texto.chop(kSufijoOffline.size());
    }
    static const QRegularExpression kAncho(QStringLiteral("^(.*)=([0-9]+)$"),
                                           QRegularExpression::DotMatchesEverythingOption);
    const auto m = kAncho.match(texto);
    if (m.hasMatch()) {
        bool ok = false;
        p.ancho = m.captured(2).toInt(&ok);
        if (!ok || p.ancho <= 0) return std::nullopt;
        texto = m.captured(1);
    }
    p.nombre = texto.trimmed();
    if (p.nombre.isEmpty() || p.nombre.contains(u'=')) return std::nullopt;
    return p;
}

QString valorIni(const QSettings& ini, const QString& clave) {
    const QVariant v = ini.value(clave);
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

}  // namespace printing
