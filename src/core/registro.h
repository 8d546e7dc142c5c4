#pragma once

#include <QObject>
#include <QString>
#include <cstdio>

namespace core {

/**
 * The server's log. Standard error and the log box get each entry cut to its first 64 KiB
 * characters (with a note of what was left out); the log box keeps its last 5000 lines, so
 * an unattended server neither slows down nor grows without end, and no widget ever gets an
 * unbounded text.
 */
class Registro : public QObject {
    Q_OBJECT
  public:
    static constexpr int kLineasCaja = 5000;
    static constexpr qsizetype kMaxEntrada = 64 * 1024;

    explicit Registro(QObject* parent = nullptr) : QObject(parent) {}

    /** Where the entries go as text; stderr by default, null for none. */
    void setSalida(FILE* salida) { salida_ = salida; }

    void agregar(const QString& texto);

    /** The first 64 KiB characters of a text, then a note of how many more were left out. */
    static QString extracto(const QString& texto);
    /** The entry as the log box shows it: the excerpt with LF as its only line end. */
    static QString textoCaja(const QString& texto);

  signals:
    /** One entry for the log box, already cut. */
    void lineaAgregada(const QString& textoCaja);

  private:
    FILE* salida_ = stderr;
};

}  // namespace core
