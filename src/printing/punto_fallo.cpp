#include "punto_fallo.h"

#include <unistd.h>

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace printing {

void puntoFallo(const char* paso) {
    static const QByteArray pedido = qgetenv("SERVIDOR_IMPRESORAS_FALLO");
    if (pedido.isEmpty()) return;
    static int vistos = 0;
    const QList<QByteArray> partes = pedido.split(':');
    if (partes.first() != paso) return;
    const int vez = partes.size() > 1 ? partes[1].toInt() : 1;
    if (++vistos >= vez) ::_exit(97);
}

}  // namespace printing
