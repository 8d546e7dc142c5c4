#pragma once

#include <QList>
#include <QPair>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <functional>

namespace printing {

/** Code pages a receipt printer's own fonts are selected in. */
enum class PaginaCodigos { Cp437, Cp850, Cp858, Wpc1252 };

/**
 * How one printer of servidor.ini's [impresoras] section is driven. Raw queues get ESC/POS
 * (a raster picture of the ticket, or the printer's own fonts), driver queues a PDF; `Auto`
 * leaves the choice to what the queue says it is.
 */
struct AjustesImpresora {
    enum class Clase { Auto, Escpos, EscposTexto, Pdf };

    Clase clase = Clase::Auto;
    int anchoMm = 80;  // paper width: 58 or 80
    int puntos = 576;  // printable dots across the paper at 203 dpi
    /** Whether width= or dots= was given (they win over a virtual printer's own width). */
    bool anchoDado = false;
    PaginaCodigos paginaCodigos = PaginaCodigos::Cp858;
    bool cortar = true;
    /** socket://HOST:PORT: the bytes go straight to a network printer; "" through the queue. */
    QString direccion;
    QString host;
    quint16 puerto = 0;

    /** Printable dots of a paper width: 384 for 58 mm, 576 for 80 mm. */
    static int puntosDeAncho(int anchoMm) { return anchoMm == 58 ? 384 : 576; }
};

/**
 * The [impresoras] section: one key per printer (a queue name, compared as the printer lookup
 * compares names: trimmed and case-blind), its value the kind then options:
 *
 *     Cocina=escpos-text width=58 codepage=cp850 cut=no
 *     Barra=escpos address=socket://10.0.0.20:9100
 *
 * A value with an unknown or malformed word is logged once (naming the key and the word) and
 * the printer keeps every default: a typo never stops the server.
 */
class AjustesImpresoras {
  public:
    using Registro = std::function<void(const QString&)>;

    AjustesImpresoras() = default;

    /** Reads key/value pairs; a later key of the same name wins. */
    static AjustesImpresoras leer(const QList<QPair<QString, QString>>& entradas,
                                  const Registro& registro);
    /** Reads the [impresoras] section of an ini file. */
    static AjustesImpresoras leer(QSettings& ini, const Registro& registro);
    /** One value; nothing is kept and `problema` names the first bad word when it fails. */
    static bool leerValor(const QString& valor, AjustesImpresora& ajustes, QString& problema);

    /** The settings of a printer by name; the defaults when the section does not name it. */
    AjustesImpresora de(const QString& nombre) const;
    /** Whether the section names that printer. */
    bool contiene(const QString& nombre) const;
    /** The printer names of the section, in the order read (an ini file's keys sort). */
    QStringList nombres() const;

  private:
    QList<QPair<QString, AjustesImpresora>> impresoras_;
};

}  // namespace printing
