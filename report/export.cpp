// The export files for the goods producer: invoices (VAT), receipts (PAR) and stock
// (TOW), tab-separated, one header line and one line per row, and the final notice.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "host_imports.h"
#include "mazovia.h"
#include "platform.h"
#include "report.h"

namespace pim {
namespace {

enum ExportStatus : int32_t { kWritten = 0, kNotWritten = 1, kNothingToExport = 2 };

const char *StatusText(int32_t status) {
    switch (status) {
        case kWritten: return "export OK";
        case kNotWritten: return "BŁĄD exportu"_mz;
        default: return "Brak pozycji do wyeksportowania";
    }
}

// A control byte inside a text is written as a space: a tab, CR or LF would shift its
// line's columns or split the line, a Ctrl-Z ends the file for a reader in text mode,
// and the host's emphasis bytes are screen mark-up, not data.
char Blank(char c) { return static_cast<unsigned char>(c) < 0x20 ? ' ' : c; }

// A text field as it goes into a file, with Blank applied. Copying at most the
// field's own width also keeps an unterminated field from running on.
template <std::size_t N>
struct FileText {
    char text[N];
    explicit FileText(const char (&field)[N]) {
        std::size_t i = 0;
        for (; i + 1 < N && field[i] != '\0'; ++i) text[i] = Blank(field[i]);
        text[i] = '\0';
    }
};

// Blank applied in place, for the outlet name before it is trimmed and its runs of
// spaces collapsed: "A <tab> B" must come out as "A B".
template <std::size_t N>
void BlankInPlace(char (&field)[N]) {
    for (std::size_t i = 0; i < N && field[i] != '\0'; ++i) field[i] = Blank(field[i]);
}

// Whole units of a quantity in thousandths, truncated toward zero.
int WholeUnits(int32_t thousandths) { return thousandths / 1000; }

// One export file being written; remembers whether any write failed.
class ExportFile {
public:
    explicit ExportFile(HostFile *file) : file_(file) {}

    template <class... Values>
    void Line(const char *format, Values... values) {
        // Once the disk refused, the rest could only be lost too.
        if (ok_ && host::VeldarFilePrintf(file_, format, values...) < 0) ok_ = false;
    }

