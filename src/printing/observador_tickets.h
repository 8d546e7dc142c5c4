#pragma once

#include <QString>

namespace printing {

enum class TipoTicket;
struct ResultadoTicket;

/** One ticket as its frame meets it, before anything of it prints. */
struct TicketEnCurso {
    TipoTicket tipo;
    /** The printer the document asks for; an observer may send the ticket elsewhere. */
    QString destino;
    /** A short title: the area and table, the invoice number, "Cajon". */
    QString titulo;
};

/**
 * Watches every ticket of a dispatch, in print order: whoever keeps a journal of tickets
 * sits here. Each ticket meets antesDeImprimir first; only when it says yes is the printer
 * selected, the ticket laid out and sent (alEnviar just before the send, alTerminar after,
 * whether it was sent or not).
 */
class ObservadorTickets {
  public:
    virtual ~ObservadorTickets() = default;
    /** False skips the ticket: nothing is selected, printed or reported. */
    virtual bool antesDeImprimir(TicketEnCurso& ticket) = 0;
    /** The ticket is laid out and is about to go to `impresora` (the one selected). */
    virtual void alEnviar(const TicketEnCurso& ticket, const QString& impresora) = 0;
    virtual void alTerminar(const TicketEnCurso& ticket, const ResultadoTicket& resultado) = 0;
};

}  // namespace printing
