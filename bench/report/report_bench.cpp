// Benchmarks of the whole report over months of the stand-in host: the report
// object's operations in the order the command runs them, each timed, with the
// host calls they make and the heap they hold, beside one plain pass over every
// record of the month through the same host cursors (the least any report could do).
//
// Beside the report's fetches, the one-read bound: what a report that reads each
// record it needs once must fetch, from the stand-in's counts. The goods records
// and, per kind, the documents and lines read while listing outlets (as the report
// fetched them), then the kind's documents once more and the lines of those it
// counts (a pass after the run: the month's documents of the outlets listed by then
// and, on receipts, of no customer).
//
// usage: report_bench [--only NAME] [--series] [--reps N]
//   --only NAME   run the one case NAME (sample, month20k, a series case s0..s8, or
//                 d0 / l0: s0 with twice the documents / twice the lines per document)
//   --series      run the scaling series only
//   --reps N      at most N runs of a case (default 5); the fastest counts
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frame.h"
#include "host_imports.h"
#include "host_records.h"
#include "month_generator.h"
#include "month_pass.h"
#include "report.h"
#include "row_index.h"
#include "veldar.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

struct Case {
    std::string name;
    std::string path;         // a data-set file, or empty for a generated month
    genmonth::MonthShape shape;  // of a generated month; month, year and selection always
    bool series = false;
};

// What one run of the report over a month cost.
struct Measure {
    double items = 0, outlets = 0, sales = 0, exportFiles = 0, pass = 0;
    uint32_t opened = 0, fetched = 0, bound = 0;
    genmonth::PassCounts month;
    uint64_t hostCalls = 0;
    std::vector<uint32_t> callsByImport;  // in host import order
    int64_t peakBytes = 0, rowBytes = 0, indexPeakBytes = 0;
    int32_t itemCount = 0, outletCount = 0, outletItemCount = 0;
    double Total() const { return items + outlets + sales + exportFiles; }
};

