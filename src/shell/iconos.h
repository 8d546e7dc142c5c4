#pragma once

#include <QIcon>

#include "core/bandeja.h"

namespace shell {

/** The tray picture of a link state, drawn to read at 16 px as well as large. */
QIcon iconoEstado(core::IconoBandeja estado);
/** The program's own icon. */
QIcon iconoAplicacion();

}  // namespace shell
