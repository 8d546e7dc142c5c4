#pragma once

#include <QString>
#include <cstdio>

namespace app {

/**
 * --tickets: the journal's tickets, oldest first, one line each. Opens the journal for
 * reading only, beside a running server. 0 when listed (nothing and 0 without a journal),
 * 2 when the journal cannot be read.
 */
int listarTickets(const QString& carpeta, std::FILE* salida, std::FILE* errores);

}  // namespace app
