#include "printing/productos_factura.h"

#include "json/convert.h"
#include "printing/primitives.h"

namespace printing {

void imprimirProductosFactura(Entorno& e, const json::JsonValue& pedido) {
    PrintDevice& p = impresora(e);
    p.setFontName(kFuenteFactura);
    imprimirSeparador(e, QStringLiteral("="));

    const int ancho = anchoLinea(e);
    p.Print({PrintItem::Text(QStringLiteral("CANT")), PrintItem::Tab(escalarColumna(e, 9)),
             PrintItem::Text(QStringLiteral("PRODUCTO")),
             PrintItem::Tab(espaciosFaltantes(QStringLiteral("TOTAL"), ancho)),
             PrintItem::Text(QStringLiteral("TOTAL"))});
    p.Print({});

    const int cuenta = pedido.Count();
    for (int i = 1; i <= cuenta; ++i) {
        const json::JsonValue producto = pedido.Item(i);
        const json::JsonValue valor = producto.Item(QStringLiteral("Valor"));
        // lines without value (courtesies, zero-priced modifiers) stay off the invoice
        if (!json::mayorQueCero(valor, e.locale)) continue;

        const QString nombre =
            json::texto(producto.Item(QStringLiteral("NombreProducto")), e.locale);
        const int corte = cortePalabras(nombre, escalarColumna(e, 20));
        const QString cantidad = textoNumeroImpreso(
            json::numero(producto.Item(QStringLiteral("Cantidad")), e.locale).abs(), e.locale);
        const QString monto = textoMonto(json::numero(valor, e.locale).toDouble(), e.locale);
        p.Print({PrintItem::Text(cantidad), PrintItem::Tab(escalarColumna(e, 6)),
                 PrintItem::Text(nombre.left(corte)),
                 PrintItem::Tab(espaciosFaltantes(monto, ancho)), PrintItem::Text(monto)});

        if (nombre.size() > corte) {
            QString resto = nombre.mid(corte);
            imprimirTextoAjustado(e, resto, ancho, 0, 5);
        }

        const json::JsonValue detalle = producto.Item(QStringLiteral("Detalle"));
        if (!detalle.isNull()) {
            const QStringList notas = json::texto(detalle, e.locale).split(QStringLiteral("<br/>"));
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
