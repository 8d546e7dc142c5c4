#include "primitives.h"

#include <cmath>
#include <cstdio>

#include "json/convert.h"
#include "json/runtime_error.h"

namespace printing {

using json::JsonValue;
using json::RuntimeError;

namespace {

void imprimirLineaEnColumna(PrintDevice& p, const QString& linea, int columna) {
    p.print({PrintItem::tabTo(columna), PrintItem::ofText(linea)});
}

// Splits at single blanks without collapsing; an empty line has no words at all.
QStringList palabras(const QString& linea) {
    if (linea.isEmpty()) return {};
    return linea.split(u' ');
}

QString colapsarBlancos(QString linea) {
    for (int i = 0; i < 6; ++i) linea.replace(QStringLiteral("  "), QStringLiteral(" "));
    return linea;
}

// Shared by both wrapping printers: `finDeLinea` decides where each line ends.
template <typename Corte>
void imprimirEnvuelto(const Entorno& e, QString& texto, int ancho, int alineacion, int columna,
                      Corte&& finDeLinea) {
    texto = mayusculas(texto);
    PrintDevice& p = impresora(e);
    const QStringList fuentes = texto.split(QStringLiteral("\r\n"));
    for (const QString& fuente : fuentes) {
        const QStringList w = palabras(colapsarBlancos(fuente));
        qsizetype inicio = 0;
        while (inicio < w.size()) {
            const qsizetype fin = finDeLinea(w, inicio);
            QString linea;
            for (qsizetype i = inicio; i <= fin; ++i) linea += u' ' + w[i];
            linea = recortar(linea);
            if (alineacion == 2) {
                const int col = int(redondearPar((ancho - double(linea.size())) / 2.0));
                imprimirLineaEnColumna(p, linea, col);
            } else if (columna >= 1) {
                imprimirLineaEnColumna(p, linea, columna);
            } else {
                p.print({PrintItem::ofText(linea)});
            }
            inicio = fin + 1;
        }
    }
}

}  // namespace

PrintDevice& impresora(const Entorno& e) {
    return e.seleccion->actual(e);
}

bool hayImpresora(const Entorno& e) {
    return e.seleccion->disponible(e);
}

float tamanoChico(const Entorno& e) {
    return esImpresoraAngosta(e) ? 7.0f : 10.0f;
}

bool esImpresoraAngosta(const Entorno& e) {
    return impresora(e).pageWidth() < 5000;
}

int anchoLinea(const Entorno& e) {
    return impresora(e).pageWidth() >= 5000 ? 40 : 32;
}

int escalarColumna(const Entorno& e, int columna) {
    return int(redondearPar(double(columna) * anchoLinea(e) / 40.0));
}

int cortePalabras(const QString& texto, int limite) {
    int cuenta = 0;
    for (const QString& palabra : texto.split(u' ')) {
        if (cuenta + palabra.size() >= limite) break;
        cuenta += int(palabra.size()) + 1;
    }
    return cuenta;
}

int espaciosFaltantes(const QString& texto, int ancho) {
    return ancho - int(recortar(texto).size());
}

QString impresoraPredeterminada(const Entorno& e) {
    if (!e.impresoras) return {};
    return e.impresoras->defaultPrinterName();
}

int indiceImpresora(const Entorno& e, const QString& nombre) {
    if (!e.impresoras) return -1;
    const QStringList lista = e.impresoras->printers();
    auto buscar = [&](const QString& n) {
        const QString clave = recortar(mayusculas(n));
        for (int i = 0; i < lista.size(); ++i)
            if (recortar(mayusculas(lista[i])) == clave) return i;
        return -1;
    };
    const int i = buscar(nombre);
    if (i >= 0) return i;
    // The default printer's name is looked up once; when it is not installed either, the
    // lookup ends here instead of asking again for the same name.
    return buscar(impresoraPredeterminada(e));
}

bool seleccionarImpresora(const Entorno& e, int indice, int reintento, const QString& solicitada) {
    return e.seleccion->seleccionar(e, indice, reintento, solicitada);
}

void imprimirTextoAjustado(const Entorno& e, QString& texto, int ancho, int alineacion,
                           int columna) {
    imprimirEnvuelto(e, texto, ancho, alineacion, columna,
                     [ancho](const QStringList& w, qsizetype inicio) {
                         qsizetype fin = inicio;
                         int usado = 0;
                         for (qsizetype i = inicio; i < w.size(); ++i) {
                             const int largo = int(w[i].size());
                             if (largo < ancho) {
                                 if (usado + largo > ancho) break;
                                 usado += largo + 1;
                             }
                             fin = i;  // a word of `ancho` characters or more is not counted
                         }
                         return fin;
                     });
}

void imprimirTextoMedido(const Entorno& e, QString& texto, int ancho, int alineacion, int columna) {
    PrintDevice& p = impresora(e);
    const long long recordado = redondearPar(double(p.fontSize()));
    long long referencia;
    if (esImpresoraAngosta(e)) {
        p.setFontSize(7);
        referencia = redondearPar(p.textWidth(QString(30, u'=')));
    } else {
        p.setFontSize(10);
        referencia = redondearPar(p.textWidth(QString(34, u'=')));
    }
    p.setFontSize(float(recordado));
    const double blanco = p.textWidth(QStringLiteral(" "));
    imprimirEnvuelto(e, texto, ancho, alineacion, columna,
                     [&p, referencia, blanco](const QStringList& w, qsizetype inicio) {
                         qsizetype fin = inicio;
                         double usado = 0;
                         for (qsizetype i = inicio; i < w.size(); ++i) {
                             const double medida = p.textWidth(w[i]);
                             if (medida < double(referencia)) {
                                 if (usado + medida > double(referencia)) break;
                                 usado += medida + blanco;
                             }
                             fin = i;
                         }
                         return fin;
                     });
}

void imprimirSeparador(const Entorno& e, const QString& tipo) {
    PrintDevice& p = impresora(e);
    const long long recordado = redondearPar(double(p.fontSize()));
    p.setFontSize(tamanoChico(e));
    const int largo = anchoLinea(e) == 40 ? 35 : 30;
    if (tipo == QStringLiteral("=") || tipo == QStringLiteral("-"))
        p.print({PrintItem::ofText(QString(largo, tipo[0]))});
    p.setFontSize(float(recordado));
}

int anchoReferencia(const Entorno& e) {
    PrintDevice& p = impresora(e);
    if (esImpresoraAngosta(e)) {
        p.setFontSize(7);
        return int(redondearPar(p.textWidth(QString(30, u'='))));
    }
    p.setFontSize(10);
    return int(redondearPar(p.textWidth(QString(35, u'='))));
}

QString mayusculas(const QString& s) {
    // Code point by code point with the simple mapping, so the length never changes.
    QString r;
    r.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            const char32_t cp = QChar::surrogateToUcs4(c, s[i + 1]);
            const char32_t up = QChar::toUpper(cp);
            const char16_t pair[2] = {QChar::highSurrogate(up), QChar::lowSurrogate(up)};
            if (QChar::requiresSurrogates(up))
                r.append(QStringView(pair, 2));
            else
                r.append(QChar(char16_t(up)));
            ++i;
        } else {
            r.append(c.toUpper());
        }
    }
    return r;
}

