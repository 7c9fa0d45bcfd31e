// The report object CRaportSprzPapierosow: the one function of the plug-in.
//
// It derives from the host's dialog class WDialogBase, of which it sees only the
// virtual table pointer at offset 0. Its own virtual table (deleting destructor,
// form event handler, then the inherited host entries) is laid out by hand in the
// host compiler's layout, so the class itself has no C++ virtual functions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host_api.h"

namespace pim {

constexpr int kGoodsGroups = 451;

// The user's choices: the form's data block and the options file's content.
struct ReportOptions {
    uint16_t month;  // 0 = January .. 11 = December
    char outletShortName[11];
    char branchName[21];
    uint16_t documentKinds;  // bit 0: invoices (811); bit 1: receipts (24)
    int16_t groupSelected[kGoodsGroups];
};
static_assert(sizeof(ReportOptions) == 938, "the options file holds 938 bytes");
static_assert(offsetof(ReportOptions, outletShortName) == 2 && offsetof(ReportOptions, branchName) == 13 &&
              offsetof(ReportOptions, documentKinds) == 34 && offsetof(ReportOptions, groupSelected) == 36);

constexpr uint16_t kKindInvoices = 1;
constexpr uint16_t kKindReceipts = 2;

struct OutletItemRow {
    char goodsCode[17];
    char goodsName[121];
    // The report's own mark of a TOTAL row (1), in what was padding: the row's text
    // and key (goods 0 of warehouse 0) may be a goods item's too. The host never
    // reads outlet item rows.
    uint8_t totalRow;
    int32_t quantity;  // thousandths of a unit
    char unit[6];
    int16_t goodsNo;
    int16_t warehouseNo;
};
static_assert(sizeof(OutletItemRow) == 156 && offsetof(OutletItemRow, totalRow) == 138 &&
              offsetof(OutletItemRow, quantity) == 140 && offsetof(OutletItemRow, unit) == 144 &&
              offsetof(OutletItemRow, goodsNo) == 150 && offsetof(OutletItemRow, warehouseNo) == 152,
              "the outlet item row keeps the layout it had before its TOTAL mark");

struct OutletRow {
    int16_t customerNo;
    char name[101];
    char street[51];
    char city[51];
    char postalCode[51];
    char taxNumber[14];
    int32_t outletItemCount;
    int32_t outletItemCapacity;
    OutletItemRow *outletItems;
};

struct ItemRow {
    int16_t sold;
    int16_t goodsNo;
    int16_t warehouseNo;
    char goodsCode[17];
    char goodsName[121];
    int32_t stockQuantity;     // thousandths of a unit
    int32_t receiptsQuantity;  // thousandths of a unit
};

// Room for an export file name, whatever the period text and short name hold.
constexpr std::size_t kExportFileNameSize = 64;

// The plug-in's own look-up indexes over the lists (collect.cpp).
struct CollectIndexes;

// Lists grow by this many rows at a time.
constexpr int32_t kListGrowth = 50;

// The lists that lost a row because the host had no memory for it.
enum LostRows : uint8_t { kLostItemRow = 1, kLostOutletRow = 2, kLostOutletItemRow = 4 };

class CRaportSprzPapierosow {
public:
    CRaportSprzPapierosow();
    ~CRaportSprzPapierosow();
    CRaportSprzPapierosow(const CRaportSprzPapierosow &) = delete;
    CRaportSprzPapierosow &operator=(const CRaportSprzPapierosow &) = delete;

    // The run of one use of the command: 0 after the export ran, 1 when it stopped early.
    int32_t Run();
    // The form event handler (second virtual operation): 0 or -2.
    int32_t OnFormEvent(int16_t code, int16_t kind);

    // Options file.
    int32_t LoadOptions();
    int32_t SaveOptions();

    // Collection.
    int32_t CollectItems();
    int32_t CollectOutlets(int16_t documentKind);
    int32_t CollectSales(int16_t documentKind);
    int32_t AddItem(const uint8_t *goodsRecord);
    int32_t AddOutlet(const uint8_t *documentRecord);
    int32_t AddOutletItem(const uint8_t *lineRecord, int32_t outletPosition, int32_t total);
    int32_t IsDateInRange(const char *date, const char *first, const char *last);

    // Address split: street, postal code and city of one address text.
    void SplitAddress(const char *address, char *street, char *postalCode, char *city);

    // Export.
    int32_t ExportFiles();
    // The buffer holds kExportFileNameSize bytes.
    char *MakeExportFileName(char *buffer, const char *periodStart, const char *kind, const char *shortName);

    // --- the object's layout, as the host sees it ---
    void *const *vtable;  // the WDialogBase part
    OutletRow *outletList;
    ItemRow *itemList;
    int32_t itemCount;
    int32_t itemCapacity;
    int32_t outletCount;
    int32_t outletCapacity;
    HostTable *goodsTable;
    HostTable *documentTable;
    HostTable *lineTable;
    uint8_t *goodsRecord;
    uint8_t *documentRecord;
    uint8_t *lineRecord;
    ReportOptions options;
    char dateFrom[256];
    char dateTo[256];
    char periodStart[256];

    // --- the plug-in's own, after the layout the host sees ---
    // Indexes over the lists, in the plug-in's memory; null until the first look-up
    // and after the lists are released.
    CollectIndexes *indexes = nullptr;
    // LostRows bits: the collection goes on without a row the host had no memory for,
    // and the export fails every file that row would have changed.
    uint8_t lostRows = 0;
};

// Collapses every run of spaces into one space, in place; returns the text.
char *CollapseSpaces(char *text);

}  // namespace pim
