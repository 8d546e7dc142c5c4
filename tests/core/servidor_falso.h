#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <functional>
#include <memory>

#include "core/servidor.h"
#include "fakes.h"
#include "printing/tape_device.h"

namespace pruebas {

// A server on fake socket, fetcher and tray, printing on a tape printer "Cocina" (the
// default), with a valid branch code; its log lines are collected in `log`.
class ConServidor : public ::testing::Test {
  protected:
    ConServidor() {
        impresoras.addPrinter("Cocina");
        impresoras.setDefaultPrinterName("Cocina");
        entorno.impresoras = &impresoras;
        crear();
    }

    // A new server in place of the last one, with the settings `ajustar` changes.
    void crear(const std::function<void(core::ConfigEnlace&)>& ajustar = {}) {
        core::ConfigEnlace c;
        c.hostNotificaciones = "127.0.0.1";
        c.hostTrabajos = "jobs.test";
        if (ajustar) ajustar(c);
        servidor.reset();
        servidor = std::make_unique<core::Servidor>(&conexion, &buscador, entorno, c);
        servidor->registro().setSalida(nullptr);
        QObject::connect(&servidor->registro(), &core::Registro::lineaAgregada,
                         [this](const QString& l) { log << l; });
        servidor->setBandeja(&bandeja);
        servidor->codigoSucursalesAgencias = "123456789012345";
    }

    printing::TapePrinterSystem impresoras;
    printing::Entorno entorno;
    ConexionFalsa conexion;
    BuscadorFalso buscador;
    BandejaFalsa bandeja;
    std::unique_ptr<core::Servidor> servidor;
    QStringList log;
};

}  // namespace pruebas
