// The report command and the report object's life: construction with the object's
// own virtual table, the run, the form event handler and destruction.
#include <cstring>

#include "collect.h"
#include "form_template.h"
#include "frame.h"
#include "host_imports.h"
#include "host_records.h"
#include "mazovia.h"
#include "platform.h"
#include "report.h"

namespace pim {
namespace {

constexpr uint16_t kReportRunning = 0x8000;  // host state bit held while the report runs
constexpr int16_t kFormEventRefresh = -2;    // the form asks to bring the group button up to date
constexpr int16_t kFormEventQuiet = 2;
constexpr int32_t kRedrawResult = -2;
constexpr uint32_t kFormFlagRedraw = 0x8000;
constexpr int32_t kTableModeReport = 255;

// ---- the virtual table, in the layout of the host's compiler ----

void *HOST_CONV_THISCALL DeletingDestructor(CRaportSprzPapierosow *self, uint32_t flags) {
    self->~CRaportSprzPapierosow();
    if ((flags & 1) != 0) host::VeldarDelete(self);
    return self;
}

int32_t HOST_CONV_THISCALL FormEventEntry(CRaportSprzPapierosow *self, int16_t code, int16_t kind) {
    return self->OnFormEvent(code, kind);
}

// The inherited operations, in slot order 2..31.
constexpr int kInheritedSlots[30] = {
    kImport_WDialogBaseVirtual20958, kImport_WDialogBaseVirtual20959, kImport_WDialogBaseVirtual20960,
    kImport_WDialogBaseVirtual20961, kImport_WDialogBaseVirtual20962, kImport_WDialogBaseVirtual20963,
    kImport_WDialogBaseVirtual20964, kImport_WDialogBaseVirtual20965, kImport_WDialogBaseVirtual20966,
    kImport_WDialogBaseVirtual20957, kImport_WDialogBaseVirtual20948, kImport_WDialogBaseVirtual20949,
    kImport_WDialogBaseVirtual20950, kImport_WDialogBaseVirtual20951, kImport_WDialogBaseVirtual20952,
    kImport_WDialogBaseVirtual20953, kImport_WDialogBaseVirtual20954, kImport_WDialogBaseVirtual20955,
    kImport_WDialogBaseVirtual20956, kImport_WDialogBaseVirtual20947, kImport_WDialogBaseVirtual20938,
    kImport_WDialogBaseVirtual20939, kImport_WDialogBaseVirtual20940, kImport_WDialogBaseVirtual20941,
    kImport_WDialogBaseVirtual20942, kImport_WDialogBaseVirtual20943, kImport_WDialogBaseVirtual20944,
    kImport_WDialogBaseVirtual20945, kImport_WDialogBaseVirtual20946, kImport_WDialogBaseVirtual20937,
};

// Filled on each construction (always with the same addresses): the inherited slots
// hold the public addresses of host import entries, known only at run time natively.
void *reportVtable[32];

void *const *ReportVtable() {
    reportVtable[0] = reinterpret_cast<void *>(&DeletingDestructor);
    reportVtable[1] = reinterpret_cast<void *>(&FormEventEntry);
    for (int i = 0; i < 30; ++i) reportVtable[2 + i] = HostImportAddress(kInheritedSlots[i]);
    return reportVtable;
}

// A host callback binder in storage of ours (on the stack: 8-aligned as HostBlock in
// collect.cpp is); the host fills it.
struct CallbackBinder {
    alignas(8) uint8_t storage[kCallbackBinderBytes] = {};

    CallbackBinder(CRaportSprzPapierosow *dialog, int memberImport) {
        host::VeldarCallbackBinderConstruct(storage, dialog, HostImportAddress(memberImport));
    }
    ~CallbackBinder() { host::VeldarCallbackBinderDestruct(storage); }
    CallbackBinder(const CallbackBinder &) = delete;
    CallbackBinder &operator=(const CallbackBinder &) = delete;

    // The binder's second virtual operation: the plain entry that calls the member.
    HOST_CALLS_THROUGH_TABLES void *Entry() {
        using EntryFn = void *(HOST_CONV_THISCALL *)(void *self);
        void *const *vtable = *reinterpret_cast<void *const *const *>(storage);
        return reinterpret_cast<EntryFn>(vtable[1])(storage);
    }
};

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int LastDayOfMonth(int monthIndex, int year) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return monthIndex == 1 && IsLeapYear(year) ? 29 : days[monthIndex];
}

bool IsMonthIndex(int32_t m) { return m >= 0 && m <= 11; }

}  // namespace

