// The report command and the report object's life. Not built yet: choosing the
// command says so instead of pretending to report.
#include "frame.h"
#include "host_imports.h"
#include "mazovia.h"
#include "report.h"

namespace pim {
CRaportSprzPapierosow::CRaportSprzPapierosow() {}
CRaportSprzPapierosow::~CRaportSprzPapierosow() {}
int32_t CRaportSprzPapierosow::Run() {
    host::VeldarShowMessage("Błąd"_mz, "Raport nie jest jeszcze dostępny."_mz, 1);
    return 1;
}
int32_t CRaportSprzPapierosow::OnFormEvent(int16_t, int16_t) { return 0; }
}  // namespace pim

extern "C" int32_t HOST_CONV_STDCALL OnReportCommand(void) {
    pim::CRaportSprzPapierosow report;
    report.Run();
    return 0;
}
