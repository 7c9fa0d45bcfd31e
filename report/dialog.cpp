// The report command and the report object's life. Not built yet: choosing the
// command says so instead of pretending to report.
#include "collect.h"
#include "frame.h"
#include "host_imports.h"
#include "mazovia.h"
#include "report.h"

namespace pim {
CRaportSprzPapierosow::CRaportSprzPapierosow()
    : vtable(nullptr), outletList(nullptr), itemList(nullptr), itemCount(0), itemCapacity(0), outletCount(0),
      outletCapacity(0), goodsTable(nullptr), documentTable(nullptr), lineTable(nullptr), goodsRecord(nullptr),
      documentRecord(nullptr), lineRecord(nullptr), options(), dateFrom(), dateTo(), periodStart() {}
CRaportSprzPapierosow::~CRaportSprzPapierosow() { ReleaseLists(*this); }
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
