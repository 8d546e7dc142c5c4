#include "lista_tickets.h"

#include "core/diario.h"

namespace app {

namespace {

void escribir(std::FILE* f, const QString& linea) {
    const QByteArray b = linea.toUtf8() + '\n';
    std::fwrite(b.constData(), 1, static_cast<size_t>(b.size()), f);
}

}  // namespace

int listarTickets(const QString& carpeta, std::FILE* salida, std::FILE* errores) {
    core::Diario diario(carpeta);
    if (!diario.abrirLectura()) {
        if (diario.error().isEmpty()) return 0;
        escribir(errores, diario.error());
        return 2;
    }
    const auto tickets = diario.todos();
    if (!diario.error().isEmpty()) {
        escribir(errores, diario.error());
        return 2;
    }
    for (const auto& t : tickets) escribir(salida, core::Diario::lineaListado(t));
    std::fflush(salida);
    return 0;
}

}  // namespace app
