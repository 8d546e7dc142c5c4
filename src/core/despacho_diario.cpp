#include "core/despacho_diario.h"

#include "printing/despacho.h"
#include "printing/print_device.h"
#include "printing/punto_fallo.h"
#include "printing/ticket_comun.h"

namespace core {

namespace {

// Layouts planned, never shown: nothing of a plan reaches the operator.
class AvisosMudos : public printing::Avisos {
  public:
    void showBalloonTip(const QString&, int, const QString&, int) override {}
    void agregarLog(const QString&) override {}
};

/** Puts a value back when the scope ends, however it ends. */
template <typename T>
class Restaurar {
  public:
    Restaurar(T& lugar, T valor) : lugar_(lugar), antes_(std::move(lugar)) {
        lugar_ = std::move(valor);
    }
    ~Restaurar() { lugar_ = std::move(antes_); }
    Restaurar(const Restaurar&) = delete;
    Restaurar& operator=(const Restaurar&) = delete;

  private:
    T& lugar_;
    T antes_;
};

}  // namespace

DespachoDiario::DespachoDiario(Diario& diario, printing::Entorno& entorno)
    : diario_(diario), entorno_(entorno) {}

TipoTicket DespachoDiario::tipoDiario(printing::TipoTicket tipo) {
    switch (tipo) {
        case printing::TipoTicket::Comanda:
            return TipoTicket::Comanda;
        case printing::TipoTicket::Anulacion:
            return TipoTicket::Anulacion;
        case printing::TipoTicket::Factura:
            return TipoTicket::Factura;
        case printing::TipoTicket::Cajon:
            break;
    }
    return TipoTicket::Cajon;
}

QList<TicketPlan> DespachoDiario::planear(const json::JsonValue& doc) {
    AvisosMudos mudos;
    Restaurar<printing::Avisos*> avisos(entorno_.avisos, &mudos);
    Restaurar<printing::ObservadorTickets*> observador(entorno_.observador, this);
    Restaurar<bool> planeando(planeando_, true);
    plan_.clear();
    lugar_ = 0;
    printing::setComunicacion(doc, entorno_);
    return plan_;
}

DespachoDiario::Resultado DespachoDiario::imprimir(const json::JsonValue& doc,
                                                   const QDateTime& recibido,
                                                   const QList<TicketDiario>& tickets) {
    // Every ticket of a document prints the time it was received, however late it prints.
    Restaurar<std::function<QDateTime()>> reloj(entorno_.reloj, [recibido] { return recibido; });
    Restaurar<printing::ObservadorTickets*> observador(entorno_.observador, this);
    tickets_ = tickets;
    resultado_ = {};
    lugar_ = 0;
    actual_.reset();
    porMarcar_.clear();
    try {
        printing::setComunicacion(doc, entorno_);
    } catch (...) {
        marcarPendientes();
        throw;
    }
    marcarPendientes();
    tickets_.clear();
    return resultado_;
}

// A synchronous commit costs a disk flush: one a ticket, not one a state change. A sent
// ticket whose `impreso` waits here is still `enviado` with its file in the journal, which
// a restart resolves without sending it again.
void DespachoDiario::marcarPendientes() {
    if (porMarcar_.isEmpty()) return;
    diario_.marcar(porMarcar_);
    porMarcar_.clear();
    printing::puntoFallo("marca");
}

bool DespachoDiario::antesDeImprimir(printing::TicketEnCurso& ticket) {
    const QString clave = QString::number(lugar_++);
    if (planeando_) {
        plan_.append({tipoDiario(ticket.tipo), ticket.destino, ticket.titulo, clave});
        return false;
    }
    actual_.reset();
    for (qsizetype i = 0; i < tickets_.size(); ++i) {
        if (tickets_[i].clave != clave) continue;
        actual_ = tickets_.takeAt(i);
        break;
    }
    if (!actual_) return false;
    // A copy goes to the printer it was asked for.
    if (actual_->copiaDe != 0 && !actual_->impresora.isEmpty()) ticket.destino = actual_->impresora;
    return true;
}

void DespachoDiario::alEnviar(const printing::TicketEnCurso& ticket, const QString& impresora) {
    if (!actual_) return;
    const QString destino =
        entorno_.impresoras->nextJob(impresora, ticket.tipo == printing::TipoTicket::Cajon);
    entorno_.impresoras->setJobName(diario_.nombreTrabajo(actual_->id));
    porMarcar_.append({actual_->id, EstadoTicket::Enviado, destino, impresora});
    diario_.marcar(porMarcar_);
    porMarcar_.clear();
    printing::puntoFallo("trabajo");
}

void DespachoDiario::alTerminar(const printing::TicketEnCurso& ticket,
                                const printing::ResultadoTicket& resultado) {
    if (!actual_) return;
    if (resultado.enviado) {
        printing::puntoFallo("envio");
        porMarcar_.append({actual_->id, EstadoTicket::Impreso, {}, resultado.impresora});
        ++resultado_.enviados;
        if (!resultado_.impresorasBien.contains(resultado.impresora))
            resultado_.impresorasBien.append(resultado.impresora);
    } else if (ticket.tipo == printing::TipoTicket::Cajon) {
        // A drawer that opens by itself long after the sale would be a risk, not a help.
        porMarcar_.append({actual_->id, EstadoTicket::Fallido, QStringLiteral(""), {}});
    } else {
        // Printed nowhere: it waits for a retry.
        porMarcar_.append({actual_->id, EstadoTicket::Pendiente, QStringLiteral(""), {}});
        TicketDiario t = *actual_;
        t.envio = resultado.motivo;  // why, for the caller's log
        resultado_.fallidos.append(t);
    }
    actual_.reset();
}

}  // namespace core
