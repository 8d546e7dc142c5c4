#pragma once

#include <QString>

class QLockFile;

namespace app {

/**
 * The folder of what belongs to one running server (its instance lock, and whatever else
 * lives beside it): XDG_RUNTIME_DIR when it is set, else the application folder itself.
 * Never a shared folder such as /tmp, where another user could plant a lock nobody removes.
 */
QString carpetaEjecucion(const QString& carpetaAplicacion);

/** The instance lock of an application folder, in its running folder. */
QString rutaBloqueo(const QString& carpetaAplicacion);

/**
 * Takes the instance lock. A lock whose owner is not a live server (a dead process, another
 * program, a file that cannot be read) is stale and taken over at once; a live server's lock
 * is never taken. False when another server holds it.
 */
bool tomarBloqueo(QLockFile& bloqueo);

}  // namespace app
