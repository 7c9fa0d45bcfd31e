// The report command. The report itself is not built yet: choosing the command
// says so instead of pretending to report.
#include "frame.h"
#include "host_imports.h"
#include "mazovia.h"

extern "C" int32_t HOST_CONV_STDCALL OnReportCommand(void) {
    host::VeldarShowMessage("Błąd"_mz, "Raport nie jest jeszcze dostępny."_mz, 1);
    return 0;
}
