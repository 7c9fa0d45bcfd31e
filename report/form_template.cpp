// The form template, assembled at compile time from readable records (the layout is
// in form_template.h).
#include "form_template.h"

#include <array>

#include "mazovia.h"

namespace pim {
namespace {

using namespace form;
constexpr uint16_t kF2 = 0x3C00, kF3 = 0x3D00, kF4 = 0x3E00, kF5 = 0x3F00, kF12 = 0x5500;

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
constexpr std::size_t kRecordCount = std::size(kRecords);

static_assert(RecordBytes(kRecords[0]) == 35 && RecordBytes(kRecords[1]) == 42 && RecordBytes(kRecords[2]) == 130 &&
              RecordBytes(kRecords[3]) == 41 && RecordBytes(kRecords[4]) == 22 && RecordBytes(kRecords[5]) == 47 &&
              RecordBytes(kRecords[6]) == 43 && RecordBytes(kRecords[7]) == 50 && RecordBytes(kRecords[8]) == 43 &&
              RecordBytes(kRecords[9]) == 44 && RecordBytes(kRecords[10]) == 30 && RecordBytes(kRecords[11]) == 31 &&
              RecordBytes(kRecords[12]) == 29,
              "record sizes of the host's form layout");
static_assert(kRecordCount - 1 == 12);
static_assert(TemplateBytes(kRecords, kRecordCount) == kReportFormBytes);

constexpr std::array<uint8_t, kReportFormBytes> Assemble() {
    std::array<uint8_t, kReportFormBytes> out{};
    Encode(kRecords, kRecordCount, out.data());
    return out;
}

}  // namespace

extern constexpr std::array<uint8_t, kReportFormBytes> kReportFormTemplate = Assemble();

}  // namespace pim
