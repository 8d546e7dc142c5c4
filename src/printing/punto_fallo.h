#pragma once

namespace printing {

/**
 * For the crash tests only: when SERVIDOR_IMPRESORAS_FALLO names this step ("PASO", or
 * "PASO:N" for its N-th time), the process ends at once with _exit(97), as a kill would
 * end it. Steps: "diario" after the document's journal commit, "trabajo" after a ticket's
 * job is named and marked `enviado`, "creado" after CUPS created that job and before its
 * document is sent, "envio" after a ticket's document is sent, "marca" after its state is
 * marked.
 */
void puntoFallo(const char* paso);

}  // namespace printing