// Every member starts cleared, the table handles and record pointers included, so
// that nothing reads an indeterminate pointer whatever the run does.
CRaportSprzPapierosow::CRaportSprzPapierosow()
    : vtable(nullptr), outletList(nullptr), itemList(nullptr), itemCount(0), itemCapacity(0), outletCount(0),
      outletCapacity(0), goodsTable(nullptr), documentTable(nullptr), lineTable(nullptr), goodsRecord(nullptr),
      documentRecord(nullptr), lineRecord(nullptr), options(), dateFrom(), dateTo(), periodStart() {
    host::WDialogBaseConstruct(this);
    vtable = ReportVtable();
}

CRaportSprzPapierosow::~CRaportSprzPapierosow() {
    ReleaseLists(*this);
    host::WDialogBaseDestruct(this);
}

int32_t CRaportSprzPapierosow::Run() {
    documentTable = host::VeldarGetTable(44);
    lineTable = host::VeldarGetTable(45);
    if (documentTable == nullptr || lineTable == nullptr) {
        host::VeldarShowMessage("Błąd"_mz, "Błąd operacji dyskowej-CRaportSprzPapierosow!\nOperacja niekompletna!"_mz, 1);
        return 1;
    }
    host::VeldarSetTableMode(documentTable, kTableModeReport);
    host::VeldarSetTableMode(lineTable, kTableModeReport);
    LoadOptions();

    int16_t code;
    {
        CallbackBinder binderA(this, kImport_WDialogBaseMember20907);
        CallbackBinder binderB(this, kImport_WDialogBaseMember20936);
        void *entryA = binderA.Entry();
        void *entryB = binderB.Entry();
        code = host::VeldarRunForm(kReportFormTemplate.data(), kReportFormNumber, &options, entryB, entryA);
    }  // B is destroyed before A
    if (code != kFormConfirmed) return 1;

    SaveOptions();
    if (options.documentKinds == 0) {
        host::VeldarShowMessage("Błąd"_mz, "Nie zaznaczono żadnego typu dokumentu!"_mz, 1);
        return 1;
    }
    CollectItems();
    documentRecord = documentTable->record;
    lineRecord = lineTable->record;
    if ((options.documentKinds & kKindInvoices) != 0) {
        CollectOutlets(kDocumentKindInvoice);
        CollectSales(kDocumentKindInvoice);
    }
    if ((options.documentKinds & kKindReceipts) != 0) {
        CollectOutlets(kDocumentKindReceipt);
        CollectSales(kDocumentKindReceipt);
    }
    ExportFiles();
    return 0;
}

int32_t CRaportSprzPapierosow::OnFormEvent(int16_t code, int16_t kind) {
    if (kind == kFormEventQuiet) return 0;
    if (code == kGoodsGroupButtonId || kind == kFormEventRefresh) {
        host::VeldarPickGoodsGroups(options.groupSelected, kGoodsGroupButtonId, code == kGoodsGroupButtonId ? 1 : 0);
        host::VeldarSetFormFlags(0, kFormFlagRedraw, 1);
        return kRedrawResult;
    }
    if (kind != kFormEventCommand) return 0;
    if (code == kOkButtonId) {
        // The list never offers more than twelve months; should the host report
        // another index, the month bound to the list stands, else January.
        int32_t m = host::VeldarGetControlValue(kMonthListId);
        if (!IsMonthIndex(m)) m = IsMonthIndex(options.month) ? options.month : 0;
        platform::FormatText(periodStart, sizeof periodStart, "01.%02d.%04d", static_cast<int>(m + 1),
                      static_cast<int>(*host::VeldarCurrentYear()));
        int year = *host::VeldarCurrentYear();
        platform::FormatText(dateTo, sizeof dateTo, "%02d.%02d.%04d", LastDayOfMonth(m, year), static_cast<int>(m + 1), year);
    }
    host::VeldarNormalizeDate(dateFrom, periodStart);
    host::VeldarNormalizeDate(dateTo, dateTo);
    return 0;
}

}  // namespace pim

extern "C" int32_t HOST_CONV_STDCALL OnReportCommand(void) {
    const bool wasSet = (host::VeldarGetStateFlags() & pim::kReportRunning) != 0;
    if (!wasSet) host::VeldarSetStateFlag(pim::kReportRunning, 1);
    {
        pim::CRaportSprzPapierosow report;
        report.Run();
        if (!wasSet) host::VeldarSetStateFlag(pim::kReportRunning, 0);
    }
    return 0;
}
