#pragma once

#include <QString>

namespace core {

/** Message box icons. */
enum class IconoMensaje { Informacion, Exclamacion, Critico };

/**
 * The modal dialogs the server needs. The window provides the real ones; tests script them.
 * Events keep running while a real dialog is open.
 */
class Dialogos {
  public:
    virtual ~Dialogos() = default;
    /** An input box; Cancel gives "". */
    virtual QString inputBox(const QString& prompt, const QString& titulo) = 0;
    /** A message box with the application's title. */
    virtual void msgBox(const QString& texto, IconoMensaje icono) = 0;
    /** The open-file dialog with a filter "desc|patterns|desc|patterns"; "" when cancelled. */
    virtual QString abrirArchivo(const QString& filtro) = 0;
};

}  // namespace core
