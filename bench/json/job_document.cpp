#include "job_document.h"

#include <QString>
#include <random>

namespace {

const char* const kProductos[] = {
    "Bandeja paisa",   "Ajiaco santafereño",       "Jugo de maracuyá",    "Café con leche",
    "Arepa de choclo", "Limonada de coco",         "Sancocho de gallina", "Postre de natas",
    "Ensalada César",  "Mojarra frita con patacón"};
const char* const kAreas[] = {"Cocina", "Bar", "Parrilla", "Panadería"};
const char* const kNotas[] = {"sin cebolla",
                              "término medio",
                              "poca sal, por favor",
                              "para llevar",
                              "con hielo",
                              "la niña quiere piña",
                              ""};

struct Gen {
    std::mt19937 rng;
    int pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
    QByteArray money() {
        return QByteArray::number(1000 + pick(90000)) + '.' + QByteArray::number(10 + pick(90));
    }
};

QByteArray quoted(const char* s) {
    return '"' + QByteArray(s) + '"';
}

QByteArray producto(Gen& g) {
    return "{\"NombreProducto\":" + quoted(kProductos[g.pick(10)]) +
           ",\"cantidad\":" + QByteArray::number(1 + g.pick(6)) + ",\"precio\":" + g.money() +
           ",\"DescuentoIndividual\":0,\"nota\":" + quoted(kNotas[g.pick(7)]) +
           ",\"area\":" + quoted(kAreas[g.pick(4)]) + "}";
}

QByteArray productos(Gen& g) {
    QByteArray out = "[";
    const int n = 2 + g.pick(6);
    for (int i = 0; i < n; ++i) out += (i ? "," : "") + producto(g);
    return out + "]";
}

QByteArray comanda(Gen& g, int id) {
    return "{\"idComanda\":" + QByteArray::number(id) + ",\"nomMesa\":\"Mesa " +
           QByteArray::number(1 + g.pick(40)) +
           "\",\"mesero\":\"José Muñoz\",\"impresora\":" + quoted(kAreas[g.pick(4)]) +
           ",\"fecha\":\"2026-12-08 12:34:56\",\"productos\":" + productos(g) + "}";
}

QByteArray anulacion(Gen& g, int id) {
    return "{\"idAnulacion\":" + QByteArray::number(id) + ",\"nomMesa\":\"Mesa " +
           QByteArray::number(1 + g.pick(40)) +
           "\",\"motivo\":\"El cliente cambió de opinión\",\"productos\":" + productos(g) + "}";
}

QByteArray factura(Gen& g, int id) {
    return "{\"idFactura\":" + QByteArray::number(id) +
           ",\"cliente\":\"Señora Begoña Ibáñez\",\"nit\":\"900.123.456-7\","
           "\"direccion\":\"Calle 10 # 5-51, Bogotá D.C.\",\"productos\":" +
           productos(g) + ",\"subtotal\":" + g.money() + ",\"impuesto\":" + g.money() +
           ",\"propina\":" + g.money() + ",\"totalPagar\":" + g.money() +
           ",\"CntGroupon\":0,\"resolucion\":\"Resolución DIAN 18764000001234 de 2026\"}";
}

QByteArray settings() {
    QByteArray out = "[";
    for (int i = 0; i < 40; ++i) {
        out += (i ? "," : "") + QByteArray("{\"Nombre\":\"Ajuste número ") + QByteArray::number(i) +
               "\",\"Descripcion\":\"Descripción del ajuste de impresión " + QByteArray::number(i) +
               "\",\"Visible\":" + (i % 3 ? "true" : "false") + "}";
    }
    return out + "]";
}

}  // namespace

QByteArray makeJobDocument(qsizetype bytes, unsigned seed) {
    Gen g{std::mt19937(seed)};
    QByteArray comandas, anulaciones, facturas;
    const QByteArray config = settings();
    int id = 1;
    // the three lists grow in turn until the document reaches its size
    while (config.size() + comandas.size() + anulaciones.size() + facturas.size() + 200 < bytes) {
        switch (id % 3) {
            case 0:
                comandas += (comandas.isEmpty() ? "" : ",") + comanda(g, id);
                break;
            case 1:
                anulaciones += (anulaciones.isEmpty() ? "" : ",") + anulacion(g, id);
                break;
            default:
                facturas += (facturas.isEmpty() ? "" : ",") + factura(g, id);
                break;
        }
        ++id;
    }
    return "{\"config\":" + config + ",\"comanda\":[" + comandas + "],\"anulaciones\":[" +
           anulaciones + "],\"factura\":[" + facturas +
           "],\"abrirCajon\":false,\"idsLeidos\":\"1,2,3\"}";
}
