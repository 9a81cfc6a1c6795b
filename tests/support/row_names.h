#pragma once

#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace vantrel_test {

// A row of a parameterised table prints as its name, so that a failing row names itself and
// ctest lists rows by name, not by their bytes. A test file brings it next to its rows with
// `using vantrel_test::PrintTo;`, where argument-dependent lookup finds it. Types without a
// name are left to their own printers.
template <typename Row>
concept NamedRow = requires(std::ostream& os, const Row& row) {
    os << row.name;
};

template <NamedRow Row> void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

// The name generator of INSTANTIATE_TEST_SUITE_P for such rows: rowName<Row>.
template <NamedRow Row> std::string rowName(const ::testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

} // namespace vantrel_test