QString recortar(const QString& s) {
    qsizetype a = 0, b = s.size();
    while (a < b && s[a] == u' ') ++a;
    while (b > a && s[b - 1] == u' ') --b;
    return s.mid(a, b - a);
}

long long redondearPar(double v) {
    return static_cast<long long>(std::nearbyint(v));
}

long long redondearPar(const json::Decimal& d) {
    const __int128 h = d.hundredths();
    __int128 q = h / 100;
    const __int128 r = h % 100;  // same sign as h
    const __int128 ar = r < 0 ? -r : r;
    if (ar > 50 || (ar == 50 && (q % 2 != 0))) q += (h < 0 ? -1 : 1);
    if (q > __int128(INT64_MAX) || q < __int128(INT64_MIN)) throw RuntimeError::overflow();
    return static_cast<long long>(q);
}

QString textoNumeroImpreso(const json::Decimal& d, const QLocale& locale) {
    const QChar sep = locale.decimalPoint().isEmpty() ? QChar(u'.') : locale.decimalPoint()[0];
    return (d.isNegative() ? QStringLiteral("-") : QStringLiteral(" ")) + d.abs().toString(sep) +
           u' ';
}

QString textoImpreso(const JsonValue& v, const QLocale& locale) {
    if (v.isNumber()) return textoNumeroImpreso(v.number(), locale);
    return json::toText(v, locale);
}

