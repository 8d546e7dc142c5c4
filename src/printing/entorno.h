#pragma once

#include <QDateTime>
#include <QLocale>
#include <QSizeF>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "json/value.h"
#include "observador_tickets.h"
#include "seleccion_impresora.h"

namespace printing {

class PrinterSystem;
class PrintDevice;

/** Balloon icon kinds of the tray. */
enum IconoGlobo { kGloboNinguno = 0, kGloboInfo = 1, kGloboAviso = 2, kGloboError = 3 };
constexpr int kTiempoGlobo = 30000;

/**
 * Where the layouts report: the tray's balloons and the log. The server routes these to the
 * tray icon and the log box; ticket-render to balloons.txt; tests to a fake.
 */
class Avisos {
  public:
    virtual ~Avisos() = default;
    virtual void showBalloonTip(const QString& message, int icon, const QString& title,
                                int timeoutMs) = 0;
    virtual void agregarLog(const QString& line) = 0;
};

/** A text on one line: CR and LF written as \r and \n. */
inline QString escaparSaltos(QString texto) {
    texto.replace(u'\r', QStringLiteral("\\r"));
    texto.replace(u'\n', QStringLiteral("\\n"));
    return texto;
}

/** How a balloon is written to standard error: "balloon <icon> <title>: <text>". */
inline QString lineaGlobo(int icono, const QString& titulo, const QString& texto) {
    return QStringLiteral("balloon %1 %2: %3").arg(icono).arg(titulo, escaparSaltos(texto));
}

/**
 * Everything a layout needs besides the document: the printers, the current printer, where
 * to report, the regional format, the clock, the application folder and the kept settings.
 * One per process (the server's, or ticket-render's). Layouts only read it; the one thing a
 * ticket changes, the current printer, lives in `seleccion`, shared by every copy.
 */
struct Entorno {
    PrinterSystem* impresoras = nullptr;
    Avisos* avisos = nullptr;
    /** The current printer, carried over from one ticket to the next. */
    std::shared_ptr<SeleccionImpresora> seleccion = std::make_shared<SeleccionImpresora>();
    /**
     * Tickets of the document being dispatched that printed nowhere (their printer and the
     * default both failed, or no printer is installed); the dispatch starts it at 0 and the
     * server answers status 1 after a document that leaves it above 0. Shared by every copy.
     */
    std::shared_ptr<int> ticketsSinImprimir = std::make_shared<int>(0);
    /** Regional number format for amounts. */
    QLocale locale = QLocale::system();
    /** Local clock (cancellation tickets print the time of printing). */
    std::function<QDateTime()> reloj = [] { return QDateTime::currentDateTime(); };
    /** Application folder: holds logo.bmp. */
    QString carpetaAplicacion;
    /** Lets pending user-interface events run once (the invoice's step before its last lines). */
    std::function<void()> procesarEventosPendientes = [] {};
    /** The kept settings list (`config` of the latest document); Empty until the first. */
    json::JsonValue configuracion;
    bool hayConfiguracion = false;
    /** Sees every ticket before and after it prints (the server's journal); none by default. */
    ObservadorTickets* observador = nullptr;
    /** Software vendor's tax number and web address printed at the foot of invoices. */
    QString nitSoftware;
    QString webSoftware;
    /**
     * Size of a picture file in hundredths of a millimetre (from its own resolution, else
     * 96 dpi); none when the file cannot be read as a picture. The devices layer supplies it.
     */
    std::function<std::optional<QSizeF>(const QString& path)> tamanoImagen = [](const QString&) {
        return std::optional<QSizeF>();
    };
    /**
     * Runs after the layouts of a document, with the document and this Entorno: printers
     * that measure text their own way (virtual ESC/POS text printers) lay the same document
     * out again on their own metrics. Empty when no printer needs it.
     */
    std::function<void(const json::JsonValue& documento, const Entorno& e)> otraPasada;
};

}  // namespace printing
