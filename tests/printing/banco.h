#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <ostream>
#include <vector>

#include "json/parser.h"
#include "json/value.h"
#include "printing/entorno.h"
#include "printing/tape_device.h"

// Readable QString values in test failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace printing::test {

struct Globo {
    int icono;
    QString titulo;
    QString texto;
    bool operator==(const Globo&) const = default;
};

/** Records balloons and log lines. */
class AvisosGrabados : public Avisos {
  public:
    void showBalloonTip(const QString& message, int icon, const QString& title,
                        int timeoutMs) override {
        globos.push_back({icon, title, message});
        tiempos.push_back(timeoutMs);
    }
    void agregarLog(const QString& line) override { log.append(line); }

    std::vector<Globo> globos;
    std::vector<int> tiempos;
    QStringList log;
};

/**
 * A bench of tape printers with a recording tray, a fixed clock and an explicit locale.
 * The default printer name is the first printer added unless set.
 */
struct Banco {
    TapePrinterSystem sistema;
    AvisosGrabados avisos;
    Entorno e;

    explicit Banco(const char* locale = "es_CO") {
        e.impresoras = &sistema;
        e.avisos = &avisos;
        e.locale = QLocale(QString::fromLatin1(locale));
        e.reloj = [] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); };
    }
    TapeDevice& agregar(const QString& nombre, int ancho) {
        if (sistema.printers().isEmpty() && sistema.defaultPrinterName().isEmpty())
            sistema.setDefaultPrinterName(nombre);
        return sistema.addPrinter(nombre, ancho);
    }
    /** Keeps a settings list given as JSON text. */
    void configurar(const QString& config) {
        e.configuracion = json::parse(config).value;
        e.hayConfiguracion = true;
    }
    /** The tape lines of every document of a printer, joined. */
    QString tapes(const QString& nombre) const { return sistema.tapesOf(nombre).join(QString()); }
};

inline json::JsonValue parsear(const QString& texto) {
    return json::parse(texto).value;
}

/** Tape text from lines: each line LF-terminated. */
inline QString cinta(const QStringList& lineas) {
    QString s;
    for (const QString& l : lineas) s += l + u'\n';
    return s;
}

}  // namespace printing::test
