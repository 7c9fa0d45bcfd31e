// The form template, assembled at compile time from readable records.
//
// Layout (little-endian): a 32-bit count of the bytes after it, a 16-bit count of
// the bytes after the next word, the number of control records, then the form
// record and the control records. A record: kind; for edit fields the words 38
// and 5; id, flags, key, column, row, width, height; a 32-bit 0; the caption with
// its NUL; for edit fields an 18-byte trailer that repeats the length limit.
#include "form_template.h"

#include <array>
#include <string_view>

#include "mazovia.h"

namespace pim {
namespace {

enum Kind : uint16_t { kButton = 0, kCheckBox = 2, kLabel = 3, kEdit = 5, kList = 6, kForm = 0xFFFF };
constexpr uint16_t kEditsData = 0x0400;  // the control edits the data block
constexpr uint16_t kF2 = 0x3C00, kF3 = 0x3D00, kF4 = 0x3E00, kF5 = 0x3F00, kF12 = 0x5500;

struct Record {
    uint16_t kind, id, flags, key, column, row, width, height;
    const char *caption;
    uint16_t limit;  // edit fields: the maximum length
};

constexpr std::size_t RecordBytes(const Record &r) {
    std::size_t bytes = 2 + 7 * 2 + 4 + std::string_view(r.caption).size() + 1;
    return r.kind == kEdit ? bytes + 4 + 18 : bytes;
}

constexpr Record kRecords[] = {
    {kForm, kReportFormNumber, 0, 0, 0, 0, 59, 13, "Dane dodatkowe", 0},
    {kLabel, 0x4104, 0, kF2, 3, 2, 28, 1, "\x02" "F2\x01 Wybierz miesiąc:"_mz, 0},
    {kList, kMonthListId, kEditsData, 0, 32, 2, 24, 1,
     " styczeń\n luty\n marzec\n kwiecień\n maj\n czerwiec\n lipiec\n sierpień\n wrzesień\n październik\n"
     " listopad\n grudzień\n"_mz,
     0},
    {kLabel, 0x4105, 0, kF3, 3, 3, 28, 1, "\x02" "F3\x01 Z grup towarow."_mz, 0},
    {kButton, kGoodsGroupButtonId, 0x0180, kF3, 32, 3, 24, 1, " ", 0},
    {kLabel, 0x4106, 0, kF4, 3, 4, 28, 1, "\x02" "F4\x01 Skrót nazwy placówki:"_mz, 0},
    {kEdit, 0x4107, kEditsData, 0, 32, 4, 24, 1, "", 10},
    {kLabel, 0x4108, 0, kF5, 3, 5, 28, 1, "\x02" "F5\x01 Nazwa oddziału hurtowni:"_mz, 0},
    {kEdit, 0x4109, kEditsData, 0, 32, 5, 24, 1, "", 20},
    {kLabel, 0x410A, 0, 0, 3, 7, 28, 1, "Uwzględniane dokumenty:"_mz, 0},
    {kCheckBox, 0x410B, kEditsData, 'F', 32, 7, 24, 1, "~F~aktury", 0},
    {kCheckBox, 0x410C, kEditsData, 'P', 32, 8, 24, 1, "~P~aragony", 0},
    {kButton, static_cast<uint16_t>(kOkButtonId), 0x0104, kF12, 25, 10, 8, 1, "\x05" "F12\x01 OK", 0},
};
constexpr std::size_t kControlCount = std::size(kRecords) - 1;

constexpr std::size_t RecordsBytes() {
    std::size_t total = 0;
    for (const Record &r : kRecords) total += RecordBytes(r);
    return total;
}

static_assert(RecordBytes(kRecords[0]) == 35 && RecordBytes(kRecords[1]) == 42 && RecordBytes(kRecords[2]) == 130 &&
              RecordBytes(kRecords[3]) == 41 && RecordBytes(kRecords[4]) == 22 && RecordBytes(kRecords[5]) == 47 &&
              RecordBytes(kRecords[6]) == 43 && RecordBytes(kRecords[7]) == 50 && RecordBytes(kRecords[8]) == 43 &&
              RecordBytes(kRecords[9]) == 44 && RecordBytes(kRecords[10]) == 30 && RecordBytes(kRecords[11]) == 31 &&
              RecordBytes(kRecords[12]) == 29,
              "record sizes of the host's form layout");
static_assert(kControlCount == 12);
static_assert(RecordsBytes() + 4 == 591 && RecordsBytes() == 587);
static_assert(RecordsBytes() + 8 == kReportFormBytes);

// Not constexpr: reaching it stops the compile-time assembly with an error.
void RecordsDoNotFillTheTemplate() {}

constexpr std::array<uint8_t, kReportFormBytes> Assemble() {
    std::array<uint8_t, kReportFormBytes> out{};
    std::size_t at = 0;
    auto word = [&](uint16_t w) {
        out[at++] = static_cast<uint8_t>(w);
        out[at++] = static_cast<uint8_t>(w >> 8);
    };
    auto dword = [&](uint32_t d) {
        word(static_cast<uint16_t>(d));
        word(static_cast<uint16_t>(d >> 16));
    };
    dword(static_cast<uint32_t>(kReportFormBytes - 4));
    word(static_cast<uint16_t>(kReportFormBytes - 8));
    word(static_cast<uint16_t>(kControlCount));
    for (const Record &r : kRecords) {
        word(r.kind);
        if (r.kind == kEdit) {
            word(38);
            word(5);
        }
        for (uint16_t w : {r.id, r.flags, r.key, r.column, r.row, r.width, r.height}) word(w);
        dword(0);
        for (char c : std::string_view(r.caption)) out[at++] = static_cast<uint8_t>(c);
        out[at++] = 0;
        if (r.kind == kEdit) {
            at += 7;
            for (uint16_t w : {r.limit, uint16_t{8}, uint16_t{0}, r.limit, uint16_t{1}}) word(w);
            out[at++] = 0;
        }
    }
    if (at != out.size()) RecordsDoNotFillTheTemplate();
    return out;
}

}  // namespace

extern constexpr std::array<uint8_t, kReportFormBytes> kReportFormTemplate = Assemble();

}  // namespace pim
