#include "printing/productos_factura.h"

#include "json/convert.h"
#include "printing/primitives.h"

namespace printing {

void imprimirProductosFactura(const Entorno& e, const json::JsonValue& pedido) {
    PrintDevice& p = impresora(e);
    p.setFontName(kFuenteFactura);
    imprimirSeparador(e, QStringLiteral("="));

    const int ancho = anchoLinea(e);
    p.print({PrintItem::ofText(QStringLiteral("CANT")), PrintItem::tabTo(escalarColumna(e, 9)),
             PrintItem::ofText(QStringLiteral("PRODUCTO")),
             PrintItem::tabTo(espaciosFaltantes(QStringLiteral("TOTAL"), ancho)),
             PrintItem::ofText(QStringLiteral("TOTAL"))});
    p.print({});

    const int cuenta = pedido.count();
    for (int i = 1; i <= cuenta; ++i) {
        const json::JsonValue producto = pedido.item(i);
        const json::JsonValue valor = producto.item(QStringLiteral("Valor"));
        // lines without value (courtesies, zero-priced modifiers) stay off the invoice
        if (!json::isPositive(valor, e.locale)) continue;

        const QString nombre =
            json::toText(producto.item(QStringLiteral("NombreProducto")), e.locale);
        const int corte = cortePalabras(nombre, escalarColumna(e, 20));
        const QString cantidad = textoNumeroImpreso(
            json::toNumber(producto.item(QStringLiteral("Cantidad")), e.locale).abs(), e.locale);
        const QString monto = textoMonto(json::toNumber(valor, e.locale).toDouble(), e.locale);
        p.print({PrintItem::ofText(cantidad), PrintItem::tabTo(escalarColumna(e, 6)),
                 PrintItem::ofText(nombre.left(corte)),
                 PrintItem::tabTo(espaciosFaltantes(monto, ancho)), PrintItem::ofText(monto)});

        if (nombre.size() > corte) {
            QString resto = nombre.mid(corte);
            imprimirTextoAjustado(e, resto, ancho, 0, 5);
        }

        const json::JsonValue detalle = producto.item(QStringLiteral("Detalle"));
        if (!detalle.isNull()) {
            const QStringList notas =
                json::toText(detalle, e.locale).split(QStringLiteral("<br/>"));
            for (const QString& nota : notas) {
                if (nota.trimmed().isEmpty()) continue;
                QString linea = QStringLiteral("-> ") + nota;
                imprimirTextoMedido(e, linea, ancho, 0, 0);
            }
        }
    }
    imprimirSeparador(e, QStringLiteral("="));
}

}  // namespace printing
