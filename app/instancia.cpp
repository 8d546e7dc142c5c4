#include "instancia.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace app {

QString carpetaEjecucion(const QString& carpetaAplicacion) {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir().mkpath(runtime)) return runtime;
    return carpetaAplicacion;
}

// One server per application folder: the lock's name carries a hash of the folder's path,
// so servers with folders of their own (tests, a demo) run beside the branch's.
QString rutaBloqueo(const QString& carpetaAplicacion) {
    const QString canonica = QFileInfo(carpetaAplicacion).canonicalFilePath();
    const QByteArray hash = QCryptographicHash::hash(
                                canonica.isEmpty() ? carpetaAplicacion.toUtf8() : canonica.toUtf8(),
                                QCryptographicHash::Sha1)
                                .toHex()
                                .left(16);
    return QDir(carpetaEjecucion(carpetaAplicacion))
        .filePath(QStringLiteral("servidor-impresoras-") + QString::fromLatin1(hash) +
                  QStringLiteral(".lock"));
}

bool tomarBloqueo(QLockFile& bloqueo) {
    // A readable lock of a dead process, or of a live process that is not this program, is
    // stale and QLockFile takes it over; a lock whose owner cannot be read names nobody, so
    // it is stale at once, however fresh it is.
    bloqueo.setStaleLockTime(0);
    if (bloqueo.tryLock(0)) return true;
    if (bloqueo.error() != QLockFile::LockFailedError) return false;
    qint64 pid = 0;
    QString host;
    QString programa;
    if (bloqueo.getLockInfo(&pid, &host, &programa)) return false;
    // Removing only succeeds when no live process holds the file locked.
    bloqueo.removeStaleLockFile();
    return bloqueo.tryLock(0);
}

}  // namespace app