// The report object as the command's run leaves it once the form was confirmed.
void SetUpReport(pim::CRaportSprzPapierosow &report, const genmonth::MonthShape &shape) {
    report.documentTable = host::VeldarGetTable(kTableTspr);
    report.lineTable = host::VeldarGetTable(kTableTsprDok);
    report.documentRecord = report.documentTable->record;
    report.lineRecord = report.lineTable->record;
    report.options.month = static_cast<uint16_t>(shape.month - 1);
    report.options.documentKinds = pim::kKindInvoices | pim::kKindReceipts;
    for (int32_t g = 1; g <= shape.selectedGroups; ++g) report.options.groupSelected[g] = 1;
    std::strcpy(report.options.outletShortName, "BENCH");
    std::strcpy(report.options.branchName, "Oddzial 1");
    static const int lastDay[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (shape.year % 4 == 0 && shape.year % 100 != 0) || shape.year % 400 == 0;
    std::snprintf(report.periodStart, sizeof report.periodStart, "01.%02d.%04d", shape.month, shape.year);
    std::snprintf(report.dateTo, sizeof report.dateTo, "%02d.%02d.%04d",
                  shape.month == 2 && leap ? 29 : lastDay[shape.month - 1], shape.month, shape.year);
    host::VeldarNormalizeDate(report.dateFrom, report.periodStart);
    host::VeldarNormalizeDate(report.dateTo, report.dateTo);
}

std::vector<uint32_t> CallCounts() {
    std::vector<uint32_t> counts;
    for (const pim::HostImportInfo &info : pim::kHostImports) counts.push_back(StandinCallCount(info.ordinal));
    return counts;
}

uint32_t Fetched() {
    StandinCursorStats stats{};
    StandinGetCursorStats(&stats);
    return stats.fetched;
}

Measure RunOnce(const genmonth::MonthShape &shape) {
    Measure m;
    StandinCursorStats before{}, after{};
    StandinGetCursorStats(&before);
    const std::vector<uint32_t> callsBefore = CallCounts();
    StandinResetPeakBytes();
    pim::ResetRowIndexPeakBytes();
    std::string dateFrom, dateTo;
    std::vector<int16_t> customers[2];  // the outlets' by the time each kind's sales are collected
    {
        pim::CRaportSprzPapierosow report;
        SetUpReport(report, shape);
        dateFrom = report.dateFrom;
        dateTo = report.dateTo;
        Clock::time_point t = Clock::now();
        uint32_t fetched = Fetched();
        report.CollectItems();
        m.items = Seconds(t);
        for (int16_t kind : {kDocumentKindInvoice, kDocumentKindReceipt}) {
            t = Clock::now();
            report.CollectOutlets(kind);
            m.outlets += Seconds(t);
            m.bound += Fetched() - fetched;  // goods records; documents and lines read while listing
            for (int32_t o = 0; o < report.outletCount; ++o)
                customers[kind == kDocumentKindReceipt].push_back(report.outletList[o].customerNo);
            t = Clock::now();
            report.CollectSales(kind);
            m.sales += Seconds(t);
            fetched = Fetched();
        }
        t = Clock::now();
        report.ExportFiles();
        m.exportFiles = Seconds(t);

        m.itemCount = report.itemCount;
        m.outletCount = report.outletCount;
        m.rowBytes = static_cast<int64_t>(report.itemCount) * sizeof(pim::ItemRow) +
                     static_cast<int64_t>(report.outletCount) * sizeof(pim::OutletRow);
        for (int32_t o = 0; o < report.outletCount; ++o) {
            m.outletItemCount += report.outletList[o].outletItemCount;
            m.rowBytes += static_cast<int64_t>(report.outletList[o].outletItemCount) * sizeof(pim::OutletItemRow);
        }
    }
    m.peakBytes = StandinPeakBytes();
    m.indexPeakBytes = pim::RowIndexPeakBytes();
    StandinGetCursorStats(&after);
    m.opened = after.opened - before.opened;
    m.fetched = after.fetched - before.fetched;
    m.callsByImport = CallCounts();
    for (std::size_t i = 0; i < m.callsByImport.size(); ++i) {
        m.callsByImport[i] -= callsBefore[i];
        m.hostCalls += m.callsByImport[i];
    }
    for (int16_t kind : {kDocumentKindInvoice, kDocumentKindReceipt}) {
        const genmonth::PassCounts counted =
            genmonth::CountedPass(kind, dateFrom.c_str(), dateTo.c_str(), customers[kind == kDocumentKindReceipt]);
        m.bound += counted.documents + counted.lines;
    }
    Clock::time_point t = Clock::now();
    m.month = genmonth::OnePass();
    m.pass = Seconds(t);
    StandinClearEvents();
    return m;
}

// The directory of this program, where the build puts the bundled month.
std::string ProgramDirectory(const char *argv0) {
    std::string path = argv0;
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

genmonth::MonthShape Generated(uint64_t seed, int32_t documents, int32_t outlets, int32_t lines = 10) {
    return {.seed = seed, .documents = documents, .linesPerDocument = lines, .outlets = outlets, .goods = 10000,
            .warehouses = 10, .groups = 10, .selectedGroups = 3};
}

std::vector<Case> Cases(const std::string &programDirectory) {
    std::vector<Case> cases;
    genmonth::MonthShape sample;  // March 2025; groups 1-3: cigarettes, tobacco, cigars
    sample.selectedGroups = 3;
    cases.push_back({"sample", programDirectory + "sample-month.txt", sample});
    cases.push_back({"month20k", "", Generated(7, 20000, 1000)});
    // Outlets and documents doubled in turn.
    int32_t outlets = 125, documents = 2500;
    for (int i = 0; i <= 8; ++i) {
        std::string name(1, 's');
        name += std::to_string(i);
        cases.push_back({name, "", Generated(100 + i, documents, outlets), true});
        (i % 2 == 0 ? outlets : documents) *= 2;
    }
    // s0 with twice the documents, and with twice the lines per document.
    cases.push_back({"d0", "", Generated(100, 5000, 125), true});
    cases.push_back({"l0", "", Generated(100, 2500, 125, 20), true});
    return cases;
}

void PrintCalls(const std::vector<std::string> &names, const std::vector<Measure> &measures) {
    std::printf("\nHost calls by function:\n\n| function |");
    for (const std::string &n : names) std::printf(" %s |", n.c_str());
    std::printf("\n|---|");
    for (std::size_t c = 0; c < names.size(); ++c) std::printf("---:|");
    std::printf("\n");
    static const char *const kNames[] = {
#define HOST_FN(ord, name, conv, bytes, ret, params, args) #name,
#define HOST_ADDR(ord, name) #name,
#define HOST_LOADTIME(ord, name, conv, bytes, ret, params)
#define HOST_ATTACH(ord, name, conv, bytes, ret, params)
#include "host_functions.inc"
#undef HOST_FN
#undef HOST_ADDR
#undef HOST_LOADTIME
#undef HOST_ATTACH
    };
    for (int i = 0; i < pim::kHostImportCount; ++i) {
        bool any = false;
        for (const Measure &m : measures) any = any || m.callsByImport[static_cast<std::size_t>(i)] != 0;
        if (!any) continue;
        std::printf("| %s |", kNames[i]);
        for (const Measure &m : measures) std::printf(" %u |", m.callsByImport[static_cast<std::size_t>(i)]);
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char **argv) {
#if defined(_WIN32)
    // The program holds the plug-in's code: its attach step finds VELDAR for the binder.
    pim::AttachStep(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, nullptr);
#endif
    std::string only;
    bool seriesOnly = false;
    int reps = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else if (std::strcmp(argv[i], "--series") == 0) {
            seriesOnly = true;
        } else if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) {
            reps = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: report_bench [--only NAME] [--series] [--reps N]\n");
            return 2;
        }
    }

    const std::vector<Case> cases = Cases(ProgramDirectory(argv[0]));
    std::printf("Cases: sample = the bundled month (groups 1-3); the others are generated with\n"
                "10 lines per document, 10,000 goods over 10 warehouses, 10 groups of which 3 chosen:\n");
    for (const Case &c : cases)
        if (c.path.empty())
            std::printf("  %s: %d outlets (customers), %d documents, %d lines per document\n", c.name.c_str(),
                        c.shape.outlets, c.shape.documents, c.shape.linesPerDocument);
    std::printf("\n| case | docs | lines | items | outlet rows | outlet items | items s | outlets s | sales s | "
                "export s | total s | one pass s | total/pass | cursor opens | fetches | one-read bound | fetches/bound | "
                "host calls | peak KiB | index KiB | rows KiB | peak/rows |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
                "---:|---:|\n");
    std::vector<std::string> names;
    std::vector<Measure> measures;
    for (const Case &c : cases) {
        if (!only.empty() && c.name != only) continue;
        if (seriesOnly && !c.series) continue;
        StandinReset();
        StandinSetEcho(0);
        StandinSetCurrentYear(static_cast<int16_t>(c.shape.year));
        const char *error = c.path.empty() ? StandinLoadDatasetText(genmonth::GenerateMonth(c.shape).c_str(), c.name.c_str())
                                           : StandinLoadDataset(c.path.c_str());
        if (error != nullptr) {
            std::fprintf(stderr, "report_bench: %s\n", error);
            return 1;
        }
        // The fastest of a few runs, fewer when a run is long.
        Measure best;
        double spent = 0;
        for (int r = 0; r < reps && (r == 0 || spent < 3.0); ++r) {
            Measure m = RunOnce(c.shape);
            spent += m.Total() + m.pass;
            if (r == 0 || m.Total() < best.Total()) best = m;
        }
        std::printf("| %s | %u | %u | %d | %d | %d | %.4f | %.4f | %.4f | %.4f | %.4f | %.4f | %.0f | %u | %u | %u | "
                    "%.2f | %llu | %.0f | %.0f | %.0f | %.2f |\n",
                    c.name.c_str(), best.month.documents, best.month.lines, best.itemCount, best.outletCount,
                    best.outletItemCount, best.items, best.outlets, best.sales, best.exportFiles, best.Total(),
                    best.pass, best.Total() / best.pass, best.opened, best.fetched, best.bound,
                    static_cast<double>(best.fetched) / best.bound, static_cast<unsigned long long>(best.hostCalls), best.peakBytes / 1024.0, best.indexPeakBytes / 1024.0,
                    best.rowBytes / 1024.0,
                    static_cast<double>(best.peakBytes + best.indexPeakBytes) / static_cast<double>(best.rowBytes));
        std::fflush(stdout);
        names.push_back(c.name);
        measures.push_back(best);
    }
    PrintCalls(names, measures);
    return 0;
}
