#include <cstring>

#include "frame.h"
#include "host_imports.h"
#include "host_records.h"
#include "mazovia.h"
#include "platform.h"

namespace pim {
namespace {

struct CheckedTable {
    int32_t tableNumber;
    const char *tableName;
};
constexpr CheckedTable kCheckedTables[3] = {
    {kTableTspr, "Tspr"},
    {kTableTsprDok, "Tspr_dok"},
    {kTableK9, "k9"},
};

TableSizeRecord tableSizeRecords[3] = {
    {static_cast<int32_t>(sizeof(TsprRecord)), 0, nullptr, nullptr},
    {static_cast<int32_t>(sizeof(TsprDokRecord)), 0, nullptr, nullptr},
    {static_cast<int32_t>(sizeof(GoodsRecord)), 0, nullptr, nullptr},
};
uint32_t filledMarks = 0;
TableSizeRecord *tableSizeList = nullptr;

// Appends printf-style text at *end without passing limit; returns false when it
// did not fit (the text is then cut, still terminated).
bool Append(char *buffer, std::size_t limit, std::size_t &end, const char *format, ...) PIM_PRINTF_FORMAT(4, 5);
bool Append(char *buffer, std::size_t limit, std::size_t &end, const char *format, ...) {
    if (end >= limit) return false;
    va_list values;
    va_start(values, format);
    const int written = platform::FormatTextV(buffer + end, limit - end, format, values);
    va_end(values);
    if (written < 0) {
        end = limit - 1;
        return false;
    }
    end += static_cast<std::size_t>(written);
    return true;
}

}  // namespace

void AddTableSizeRecord(TableSizeRecord *record) {
    if (record->pluginSize == record->hostSize) return;
    if (tableSizeList == nullptr) {
        tableSizeList = record;
        return;
    }
    TableSizeRecord *last = tableSizeList;
    for (TableSizeRecord *r = tableSizeList; r != nullptr; r = r->next) {
        if (r == record) return;
        last = r;
    }
    last->next = record;
}

int32_t CountTableSizeRecords() {
    int32_t count = 0;
    for (const TableSizeRecord *r = tableSizeList; r != nullptr; r = r->next) ++count;
    return count;
}

int32_t RegisterTableSizes() {
    for (int i = 0; i < 3; ++i) {
        HostTable *table = host::VeldarGetTable(kCheckedTables[i].tableNumber);
        TableSizeRecord &record = tableSizeRecords[i];
        if ((filledMarks & (1u << i)) == 0) {
            filledMarks |= 1u << i;
            record.hostSize = table != nullptr ? static_cast<int32_t>(table->recordSize) : 0;
            record.tableName = kCheckedTables[i].tableName;
            record.next = nullptr;
        }
        AddTableSizeRecord(&record);
    }
    return CountTableSizeRecords();
}

void ShowRefusalReport() {
    char displayName[kDisplayNameBuffer];
    CopyDisplayName(displayName);

    if (tableSizeList == nullptr) {
        host::VeldarShowMessageF(
            "STOP!!!",
            "Moduł \"%s\" i program występują w różnych wersjach!\n\nZostał zakualizowany tylko program albo "
            "tylko moduł,\na nie oba jednocześnie! Aby naprawić tę sytuację\nzainstaluj aktualizację programu "
            "wraz z modułem \"%s\".\n\nMODUŁ NIE ZOSTANIE ZAŁADOWANY!!!\n"_mz,
            0xC001, displayName, displayName);
        return;
    }

    // Header with the display name, at most three rows, footer with a file name of
    // at most 299 characters: 3,072 bytes hold the largest report.
    char text[3072];
    std::size_t end = 0;
    Append(text, sizeof text, end,
           "Rozmiary rekordów niektórych tabel nie zgadzają się\nmiędzy programem a wtyczką \"%s\":\n\n"
           "\x01tl18l33\x01TABELA\tWE WTYCZCE\tW PROGRAMIE\n"_mz,
           displayName);
    for (const TableSizeRecord *r = tableSizeList; r != nullptr; r = r->next) {
        if (r->hostSize == 0)
            Append(text, sizeof text, end, "\x01tp25p40\x01%s\t%d\tbrak\n", r->tableName, r->pluginSize);
        else
            Append(text, sizeof text, end, "\x01tp25p40\x01%s\t%d\t%d\n", r->tableName, r->pluginSize, r->hostSize);
    }
    const char *fileName = std::strrchr(pluginPath, '\\');
    fileName = fileName != nullptr ? fileName + 1 : pluginPath;
    Append(text, sizeof text, end, "\nModuł wtyczki \x02%s\x01\nNIE zostanie załadowany!"_mz, fileName);
    host::VeldarShowMessage("STOP!", text, 0xC001);
}

}  // namespace pim
