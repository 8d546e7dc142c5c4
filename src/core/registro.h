#pragma once

#include <QObject>
#include <QString>
#include <cstdio>

namespace core {

/**
 * The server's log. Every entry goes to standard error whole; the log box gets the entry
 * cut to its first 64 KiB (with a note of what was left out) and keeps its last 5000 lines,
 * so an unattended server neither slows down nor grows without end.
 */
class Registro : public QObject {
    Q_OBJECT
  public:
    static constexpr int kLineasCaja = 5000;
    static constexpr qsizetype kMaxEntrada = 64 * 1024;

    explicit Registro(QObject* parent = nullptr) : QObject(parent) {}

    /** Where the whole entries go; stderr by default, null for none. */
    void setSalida(FILE* salida) { salida_ = salida; }

    void agregar(const QString& texto);

    /** The entry as the log box shows it: CR LF as line ends, cut to 64 KiB with a note. */
    static QString textoCaja(const QString& texto);

  signals:
    /** One entry for the log box, already cut. */
    void lineaAgregada(const QString& textoCaja);

  private:
    FILE* salida_ = stderr;
};

}  // namespace core
