#pragma once

#include <QString>
#include <exception>

#include "entorno.h"
#include "json/value.h"

namespace printing {

/**
 * A job document that cannot be dispatched: a top-level member is missing or of the
 * wrong kind, or a layout failed in a way it does not handle itself. What was done
 * before (settings replaced, tickets printed) stays done.
 */
class DocumentoNoProcesado : public std::exception {
  public:
    explicit DocumentoNoProcesado(QString motivo);
    const QString& motivo() const noexcept { return motivo_; }
    const char* what() const noexcept override { return what_.constData(); }

  private:
    QString motivo_;
    QByteArray what_;
};

/**
 * Dispatches one parsed job document: keeps its `config` list as the settings, then,
 * when `idsLeidos` is not empty, prints the kitchen orders, the cancellations, each
 * invoice in order, and finally opens the drawer when `abrirCajon` is true.
 * Raises DocumentoNoProcesado; the layouts report their own printer problems, and count
 * in Entorno::ticketsSinImprimir the tickets that printed nowhere.
 */
void setComunicacion(const json::JsonValue& doc, Entorno& e);

}  // namespace printing
