// The one column table both the window and `qvtool list` read: every column
// once and in order, and the text listing's layout as its readers know it.
#include <gtest/gtest.h>

#include "present/MonitorColumns.h"

namespace qv {
namespace {

TEST(MonitorColumns, EveryColumnOnceInOrderAndLineNamesAsTitles) {
    for (int i = 0; i < kMonitorColumns; ++i)
        EXPECT_EQ(MonitorColumns()[i].column, i);
    LineNames names;
    names[0] = "TX";
    names[1] = "RX";
    const MonitorRow head = MonitorHeaderRow(names);
    EXPECT_EQ(head, (MonitorRow{"DATE", "TR", "TX", "RX", "ERR", "CH", "DATA"}));
}

TEST(MonitorColumns, TextListingLayoutPerProtocol) {
    LineNames names;
    names[0] = "SD";
    names[1] = "RD";
    MonitorRow row{"09/12/05 23:59:50 011m407u610n", "1", "2", "", "p", "SD", "41"};
    struct Case {
        Protocol protocol;
        std::string afterTr;
        std::string want;
    } cases[] = {
        {Protocol::kAsync, "",
         "09/12/05 23:59:50 011m407u610n          1          2            p   SD   41"},
        {Protocol::kHdlc, "0.000001    ",
         "09/12/05 23:59:50 011m407u610n          1 0.000001             2            p   SD   41"},
        // LOGIC leaves out the line-data columns but keeps one empty field.
        {Protocol::kLogic, "", "09/12/05 23:59:50 011m407u610n          1  41"},
        {Protocol::kLogic, "-           ",
         "09/12/05 23:59:50 011m407u610n          1 -            41"},
    };
    for (const Case& c : cases) {
        std::string line;
        AppendMonitorTextLine(line, row, c.protocol, c.afterTr);
        EXPECT_EQ(line, c.want) << ProtocolName(c.protocol);
    }
    // A cell longer than its width is shown whole.
    std::string line;
    row[kColTr] = "12345678901";
    AppendMonitorTextLine(line, row, Protocol::kLogic, "");
    EXPECT_EQ(line, "09/12/05 23:59:50 011m407u610n 12345678901  41");
}

}  // namespace
}  // namespace qv
