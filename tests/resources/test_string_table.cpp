#include "resources/string_table.h"
#include "resources/string_table_data.h"

#include <gtest/gtest.h>

TEST(StringTable, UnknownIdentifierGivesEmptyText) {
    EXPECT_TRUE(loadString(1).empty());
    EXPECT_FALSE(hasString(1));
}

TEST(StringTable, SubstitutesNumberedArguments) {
    EXPECT_EQ(substituteArgs("Please enter an integer between %1 and %2.", {"0", "247"}),
              "Please enter an integer between 0 and 247.");
    EXPECT_EQ(substituteArgs("%1 and %3", {"a"}), "a and %3");
}

TEST(StringTable, EntriesAreSortedWithoutDuplicates) {
    ASSERT_GT(kStringTableSize, 0u);
    for (std::size_t i = 1; i < kStringTableSize; ++i)
        EXPECT_LT(kStringTable[i - 1].id, kStringTable[i].id) << "entry " << i;
}