QString textoNumeroPlano(double valor, const QLocale& locale) {
    if (!std::isfinite(valor)) return QString::number(valor);
    if (valor == 0) return QStringLiteral("0");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", valor);  // d.dddddddddddddde[+-]XX
    const QString s = QString::fromLatin1(buf);
    const bool negativo = s.startsWith(u'-');
    const QString cuerpo = negativo ? s.mid(1) : s;
    const qsizetype ePos = cuerpo.indexOf(u'e');
    QString digitos = cuerpo.left(ePos).remove(u'.');
    const int exponente = cuerpo.mid(ePos + 1).toInt();
    while (digitos.size() > 1 && digitos.endsWith(u'0')) digitos.chop(1);
    QString entero, fraccion;
    if (exponente < 0) {
        entero = QStringLiteral("0");
        fraccion = QString(-exponente - 1, u'0') + digitos;
    } else if (exponente + 1 >= digitos.size()) {
        entero = digitos + QString(exponente + 1 - digitos.size(), u'0');
    } else {
        entero = digitos.left(exponente + 1);
        fraccion = digitos.mid(exponente + 1);
    }
    const QString sep =
        locale.decimalPoint().isEmpty() ? QStringLiteral(".") : locale.decimalPoint();
    QString r = negativo ? QStringLiteral("-") : QString();
    r += entero;
    if (!fraccion.isEmpty()) r += sep + fraccion;
    return r;
}

QString textoMonto(double valor, const QLocale& locale) {
    double r = std::round(valor);  // halves away from zero
    if (r == 0) r = 0;             // never "-0"
    return locale.toString(r, 'f', 0);
}

void imprimirLineaMonto(const Entorno& e, const QString& etiqueta, double valor) {
    const QString monto = textoMonto(valor, e.locale);
    impresora(e).print({PrintItem::ofText(etiqueta),
                        PrintItem::tabTo(espaciosFaltantes(monto, anchoLinea(e))),
                        PrintItem::ofText(monto)});
}

void cancelarDocumento(const Entorno& e) {
    e.seleccion->cancelarDocumento();
}

void mostrarGlobo(const Entorno& e, const QString& texto, int icono, const QString& titulo) {
    if (e.avisos) e.avisos->showBalloonTip(texto, icono, titulo, kTiempoGlobo);
}

void registrarLog(const Entorno& e, const QString& linea) {
    if (e.avisos) e.avisos->agregarLog(linea);
}

void avisarSinImpresoras(const Entorno& e) {
    mostrarGlobo(e, kSinImpresoras, kGloboError, QStringLiteral("Error al imprimir"));
    registrarLog(e, kSinImpresoras);
}

JsonValue campo(const JsonValue& objeto, const char* clave) {
    return objeto.item(QString::fromUtf8(clave));
}

QString textoCampo(const Entorno& e, const JsonValue& objeto, const char* clave) {
    return json::toText(campo(objeto, clave), e.locale);
}

json::Decimal numeroCampo(const Entorno& e, const JsonValue& objeto, const char* clave) {
    return json::toNumber(campo(objeto, clave), e.locale);
}

QList<JsonValue> elementos(const JsonValue& lista) {
    QList<JsonValue> r;
    if (lista.isArray()) {
        for (const JsonValue& v : *lista.array()) r.append(v);
    } else if (lista.isObject()) {
        const auto& o = *lista.object();
        for (int i = 0; i < o.count(); ++i) r.append(o.valueAt(i));
    } else {
        throw RuntimeError::objectRequired();
    }
    return r;
}

}  // namespace printing
