// The report's collection operations called directly, in a test program linked with
// the plug-in's code, over a month that the stand-in host loads from a data set.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "report.h"
#include "veldar.h"

namespace testing_support {

// The year every hand-made month of the tests lies in.
constexpr int kTestYear = 2025;

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Checks what every collection must leave behind: no cursor open, none misused,
    // the host's current warehouse at 100 once items were collected, and (after the
    // report object is gone) no heap block and no open file.
    void TearDown() override;

    // Loads a month from data-set text; fails the test on a load error.
    void LoadMonth(const std::string &dataset);
    // A new report object set up as the command's run sets it up once the form was
    // confirmed: tables 44 and 45 with their record buffers, the month's first and
    // last day, the selected goods groups and the document kinds (bit set).
    pim::CRaportSprzPapierosow &NewReport(int month, std::initializer_list<int> groups, uint16_t kinds);
    // The collection in the run's order: items, then per chosen kind outlets and sales.
    void Collect();
    // Destroys the report object (releasing its lists).
    void DestroyReport() { report_.reset(); }

    pim::CRaportSprzPapierosow &report() { return *report_; }

    // The lists as readable UTF-8 lines, for comparisons:
    // items "warehouse/goods code sold stock receipts"; outlets "customer name|street|
    // postal code|city|tax"; outlet items "code name quantity unit warehouse/goods".
    std::vector<std::string> Items() const;
    std::vector<std::string> Outlets() const;
    std::vector<std::string> OutletItems(int32_t outlet) const;
    // The outlet position of a customer, or -1.
    int32_t OutletOf(int16_t customerNo) const;

    // What of a run stays comparable when rows go missing. A lost row changes what
    // follows it: an outlet lost on invoices comes back later from a receipt, a lost
    // outlet item row comes back after the next line of its goods, a lost item is
    // never marked sold. So: items by identity, in order; outlet rows whole; outlet
    // item rows by key, TOTAL rows with their quantity.
    struct SeenLists {
        std::vector<std::string> items;
        std::set<std::string> outlets;
        std::size_t outletRows = 0;
        std::map<int16_t, std::set<std::string>> outletItems;  // by customer
    };
    SeenLists Seen() const;
    // Expects now to be what a run saw whole, with rows only missing.
    static void ExpectOnlyRowsLost(const SeenLists &now, const SeenLists &whole);
    // Expects every list in shape: its count within its capacity, grown by 50 rows.
    void ExpectListsInShape() const;

    std::unique_ptr<pim::CRaportSprzPapierosow> report_;
    bool collectedItems_ = false;
};

// A data set's lines joined with line feeds.
std::string Month(std::initializer_list<const char *> lines);

}  // namespace testing_support
