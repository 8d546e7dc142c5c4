#pragma once

#include <optional>

#include "printing/ajustes_impresoras.h"

namespace printing {

/** The number `ESC t n` selects a code page with on receipt printers. */
int escposCodePageNumber(PaginaCodigos page);

/** The code page's name as servidor.ini writes it: "cp858". */
const char* codePageName(PaginaCodigos page);

/**
 * The byte that prints a character in a code page: ASCII printables as they are, the upper
 * half from the page's own table. Nothing for a character the page lacks and for control
 * characters, which would otherwise reach the printer as commands.
 */
std::optional<char> encodeCharacter(PaginaCodigos page, char32_t c);

}  // namespace printing
