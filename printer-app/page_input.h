// What the driver gets from PAPPL (page_input.cpp): gray for a
// black-and-white printer, sRGB raster that clients still send, images
// turned to fit the page.
#ifndef QUILLET_PRINTER_APP_PAGE_INPUT_H
#define QUILLET_PRINTER_APP_PAGE_INPUT_H

#include <cstddef>

#include <pappl/pappl.h>

namespace quillet_app {

// Replaces `count` sRGB pixels by their gray, one byte each, from the start
// of the same buffer: the luminance, kept where the page road prints a
// tone for colours; grays keep their value.
void RgbToGray(unsigned char *pixels, size_t count);

// True for a page header whose 8-bit "pixels" are the bytes of 24-bit RGB
// pixels (three a pixel): how sRGB raster from a client passes PAPPL's
// colour check; the page is cupsWidth / 3 pixels wide.
bool IsRgbAsBytes(const cups_page_header2_t &header);

// Printers stored with a default colour mode the driver no longer offers
// get monochrome.
void MendColorDefaults(pappl_system_t *system);

}  // namespace quillet_app

#endif