    // Closes the file; true when everything reached it.
    bool Close() { return host::VeldarFileClose(file_) == 0 && ok_; }

private:
    HostFile *file_;
    bool ok_ = true;
};

// Creates the file, has writeLines fill it and closes it. A file that could not be
// written completely is removed, so that no truncated file reaches the producer; so
// is the file of an empty list, after its creation has replaced any older one. A file
// whose rows are incomplete is not written at all, and like one that cannot be
// created leaves no older file of its name: "BŁĄD exportu" never leaves last
// month's file to pass for this one's.
template <class WriteLines>
int32_t WriteExportFile(const char *name, bool incomplete, bool listEmpty, WriteLines writeLines) {
    HostFile *file = incomplete ? nullptr : host::VeldarFileOpen(name, "wt", 64 /* deny none */, 0, -1);
    if (file == nullptr) {
        std::remove(name);
        return kNotWritten;
    }
    ExportFile out(file);
    writeLines(out);
    const bool written = out.Close();
    if (!written || listEmpty) std::remove(name);
    if (!written) return kNotWritten;
    return listEmpty ? kNothingToExport : kWritten;
}

void ShowFinalNotice(const char *format, ...) {
    va_list values;
    va_start(values, format);
    host::VeldarShowMessageV("Uwaga", format, 1, values);
    va_end(values);
}

// The decimal number at text[at], stopping at the first non-digit (0 when the text
// is shorter). Nine digits at most, which keeps the value in range and the file name
// within its buffer.
int ReadNumber(const char *text, std::size_t at) {
    for (std::size_t i = 0; i < at; ++i)
        if (text[i] == '\0') return 0;
    int value = 0;
    for (int digits = 0; digits < 9 && text[at] >= '0' && text[at] <= '9'; ++digits, ++at)
        value = value * 10 + (text[at] - '0');
    return value;
}

// Characters a Windows file name cannot hold; in the short name they would also
// let it reach out of the program's directory ("..\x", "C:").
bool UnfitForFileName(unsigned char c) { return c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr; }

void ReplaceUnfit(char *name) {
    for (; *name != '\0'; ++name)
        if (UnfitForFileName(static_cast<unsigned char>(*name))) *name = '_';
}

}  // namespace

char *CRaportSprzPapierosow::MakeExportFileName(char *buffer, const char *periodStart, const char *kind,
                                                const char *shortName) {
    char safeName[sizeof options.outletShortName];
    std::size_t i = 0;
    for (; i + 1 < sizeof safeName && shortName[i] != '\0'; ++i) safeName[i] = shortName[i];
    safeName[i] = '\0';
    ReplaceUnfit(safeName);
    platform::FormatText(buffer, kExportFileNameSize, "%04d%02d_%s_%s.%s", ReadNumber(periodStart, 6),
                  ReadNumber(periodStart, 3), kind, safeName, "txt");
    host::VeldarConvertCodePage(buffer, buffer, kCodePageMazovia, kCodePageFileNames);
    // Again after the conversion: a host may render what its file-name set lacks as '?'.
    ReplaceUnfit(buffer);
    return buffer;
}

int32_t CRaportSprzPapierosow::ExportFiles() {
    const FileText branch(options.branchName);

    char invoiceName[kExportFileNameSize];
    MakeExportFileName(invoiceName, periodStart, "VAT", options.outletShortName);
    // Item rows decide which lines are itemised and an outlet's documents mark goods
    // sold, so a lost item or outlet row fails all three files; a lost outlet item
    // or TOTAL row the invoice file alone.
    const bool itemsIncomplete = (lostRows & (kLostItemRow | kLostOutletRow)) != 0;
    const int32_t invoiceStatus = WriteExportFile(invoiceName, lostRows != 0, outletCount == 0, [&](ExportFile &out) {
        out.Line("ODD\tNAZWA\tULICANR\tMIASTO\tKOD\tNIP\tKODT\tOPIST\tILOSC\tJM\n");
        for (int32_t o = 0; o < outletCount; ++o) {
            OutletRow &outlet = outletList[o];
            BlankInPlace(outlet.name);
            host::VeldarTrimText(outlet.name);
            CollapseSpaces(outlet.name);
            const FileText name(outlet.name);
            const FileText street(outlet.street);
            const FileText city(outlet.city);
            const FileText postalCode(outlet.postalCode);
            const FileText taxNumber(outlet.taxNumber);
            for (int32_t k = 0; k < outlet.outletItemCount; ++k) {
                const OutletItemRow &item = outlet.outletItems[k];
                out.Line("%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%d\t%s\n", branch.text, name.text, street.text, city.text,
                         postalCode.text, taxNumber.text, FileText(item.goodsCode).text,
                         FileText(item.goodsName).text, WholeUnits(item.quantity),
                         FileText(item.unit).text);
            }
        }
    });

    // The receipts and the stock file list the same sold goods, each with its own quantity.
    auto exportSoldItems = [&](char *name, const char *kind, int32_t ItemRow::*quantity) {
        MakeExportFileName(name, periodStart, kind, options.outletShortName);
        return WriteExportFile(name, itemsIncomplete, itemCount == 0, [&](ExportFile &out) {
            out.Line("ODD\tKODT_PH\tILOSC\n");
            for (int32_t i = 0; i < itemCount; ++i) {
                const ItemRow &item = itemList[i];
                if (item.sold != 0)
                    out.Line("%s\t%s\t%d\n", branch.text, FileText(item.goodsCode).text,
                             WholeUnits(item.*quantity));
            }
        });
    };
    char receiptsName[kExportFileNameSize], stockName[kExportFileNameSize];
    const int32_t receiptsStatus = exportSoldItems(receiptsName, "PAR", &ItemRow::receiptsQuantity);
    const int32_t stockStatus = exportSoldItems(stockName, "TOW", &ItemRow::stockQuantity);

    ShowFinalNotice("Plik \x02%s\x01 (faktury)  - %s\n"
                    "Plik \x02%s\x01 (paragony) - %s\n"
                    "Plik \x02%s\x01 (magazyn)  - %s\n"
                    "\n"
                    "Wszystkie pliki znajdują się w katalogu głównym programu."_mz,
                    invoiceName, StatusText(invoiceStatus), receiptsName, StatusText(receiptsStatus), stockName,
                    StatusText(stockStatus));
    return 0;
}

char *CollapseSpaces(char *text) {
    const std::size_t length = std::strlen(text);
    std::size_t w = 0;
    for (std::size_t r = 0; r < length; ++r) {
        text[w] = text[r];
        if (!(w > 0 && text[w] == ' ' && text[w - 1] == ' ')) ++w;
    }
    text[w] = '\0';
    return text;
}

}  // namespace pim
