#include "ajustes_impresoras.h"

#include "primitives.h"

namespace printing {

namespace {

QString clave(const QString& nombre) {
    return recortar(mayusculas(nombre));
}

bool leerClase(const QString& palabra, AjustesImpresora::Clase& clase) {
    using Clase = AjustesImpresora::Clase;
    if (palabra == u"auto") {
        clase = Clase::Auto;
    } else if (palabra == u"escpos") {
        clase = Clase::Escpos;
    } else if (palabra == u"escpos-text") {
        clase = Clase::EscposTexto;
    } else if (palabra == u"pdf") {
        clase = Clase::Pdf;
    } else {
        return false;
    }
    return true;
}

bool leerDireccion(const QString& texto, AjustesImpresora& a) {
    static const QString kEsquema = QStringLiteral("socket://");
    if (!texto.startsWith(kEsquema)) return false;
    const QString resto = texto.mid(kEsquema.size());
    const qsizetype dosPuntos = resto.lastIndexOf(u':');
    if (dosPuntos <= 0) return false;
    QString host = resto.left(dosPuntos);
    if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint puerto = resto.mid(dosPuntos + 1).toUInt(&ok);
    if (!ok || puerto == 0 || puerto > 65535 || host.isEmpty() || host.contains(u'/')) {
        return false;
    }
    a.direccion = texto;
    a.host = host;
    a.puerto = static_cast<quint16>(puerto);
    return true;
}

// One option word; false when it is unknown or its value is not one of the allowed.
bool leerOpcion(const QString& palabra, AjustesImpresora& a, bool& puntosDados) {
    const qsizetype igual = palabra.indexOf(u'=');
    if (igual <= 0) return false;
    const QString nombre = palabra.left(igual);
    const QString valor = palabra.mid(igual + 1);
    if (nombre == u"width") {
        if (valor != u"58" && valor != u"80") return false;
        a.anchoMm = valor.toInt();
        if (!puntosDados) a.puntos = AjustesImpresora::puntosDeAncho(a.anchoMm);
        a.anchoDado = true;
    } else if (nombre == u"dots") {
        bool ok = false;
        const int n = valor.toInt(&ok);
        // Narrower than eight characters or wider than any roll printer (a 112 mm one has
        // 832 dots) is a typo.
        if (!ok || n < 96 || n > 2048) return false;
        a.puntos = n;
        puntosDados = true;
        a.anchoDado = true;
    } else if (nombre == u"codepage") {
        if (valor == u"cp437") {
            a.paginaCodigos = PaginaCodigos::Cp437;
        } else if (valor == u"cp850") {
            a.paginaCodigos = PaginaCodigos::Cp850;
        } else if (valor == u"cp858") {
            a.paginaCodigos = PaginaCodigos::Cp858;
        } else if (valor == u"wpc1252") {
            a.paginaCodigos = PaginaCodigos::Wpc1252;
        } else {
            return false;
        }
    } else if (nombre == u"cut") {
        if (valor != u"yes" && valor != u"no") return false;
        a.cortar = valor == u"yes";
    } else if (nombre == u"address") {
        return leerDireccion(valor, a);
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool AjustesImpresoras::leerValor(const QString& valor, AjustesImpresora& ajustes,
                                  QString& problema) {
    AjustesImpresora a;
    bool puntosDados = false;
    const QStringList palabras = valor.simplified().split(u' ', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < palabras.size(); ++i) {
        const QString& palabra = palabras.at(i);
        // The kind comes first; a value of options alone keeps the automatic kind.
        const bool leida =
            (i == 0 && leerClase(palabra, a.clase)) || leerOpcion(palabra, a, puntosDados);
        if (!leida) {
            problema = palabra;
            return false;
        }
    }
    ajustes = a;
    return true;
}

AjustesImpresoras AjustesImpresoras::leer(const QList<QPair<QString, QString>>& entradas,
                                          const Registro& registro) {
    AjustesImpresoras todas;
    for (const auto& entrada : entradas) {
        const QString& nombre = entrada.first;
        const QString& valor = entrada.second;
        if (clave(nombre).isEmpty()) continue;
        AjustesImpresora a;
        QString problema;
        if (!leerValor(valor, a, problema) && registro) {
            registro(QStringLiteral("servidor.ini [impresoras] ") + nombre +
                     QStringLiteral(": palabra desconocida \"") + problema +
                     QStringLiteral("\"; la impresora queda con los valores predeterminados"));
        }
        todas.impresoras_.removeIf([&](const auto& p) { return clave(p.first) == clave(nombre); });
        todas.impresoras_.append({recortar(nombre), a});
    }
    return todas;
}

AjustesImpresoras AjustesImpresoras::leer(QSettings& ini, const Registro& registro) {
    QList<QPair<QString, QString>> entradas;
    ini.beginGroup(QStringLiteral("impresoras"));
    for (const QString& k : ini.childKeys()) {
        // A value with commas is read as a list; the words never hold one, but keep it whole.
        const QVariant v = ini.value(k);
        const QString texto = v.typeId() == QMetaType::QStringList
                                  ? v.toStringList().join(QStringLiteral(","))
                                  : v.toString();
        entradas.append({k, texto});
    }
    ini.endGroup();
    return leer(entradas, registro);
}

AjustesImpresora AjustesImpresoras::de(const QString& nombre) const {
    const QString buscada = clave(nombre);
    for (const auto& p : impresoras_)
        if (clave(p.first) == buscada) return p.second;
    return {};
}

bool AjustesImpresoras::contiene(const QString& nombre) const {
    const QString buscada = clave(nombre);
    for (const auto& p : impresoras_)
        if (clave(p.first) == buscada) return true;
    return false;
}

QStringList AjustesImpresoras::nombres() const {
    QStringList out;
    for (const auto& p : impresoras_) out.append(p.first);
    return out;
}

}  // namespace printing
