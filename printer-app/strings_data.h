// Localised labels of the printer's own attributes, and the document
// formats the application adds to PAPPL's.
#ifndef QUILLET_PRINTER_APP_STRINGS_DATA_H
#define QUILLET_PRINTER_APP_STRINGS_DATA_H

#include <pappl/pappl.h>

namespace quillet_app {

void AddStrings(pappl_system_t *system);
// The languages of those labels, for a printer's driver attributes.
void AddStringsLanguages(ipp_t *printerAttrs);
void AddDocumentFormats(pappl_system_t *system);
// The formats every printer takes, as one document-format-supported.
ipp_attribute_t *AcceptedFormats();
// PDF through Ghostscript in a separate process (pdf.cpp).
void AddPdfFormat(pappl_system_t *system);
// The serial:// device scheme (serial.cpp), for every process.
void AddSerialScheme();

}  // namespace quillet_app

#endif
