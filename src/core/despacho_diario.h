#pragma once

#include <QDateTime>
#include <QList>
#include <QStringList>

#include "core/diario.h"
#include "json/value.h"
#include "printing/entorno.h"
#include "printing/observador_tickets.h"

namespace core {

/**
 * Dispatches job documents through the journal. A document is first planned (its tickets
 * listed, nothing printed or reported), the plan stored, and then exactly the journal's
 * tickets of it print, each marked as it moves: `enviado` with the file it becomes just
 * before it is sent, `impreso` once sent, back to `pendiente` when it printed nowhere.
 * A ticket's place in the plan finds it again in the document's text, so a ticket resumed
 * after a restart, retried or reprinted prints exactly as it would have.
 */
class DespachoDiario : public printing::ObservadorTickets {
  public:
    DespachoDiario(Diario& diario, printing::Entorno& entorno);

    /** The tickets `doc` would print, in print order. Raises what setComunicacion raises. */
    QList<TicketPlan> planear(const json::JsonValue& doc);

    struct Resultado {
        int enviados = 0;
        QList<TicketDiario> fallidos;  // printed nowhere
        QStringList impresorasBien;    // printers that took a ticket
    };
    /**
     * Prints the listed tickets of `doc` (at most one per place in the plan), the others
     * skipped, with the clock at `recibido`. Raises what setComunicacion raises.
     */
    Resultado imprimir(const json::JsonValue& doc, const QDateTime& recibido,
                       const QList<TicketDiario>& tickets);

    bool antesDeImprimir(printing::TicketEnCurso& ticket) override;
    void alEnviar(const printing::TicketEnCurso& ticket, const QString& impresora) override;
    void alTerminar(const printing::TicketEnCurso& ticket,
                    const printing::ResultadoTicket& resultado) override;

    static TipoTicket tipoDiario(printing::TipoTicket tipo);

  private:
    void marcarPendientes();

    Diario& diario_;
    printing::Entorno& entorno_;
    bool planeando_ = false;
    int lugar_ = 0;
    QList<TicketPlan> plan_;
    QList<TicketDiario> tickets_;
    std::optional<TicketDiario> actual_;
    // Outcomes not committed yet: they ride on the next ticket's commit or the last one.
    QList<CambioEstado> porMarcar_;
    Resultado resultado_;
};

}  // namespace core
