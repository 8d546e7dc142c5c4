#pragma once

#include <QPointer>
#include <QWidget>

#include "core/dialogos.h"
#include "json/script.h"

namespace shell {

/** Turns a filter "desc|patterns|desc|patterns" (patterns split by ',' or ';') into Qt's form. */
QString filtroQt(const QString& filtro);

/** The real modal dialogs, parented to the main window; events keep running meanwhile. */
class DialogosReales : public core::Dialogos, public json::ScriptDialogs {
  public:
    explicit DialogosReales(QWidget* ventana = nullptr) : ventana_(ventana) {}
    void setVentana(QWidget* ventana) { ventana_ = ventana; }

    QString inputBox(const QString& prompt, const QString& titulo) override;
    void msgBox(const QString& texto, core::IconoMensaje icono) override;
    QString abrirArchivo(const QString& filtro) override;

    void information(const QString& text, const QString& title) override;
    void warning(const QString& text, const QString& title) override;
    QString input(const QString& prompt, const QString& title, const QString& defaultText) override;

  private:
    QPointer<QWidget> ventana_;
};

}  // namespace shell
