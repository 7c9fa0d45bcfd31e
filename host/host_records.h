// The host table records that the plug-in reads, in the host's fixed layouts.
// Only the fields the report reads are named; the rest is the host's.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// Tspr, table 44: a sales document header.
struct TsprRecord {
    uint8_t hostPrivate0[53];
    char buyerName[101];
    char buyerAddress[51];
    char buyerTaxNumber[14];
    uint8_t hostPrivate1[2];
    char documentDate[11];  // starts the date in the host's stored form (its length is the host's); empty: none
    uint8_t hostPrivate2[734];
    int16_t customerNo;  // 0: no customer
    uint8_t hostPrivate3[8];
    int32_t documentId;  // selects the document's lines
};

// Tspr_dok, table 45: a sales document line.
struct TsprDokRecord {
    uint8_t hostPrivate0[2];
    char goodsName[121];
    char goodsCode[17];
    int32_t quantity;  // thousandths of a unit
    char unit[6];
    uint8_t hostPrivate1[138];
    int16_t goodsGroup;
    uint8_t hostPrivate2[2];
    int16_t warehouseNo;
    int16_t goodsNo;
    uint8_t hostPrivate3[2];
};

// k9, table 49: goods of one warehouse (table kind 4).
struct GoodsRecord {
    uint8_t hostPrivate0[2];
    char goodsName[121];
    char goodsCode[17];
    uint8_t hostPrivate1[35];
    int32_t stockQuantity;  // thousandths of a unit; unaligned in the host's layout
    uint8_t hostPrivate2[345];
    int16_t goodsGroup;
    uint8_t hostPrivate3[496];
    int16_t goodsNo;
};

#pragma pack(pop)

static_assert(sizeof(TsprRecord) == 980);
static_assert(offsetof(TsprRecord, buyerName) == 53 && offsetof(TsprRecord, buyerAddress) == 154 &&
              offsetof(TsprRecord, buyerTaxNumber) == 205 && offsetof(TsprRecord, documentDate) == 221 &&
              offsetof(TsprRecord, customerNo) == 966 && offsetof(TsprRecord, documentId) == 976);
static_assert(sizeof(TsprDokRecord) == 298);
static_assert(offsetof(TsprDokRecord, goodsName) == 2 && offsetof(TsprDokRecord, goodsCode) == 123 &&
              offsetof(TsprDokRecord, quantity) == 140 && offsetof(TsprDokRecord, unit) == 144 &&
              offsetof(TsprDokRecord, goodsGroup) == 288 && offsetof(TsprDokRecord, warehouseNo) == 292 &&
              offsetof(TsprDokRecord, goodsNo) == 294);
static_assert(sizeof(GoodsRecord) == 1024);
static_assert(offsetof(GoodsRecord, goodsName) == 2 && offsetof(GoodsRecord, goodsCode) == 123 &&
              offsetof(GoodsRecord, stockQuantity) == 175 && offsetof(GoodsRecord, goodsGroup) == 524 &&
              offsetof(GoodsRecord, goodsNo) == 1022);

// Host table numbers and table kinds the plug-in uses.
constexpr int32_t kTableTspr = 44;
constexpr int32_t kTableTsprDok = 45;
constexpr int32_t kTableK9 = 49;
constexpr int32_t kTableKindGoods = 4;
constexpr int16_t kDocumentKindInvoice = 811;
constexpr int16_t kDocumentKindReceipt = 24;
