#pragma once

#include <QByteArray>

/** A job document of about `bytes` bytes of UTF-8: settings, kitchen orders, cancellations,
 *  invoices with Spanish accented text. The same seed gives the same document. */
QByteArray makeJobDocument(qsizetype bytes, unsigned seed = 7);
