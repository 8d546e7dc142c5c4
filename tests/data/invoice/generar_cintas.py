#!/usr/bin/env python3
"""Writes the expected invoice tapes (*.tape) from the cases (*.json) in this folder.

A second, independent reading of the invoice rules, kept deliberately plain: the tests
compare the program's tapes with these byte for byte, so a difference points at one of the
two readings. Run it after editing a case: python3 generar_cintas.py
"""
import json
import math
import pathlib
import sys
from decimal import Decimal, ROUND_HALF_EVEN, ROUND_HALF_UP

AUSENTE = object()  # a key the object does not hold

LOCALES = {"es_CO": (".", ","), "en_US": (",", ".")}  # grouping, decimal point


class Cinta:
    """The tape printer: 12 x size twips per character, 24 x size per line."""

    def __init__(self, ancho_pagina):
        self.ancho_pagina = ancho_pagina
        self.tam = 10
        self.negrita = False
        self.lineas = []
        self.actual = ""

    def prefijo(self):
        t = self.tam
        s = str(int(t)) if float(t).is_integer() else repr(float(t))
        return s + ("B" if self.negrita else "") + "|"

    def fin_linea(self):
        self.lineas.append(self.prefijo() + self.actual)
        self.actual = ""

    def imprimir(self, *items):
        for it in items:
            if isinstance(it, tuple):  # ("tab", n)
                n = max(1, it[1])
                if len(self.actual) + 1 > n:
                    self.fin_linea()
                self.actual += " " * (n - 1 - len(self.actual))
            else:
                self.actual += it
        self.fin_linea()

    def ancho_texto(self, s):
        return 12 * self.tam * len(s)

    def alto_texto(self):
        return 24 * self.tam

    def cinta(self):
        return "".join(l + "\n" for l in self.lineas)


def tab(n):
    return ("tab", n)


def par(x):
    return int(Decimal(x).quantize(Decimal(1), rounding=ROUND_HALF_EVEN))


