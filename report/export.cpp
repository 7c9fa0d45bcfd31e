// The export files. Not built yet: nothing is written, and the user is told so.
#include "host_imports.h"
#include "mazovia.h"
#include "report.h"

namespace pim {
int32_t CRaportSprzPapierosow::ExportFiles() {
    host::VeldarShowMessage("Błąd"_mz, "Eksport nie jest jeszcze dostępny."_mz, 1);
    return 0;
}
char *CRaportSprzPapierosow::MakeExportFileName(char *buffer, const char *, const char *, const char *) {
    buffer[0] = '\0';
    return buffer;
}
char *CollapseSpaces(char *text) { return text; }
}  // namespace pim
