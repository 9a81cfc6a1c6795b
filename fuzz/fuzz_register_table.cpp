// Feeds arbitrary register data from a unit into the Register Table, as one read or two of
// different lengths, and formats every cell, every order and both CSV files.

#include "windows/register_table_dlg.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    CReadFeed feed;
    CRegisterTableDlg table(feed);
    const std::size_t split = data[0] % (size - 1) + 1;
    for (const auto& [begin, end] : {std::pair{std::size_t{1}, split}, std::pair{split, size}}) {
        ReadOutcome outcome;
        outcome.passed = true;
        outcome.read.function = 1 + data[1] % 4;
        outcome.read.wireStart = data[0] * 257;
        outcome.read.data.assign(data + begin, data + end);
        table.onResult(outcome, 0);
        if (table.rowCount() > 0)
            table.setPin(table.rowCount() - 1, RowPin{WideType::Float64, WordOrder::DCBA});
        for (std::size_t row = 0; row <= table.rowCount(); ++row) {
            for (int column = 0; column < CRegisterTableDlg::kColumnCount; ++column)
                static_cast<void>(table.cellText(row, column));
            for (const WideType type : kWideTypes)
                for (const WordOrder order : kWordOrders)
                    static_cast<void>(table.wideText(row, type, order));
        }
        // Every row gives a line per type: a table never loses a row in its file.
        const std::string csv = table.tableCsv();
        if (csv.empty())
            std::abort();
        static_cast<void>(table.seriesLine());
    }
    return 0;
}
