// Localised labels of the printer's own attributes, and the document
// formats the application adds to PAPPL's.
#ifndef QUILLET_PRINTER_APP_STRINGS_DATA_H
#define QUILLET_PRINTER_APP_STRINGS_DATA_H

#include <pappl/pappl.h>

namespace quillet_app {

// Loaded before PAPPL's own strings (languages.cpp), so the program's win.
void AddStrings(pappl_system_t *system);
int NumLanguages();
const char *LanguageName(int i);
// The language of ours nearest to a language tag, or nullptr.
const char *PickLanguage(const char *tag);
// The best of an Accept-Language header's languages; English if none.
const char *PickAcceptLanguage(const char *header);
// The languages of those labels, for a printer's driver attributes.
void AddStringsLanguages(ipp_t *printerAttrs);
void AddDocumentFormats(pappl_system_t *system);
// The formats every printer takes, as one document-format-supported.
ipp_attribute_t *AcceptedFormats();
// PDF through Ghostscript in a separate process (pdf.cpp).
void AddPdfFormat(pappl_system_t *system);
// The printer's icons and test page (pictures.cpp).
void AddPictures(pappl_pr_driver_data_t *data, bool label);
void AddSystemIcons(pappl_system_t *system);
// The serial:// device scheme (serial.cpp), for every process.
void AddSerialScheme();

}  // namespace quillet_app

#endif