class Factura:
    def __init__(self, caso):
        self.c = Cinta(caso["ancho"])
        self.grupo, self.punto = LOCALES[caso["locale"]]
        self.logo = caso.get("logo")
        self.nit = caso.get("nit", "")
        self.web = caso.get("web", "")
        doc = caso["documento"]
        self.config = doc["config"]
        self.facturas = doc["factura"]

    # ---- settings
    def item(self, nombre):
        for it in self.config:
            if it.get("Nombre") == nombre:
                return it
        return None

    def valor(self, nombre):
        it = self.item(nombre)
        return "" if it is None else self.texto(it.get("Descripcion", AUSENTE))

    def visible(self, nombre):
        it = self.item(nombre)
        return it is not None and self.texto(it.get("Visible", AUSENTE)) == "1"

    def flag(self, nombre):
        return self.valor(nombre) == "1"

    # ---- values
    def texto(self, v):
        if v is AUSENTE or v is None:
            return ""
        if isinstance(v, bool):
            return "True" if v else "False"
        if isinstance(v, (int, Decimal)):
            s = format(Decimal(v).normalize(), "f") if v != 0 else "0"
            return s.replace(".", self.punto)
        return v

    def num(self, v):
        if v is AUSENTE:
            return Decimal(0)
        if isinstance(v, bool):
            return Decimal(-1 if v else 0)
        if isinstance(v, (int, Decimal)):
            return Decimal(v)
        return Decimal(v.strip())

    def mayor0(self, v):
        if v is None:
            return False
        try:
            return self.num(v) > 0
        except Exception:
            return False

    def impreso(self, v):
        if isinstance(v, (int, Decimal)) and not isinstance(v, bool):
            d = Decimal(v)
            return ("-" if d < 0 else " ") + self.texto(abs(d)) + " "
        return self.texto(v)

    def monto(self, x):
        n = int(Decimal(x).quantize(Decimal(1), rounding=ROUND_HALF_UP))
        s = "{:,}".format(abs(n)).replace(",", self.grupo)
        return ("-" if n < 0 else "") + s

    # ---- layout
    def angosta(self):
        return self.c.ancho_pagina < 5000

    def ancho(self):
        return 40 if self.c.ancho_pagina >= 5000 else 32

    def escalar(self, col):
        return par(Decimal(col) * self.ancho() / 40)

    def faltan(self, s, w):
        return w - len(s.strip(" "))

    def corte(self, s, limite):
        n = 0
        for p in s.split(" "):
            if n + len(p) >= limite:
                break
            n += len(p) + 1
        return n

    def linea(self, s=None):
        if s is None:
            self.c.imprimir()
        else:
            self.c.imprimir(s)

    def linea_monto(self, etiqueta, x):
        m = self.monto(x)
        self.c.imprimir(etiqueta, tab(self.faltan(m, self.ancho())), m)

    def separador(self, tipo="="):
        recordado = par(self.c.tam)
        self.c.tam = 7 if self.angosta() else 10
        self.c.imprimir(tipo * (35 if self.ancho() == 40 else 30))
        self.c.tam = recordado

    def referencia(self):
        if self.angosta():
            self.c.tam = 7
            return par(self.c.ancho_texto("=" * 30))
        self.c.tam = 10
        return par(self.c.ancho_texto("=" * 35))

    def _envolver(self, texto, ancho, alin, col, cabe):
        for fuente in texto.upper().split("\r\n"):
            for _ in range(6):
                fuente = fuente.replace("  ", " ")
            palabras = fuente.split(" ") if fuente else []
            i = 0
            while i < len(palabras):
                fin = cabe(palabras, i)
                l = "".join(" " + palabras[k] for k in range(i, fin + 1)).strip(" ")
                if alin == 2:
                    self.c.imprimir(tab(par(Decimal(ancho - len(l)) / 2)), l)
                elif col >= 1:
                    self.c.imprimir(tab(col), l)
                else:
                    self.c.imprimir(l)
                i = fin + 1

    def ajustado(self, texto, ancho, alin, col):
        def cabe(p, i):
            usado, fin = 0, i
            for k in range(i, len(p)):
                if len(p[k]) < ancho:
                    if usado + len(p[k]) > ancho:
                        break
                    usado += len(p[k]) + 1
                fin = k
            return fin

        self._envolver(texto, ancho, alin, col, cabe)

    def medido(self, texto, ancho, alin, col):
        recordado = par(self.c.tam)
        if self.angosta():
            self.c.tam = 7
            ref = par(self.c.ancho_texto("=" * 30))
        else:
            self.c.tam = 10
            ref = par(self.c.ancho_texto("=" * 34))
        self.c.tam = recordado

        def cabe(p, i):
            usado, fin = 0, i
            for k in range(i, len(p)):
                w = self.c.ancho_texto(p[k])
                if w < ref:
                    if usado + w > ref:
                        break
                    usado += w + self.c.ancho_texto(" ")
                fin = k
            return fin

        self._envolver(texto, ancho, alin, col, cabe)

    def centrado(self, texto):
        self.ajustado(texto, self.ancho(), 2, 0)

    # ---- the invoice
    def imprimir_logo(self):
        pw, ph = self.logo
        alto_linea = par(self.c.alto_texto())
        disponible = self.referencia() - 40
        if pw > 12999:
            w, h = disponible, Decimal(ph) * disponible / Decimal(pw)
        else:
            w, h = Decimal(pw) * 500 / 1300, Decimal(ph) * 500 / 1300
        izq = 0 if w >= disponible else par(Decimal(disponible - w) / 2)
        self.c.lineas.append("PICTURE|%d,%d,%d,%d" % (izq, 20, par(w), par(h)))
        for _ in range(int(math.floor(h / alto_linea)) + 1):
            self.linea()

    def encabezado_empresa(self):
        self.separador()
        v = self.valor
        filas = [
            ("Nombre Establecimiento", v("Nombre Establecimiento") != "", v("Nombre Establecimiento")),
            ("Actividad Economica", v("Actividad Economica") != "", v("Actividad Economica")),
            ("Codigo Actividad Economica", v("Codigo Actividad Economica") != "",
             "Codigo Actividad Economica " + v("Codigo Actividad Economica")),
            ("Numero Identificacion", v("Numero Identificacion") != "",
             v("Tipo Identificacion") + " " + v("Numero Identificacion")),
            ("Nombre Representante Legal", True,
             v("Nombre Representante Legal") + " " + v("Apellido 1 Representante Legal") + " "
             + v("Apellido 2 Representante Legal")),
            ("Direccion", v("Direccion") != "", v("Direccion")),
            ("Telefono 1", v("Telefono 1") != "", "Tel " + v("Telefono 1")),
        ]
        for item, condicion, texto in filas:
            if self.visible(item) and condicion:
                self.medido(texto, self.ancho(), 2, 0)

    def regimen_resolucion(self):
        pre = self.valor("Factura Prefijo")
        pre = pre + "-" if pre else ""
        self.linea(" ")
        if self.visible("Regimen"):
            n = self.valor("Nombre Regimen")
            self.centrado("Responsable de Impuesto Nacional al Consumo"
                          if n in ("Comun", "Simple", "") else n)
        if self.visible("Resolucion Dian Facturacion"):
            self.centrado("Resolucion DIAN " + self.valor("Resolucion Dian Facturacion"))
            self.centrado(" Del " + self.valor("Resolucion Dian Fecha"))
        if self.visible("Factura Inicial"):
            self.centrado("Desde " + pre + self.valor("Factura Inicial") + " Hasta " + pre
                          + self.valor("Factura Final"))
        self.separador()

    def productos(self, pedido):
        self.separador()
        self.c.imprimir("CANT", tab(self.escalar(9)), "PRODUCTO",
                        tab(self.faltan("TOTAL", self.ancho())), "TOTAL")
        self.linea()
        for p in pedido:
            if not self.mayor0(p.get("Valor", AUSENTE)):
                continue
            nombre = self.texto(p.get("NombreProducto", AUSENTE))
            k = self.corte(nombre, self.escalar(20))
            m = self.monto(self.num(p["Valor"]))
            self.c.imprimir(self.impreso(abs(self.num(p.get("Cantidad", AUSENTE)))),
                            tab(self.escalar(6)), nombre[:k], tab(self.faltan(m, self.ancho())), m)
            if len(nombre) > k:
                self.ajustado(nombre[k:], self.ancho(), 0, 5)
            det = p.get("Detalle", AUSENTE)
            if det is not None:
                for parte in self.texto(det).split("<br/>"):
                    if parte.strip(" "):
                        self.medido("-> " + parte, self.ancho(), 0, 0)
        self.separador()

    def totales(self, f):
        g = lambda k: f.get(k, AUSENTE)
        n = lambda k: self.num(g(k))
        cerrada = g("cuentaCerrada") is True
        domicilio = self.texto(g("tipoMesa")) == "DOMICILIO"
        servicio = self.valor("Servicio")
        try:
            servicio = par(Decimal(servicio.replace(self.grupo, "").replace(self.punto, ".")))
        except Exception:
            servicio = 0
        aplica = servicio > 0 and self.valor("Propina") in ("1", "Aplica")
        opcion = self.flag("Opcion Propina 5% y 10%")
        resaltar = self.flag("ResaltarTotal Cuenta")
        concepto = (self.valor("Concepto Domicilio") or "Domicilio").upper()
        por_cupon = Decimal(self.valor("Valor Propina Groupon") or 0)

        def resaltado(texto):
            self.c.tam, self.c.negrita = 15, True
            self.linea(texto)
            self.c.tam, self.c.negrita = (7 if self.angosta() else 10), False

        hay = ((self.mayor0(g("propinaSugerida")) or self.mayor0(g("totalPagadoPropina"))
                or self.mayor0(g("CntGroupon"))) and (aplica or domicilio))
        if hay:
            if cerrada:
                if self.mayor0(g("totalPagadoPropina")):
                    self.linea_monto("SUB TOTAL", n("totalPagado"))
                    if domicilio:
                        self.linea_monto(concepto, n("totalPagadoPropina"))
                    elif self.mayor0(g("CntGroupon")):
                        cup = n("CntGroupon") * por_cupon
                        self.linea_monto("PROPINA GROUPON ", cup)
                        self.linea_monto("PROPINA  ", n("totalPagadoPropina") - cup)
                    else:
                        self.linea_monto("PROPINA", n("totalPagadoPropina"))
                total = n("totalPagado") + n("totalPagadoPropina")
            else:
                self.linea_monto("SUB TOTAL", n("totalPagar") - n("descuento"))
                mesa = g("mesa")
                try:
                    mesa = self.num(mesa)
                except Exception:
                    mesa = 0
                if mesa > 2000:
                    self.linea_monto(concepto + " ", n("propinaSugerida"))
                elif opcion:
                    self.linea_monto("__ APRUEBA PROPINA 10% ", n("propinaSugerida"))
                    self.linea_monto("__ APRUEBA PROPINA 5% ", n("propinaSugerida") / 2)
                    b = "_" * 13
                    self.c.imprimir("__ OTRO VALOR ", tab(self.faltan(b, self.ancho())), b)
                elif self.mayor0(g("CntGroupon")):
                    self.linea_monto("PROPINA SUGERIDA ", n("propinaSugerida"))
                    self.linea_monto("PROPINA GROUPON ", n("CntGroupon") * por_cupon)
                else:
                    self.linea_monto("PROPINA SUGERIDA ", n("propinaSugerida"))
                total = n("totalPagar") + n("propinaSugerida") - n("descuento")
            if opcion:
                pass
            elif resaltar:
                resaltado("** TOTAL " + self.monto(total) + " **")
            else:
                self.linea_monto("TOTAL", total)
        else:
            if resaltar:
                resaltado(" ** TOTAL " + self.monto(n("totalPagar") - n("descuento")) + " **")
            elif cerrada:
                self.linea_monto("TOTAL ", n("totalPagado"))
            else:
                self.linea_monto("TOTAL ", n("totalPagar") - n("descuento"))

        if self.valor("Regimen").upper() == "COMUN" and len(g("impuestos")) > 0:
            col = self.escalar(30)
            self.linea(" ")
            self.separador()
            self.c.imprimir("IMPUESTO", tab(self.faltan("BASE", col)), "BASE",
                            tab(self.faltan("VALOR", self.ancho())), "VALOR")
            for fila in g("impuestos"):
                b = self.monto(self.num(fila.get("base", AUSENTE)))
                v = self.monto(self.num(fila.get("valor", AUSENTE)))
                self.c.imprimir(self.texto(fila.get("nombre", AUSENTE)).upper(),
                                tab(self.faltan(b, col)), b, tab(self.faltan(v, self.ancho())), v)

    def factura(self, f):
        g = lambda k: f.get(k, AUSENTE)
        t = lambda k: self.texto(g(k))
        n = lambda k: self.num(g(k))
        novacio = lambda v: v is not AUSENTE and v is not None and v != ""
        if not novacio(g("mesa")):
            return
        if self.logo:
            self.imprimir_logo()
        self.c.tam = 7 if self.angosta() else 10
        self.encabezado_empresa()
        self.regimen_resolucion()
        if novacio(g("titulo")):
            self.linea()
            self.centrado(t("titulo"))
        if self.valor("Encabezado de Factura"):
            self.centrado(self.valor("Encabezado de Factura"))
        if novacio(g("tipoCuenta")):
            self.centrado(t("tipoCuenta"))
            self.linea(" ")
        if g("tipoCuenta") is not None and t("tipoCuenta") != "COTIZACION":
            nombre = self.valor("Nombre factura cerrada") or (
                "Factura" if self.valor("Regimen").upper() == "COMUN" else "Boleto Fiscal")
            pre = self.valor("Factura Prefijo")
            numero = pre + "-" + t("idFacturaCuenta") if pre else self.impreso(g("idFacturaCuenta"))
            self.c.imprimir(nombre + " No ", numero)
        self.c.imprimir(self.impreso(g("nomMesa")))
        self.c.imprimir("Fecha ", self.impreso(g("fechaFactura")),
                        " Hora " + t("horaFactura") if self.flag("Hora Factura") else "")
        if self.flag("Nombre Mesero Factura"):
            self.linea((self.valor("Titulo del Vendedor") or "Mesero") + "  " + t("vendedor"))
        self.productos(g("pedido"))
        if self.mayor0(g("descuento")):
            self.linea_monto("SUB TOTAL", n("totalPagar") - n("DescuentoIndividual"))
            self.linea_monto("Descuento en Ventas ", -abs(n("descuento") - n("DescuentoIndividual")))
            self.linea()
        self.totales(f)
        domicilio = t("tipoMesa") == "DOMICILIO"
        if g("cuentaCerrada") is True:
            self.linea(" ")
            for pago in g("mediosPago"):
                d = self.texto(pago.get("Producto", AUSENTE))[14:] + " " + self.texto(pago.get("Detalle", AUSENTE))
                if "PROPINA" in d.upper() and domicilio:
                    d = d.replace("propina", "domicilio")
                self.linea_monto(d, abs(self.num(pago.get("Valor", AUSENTE))))
            if n("totalPagado") != 0:
                self.linea()
                self.linea_monto("TOTAL PAGADO", n("totalPagado") + n("totalPagadoPropina"))
            if self.mayor0(g("pagoEfectivo")):
                self.separador()
                self.linea_monto("Efectivo Recibido", n("pagoEfectivo") + n("cambioEfectivo"))
                self.linea_monto("Cambio Entregado", n("cambioEfectivo"))
        cliente = g("cliente")
        if cliente is not None:
            cl = lambda k: self.texto(cliente.get(k, AUSENTE))
            if domicilio:
                self.separador()
                self.c.negrita = True
                self.linea("DATOS DOMICILIO")
                self.c.negrita = False
                self.linea("Nombre: " + cl("Nombre"))
                self.linea("Documento: " + cl("IdDocumento").upper())
                self.medido("Direccion: " + cl("Direccion"), self.ancho(), 0, 0)
                self.linea("Telefono: " + cl("Telefono1"))
                self.medido(t("detalleDomicilio"), self.ancho(), 0, 0)
            elif novacio(cliente.get("Nombre", AUSENTE)):
                self.separador()
                self.linea("Nombre: " + cl("Nombre").upper())
                self.linea("Documento: " + cl("IdDocumento").upper())
                self.medido("Dirección: " + cl("Direccion").upper(), self.ancho(), 2, 0)
                self.linea("Telefono: " + cl("Telefono1").upper())
                for _ in range(4):
                    self.linea(" ")
                self.linea("FIRMA: " + "_" * 29)
                self.linea("C.C.: " + "_" * 30)
            if self.flag("Imprimie Espacio Cliente Cuenta"):
                self.linea(" ")
                if self.angosta():
                    self.linea("NOMBRE: " + "_" * 24)
                    self.linea("CEDULA: " + "_" * 24)
                    self.linea("DIRECCION: " + "_" * 21)
                else:
                    self.linea("NOMBRE: " + "_" * 29)
                    self.linea("CEDULA: " + "_" * 29)
                    self.linea("DIRECCION: " + "_" * 26)
        if (self.flag("Imprimie Leyenda Propina Cuenta") and self.valor("Propina") in ("1", "Aplica")
                and not domicilio and n("propinaSugerida") + n("totalPagadoPropina") > 0):
            self.separador()
            self.medido("Por disposición de la Superintendencia de Industria y Comercio, se "
                        "informa que  en este establecimiento la propina es  sugerida al "
                        "consumidor y corresponde  al 10% del total de la factura, el cual  "
                        "puede ser aceptado, modificado o  rechazado por usted de acuerdo con  "
                        "valoración del servicio prestado, si no  desea cancelar este valor, "
                        "haga caso  omiso del mismo.", self.ancho(), 0, 0)
        pie = self.valor("Pie de Factura").strip(" ")
        if pie:
            self.linea()
            self.separador()
            self.ajustado(pie, 35, 0, 0)
        if novacio(g("pieFactura")):
            self.linea()
            self.ajustado(t("pieFactura"), 35, 2, 0)
        self.linea(" ")
        if self.flag("Permanencia Factura"):
            self.linea("Permanencia  " + t("permanencia") + "  Minutos ")
        if self.flag("Personas Factura"):
            self.linea("Personas " + t("nPersonas"))
        if novacio(g("fechaLimitePago")):
            self.linea("Fecha para pago " + t("fechaLimitePago"))
        self.separador()
        self.linea("Software Zentilori")
        self.linea("Nit " + self.nit)
        self.linea(self.web)
        self.separador()
        for _ in range(10):
            self.linea(" ")

    def cintas(self):
        salida = []
        for f in self.facturas:
            self.factura(f)
            salida.append(self.c.cinta())
            self.c.lineas = []
        return salida


def main():
    carpeta = pathlib.Path(__file__).resolve().parent
    for caso_ruta in sorted(carpeta.glob("*.json")):
        caso = json.loads(caso_ruta.read_text(encoding="utf-8"), parse_float=Decimal)
        cintas = Factura(caso).cintas()
        for i, cinta in enumerate(cintas):
            sufijo = "" if len(cintas) == 1 else "-%d" % (i + 1)
            destino = caso_ruta.with_name(caso_ruta.stem + sufijo + ".tape")
            destino.write_bytes(cinta.encode("utf-8"))
            print(destino.name, file=sys.stderr)


if __name__ == "__main__":
    main()
