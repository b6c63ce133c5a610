#include "in_process.h"
#include "messages.h"
#include "settings_cleaner.h"

#include <gmock/gmock.h>

#include <algorithm>

using fake_registry::Op;
using ::testing::ElementsAreArray;

namespace {

const std::string kVendor = "H\\Software\\Velk";

std::vector<std::string> UnderVendor(const std::vector<std::string>& relative)
{
    std::vector<std::string> keys = {"H", "H\\Software", kVendor};
    for (const std::string& key : relative)
        keys.push_back(kVendor + "\\" + key);
    return keys;
}

// Keys in registry order, as fake_registry::Keys() lists them.
std::vector<std::string> Sorted(const std::vector<std::string>& keys)
{
    std::vector<std::string> sorted;
    fake_registry::Reset();
    for (const std::string& key : keys)
        fake_registry::AddKey(key);
    sorted = fake_registry::Keys();
    fake_registry::Reset();
    return sorted;
}

struct RemovalCase {
    const char* name;
    std::vector<std::string> keys;                    // below the vendor key
    std::vector<std::pair<Op, std::string>> refusals; // below the vendor key
    const char* output;
    int result;
    std::vector<std::string> left; // below the vendor key
};

void PrintTo(const RemovalCase& c, std::ostream* os)
{
    *os << c.name;
}

class RemovalTable : public InProcess, public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(RemovalTable, DeletesTheLayoutFromTheLeavesAndNothingElse)
{
    const RemovalCase& c = GetParam();
    std::vector<std::string> expectedLeft = Sorted(UnderVendor(c.left));

    fake_registry::AddKey(kVendor);
    for (const std::string& key : c.keys) {
        fake_registry::AddKey(kVendor + "\\" + key);
        fake_registry::AddValue(kVendor + "\\" + key, "Value");
    }
    for (const auto& refusal : c.refusals)
        fake_registry::Refuse(refusal.first,
                              refusal.second.empty() ? kVendor : kVendor + "\\" + refusal.second);

    EXPECT_EQ(DeleteUserSettings("H"), c.result);
    EXPECT_EQ(fake_console::Output(), Sjis(c.output));
    EXPECT_THAT(fake_registry::Keys(), ElementsAreArray(expectedLeft));
}

const RemovalCase kRemovalCases[] = {
    {"FullLayout",
     {"ZARPH\\Options\\Host0", "ZARPH\\Options\\Host1", "ZARPH\\Options\\History0"},
     {},
     MSG_DELETED,
     1,
     {}},
    {"GapInHostNumbers",
     {"ZARPH\\Options\\Host0", "ZARPH\\Options\\Host1", "ZARPH\\Options\\Host3"},
     {},
     MSG_NOT_DELETED,
     0,
     {"ZARPH", "ZARPH\\Options", "ZARPH\\Options\\Host3"}},
    {"HistoryWithoutHostZero",
     {"ZARPH\\Options\\History0", "ZARPH\\Options\\History1"},
     {},
     MSG_DELETED,
     1,
     {}},
    {"HostRunStopsHistoryRunStillGoes",
     {"ZARPH\\Options\\Host1", "ZARPH\\Options\\History0"},
     {},
     MSG_NOT_DELETED,
     0,
     {"ZARPH", "ZARPH\\Options", "ZARPH\\Options\\Host1"}},
    {"ProductWithoutOptions", {"ZARPH"}, {}, MSG_DELETED, 1, {}},
    {"OtherSubkeyOfProductStays",
     {"ZARPH\\Options\\Host0", "ZARPH\\Window"},
     {},
     MSG_NOT_DELETED,
     0,
     {"ZARPH", "ZARPH\\Window"}},
    {"OtherSubkeyOfOptionsStays",
     {"ZARPH\\Options\\Host0", "ZARPH\\Options\\Window"},
     {},
     MSG_NOT_DELETED,
     0,
     {"ZARPH", "ZARPH\\Options", "ZARPH\\Options\\Window"}},
    {"NumberedEntryWithSubkeysStopsItsRun",
     {"ZARPH\\Options\\Host0\\Deep", "ZARPH\\Options\\Host1", "ZARPH\\Options\\History0"},
     {},
     MSG_NOT_DELETED,
     0,
     {"ZARPH", "ZARPH\\Options", "ZARPH\\Options\\Host0", "ZARPH\\Options\\Host0\\Deep",
      "ZARPH\\Options\\Host1"}},
    {"NamesOutsideTheNumberingStay",
     {"ZARPH\\Options\\Host00", "ZARPH\\Options\\Host-1", "ZARPH\\Options\\Hosts0"},
     {},
     MSG_NOT_DELETED,
     0,
     {"ZARPH", "ZARPH\\Options", "ZARPH\\Options\\Host-1", "ZARPH\\Options\\Host00",
      "ZARPH\\Options\\Hosts0"}},
    {"NamesMatchIgnoringCase",
     {"zarph\\OPTIONS\\host0", "zarph\\OPTIONS\\HISTORY0"},
     {},
     MSG_DELETED,
     1,
     {}},
    {"ProductRefusesWritingButIsEmpty", {"ZARPH"}, {{Op::Create, "ZARPH"}}, MSG_DELETED, 1, {}},
    {"ProductRefusesWritingNothingBelowIsTouched",
     {"ZARPH\\Options\\Host0"},
     {{Op::Create, "ZARPH"}},
     MSG_NOT_DELETED,
     0,
     {"ZARPH", "ZARPH\\Options", "ZARPH\\Options\\Host0"}},
    {"OptionsRefusesWritingButIsEmpty",
     {"ZARPH\\Options"},
     {{Op::Create, "ZARPH\\Options"}},
     MSG_DELETED,
     1,
     {}},
    {"OptionsRefusesWritingNoEntryIsTouched",
     {"ZARPH\\Options\\Host0", "ZARPH\\Options\\History0"},
     {{Op::Create, "ZARPH\\Options"}},
     MSG_NOT_DELETED,
     0,
     {"ZARPH", "ZARPH\\Options", "ZARPH\\Options\\History0", "ZARPH\\Options\\Host0"}},
    {"EntryThatWillNotGoStopsItsRun",
     {"ZARPH\\Options\\Host0", "ZARPH\\Options\\Host1", "ZARPH\\Options\\Host2",
      "ZARPH\\Options\\History0"},
     {{Op::Delete, "ZARPH\\Options\\Host1"}},
     MSG_NOT_DELETED,
     0,
     {"ZARPH", "ZARPH\\Options", "ZARPH\\Options\\Host1", "ZARPH\\Options\\Host2"}},
    {"OptionsThatWillNotGo",
     {"ZARPH\\Options\\Host0"},
     {{Op::Delete, "ZARPH\\Options"}},
     MSG_NOT_DELETED,
     0,
     {"ZARPH", "ZARPH\\Options"}},
    {"ProductThatWillNotGo",
     {"ZARPH\\Options\\Host0"},
     {{Op::Delete, "ZARPH"}},
     MSG_NOT_DELETED,
     0,
     {"ZARPH"}},
    {"VendorRefusedPrintsNothing",
     {"ZARPH\\Options\\Host0"},
     {{Op::Create, ""}},
     "",
     0,
     {"ZARPH", "ZARPH\\Options", "ZARPH\\Options\\Host0"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, RemovalTable, ::testing::ValuesIn(kRemovalCases),
                         [](const ::testing::TestParamInfo<RemovalCase>& info) {
                             return std::string(info.param.name);
                         });

// The exact calls: access masks, and every key's handle closed before its
// parent deletes it.
TEST_F(InProcess, RemovalCallsInOrder)
{
    fake_registry::AddKey(kVendor + "\\ZARPH\\Options\\Host0");
    fake_registry::AddKey(kVendor + "\\ZARPH\\Options\\Host1");
    fake_registry::AddKey(kVendor + "\\ZARPH\\Options\\History0");

    ASSERT_EQ(DeleteUserSettings("H"), 1);

    const std::string vendor = "[H\\Software\\Velk]";
    const std::string product = "[H\\Software\\Velk\\ZARPH]";
    const std::string options = "[H\\Software\\Velk\\ZARPH\\Options]";
    EXPECT_THAT(fake_registry::Calls(),
                ElementsAreArray(std::vector<std::string>{
                    "RegCreateKeyExA(HKEY_USERS, \"H\\Software\\Velk\", 0x4) = 0",
                    "RegCreateKeyExA(" + vendor + ", \"ZARPH\", 0x20006) = 0",
                    "RegCreateKeyExA(" + product + ", \"Options\", 0x20006) = 0",
                    "RegDeleteKeyA(" + options + ", \"Host0\") = 0",
                    "RegDeleteKeyA(" + options + ", \"Host1\") = 0",
                    "RegDeleteKeyA(" + options + ", \"Host2\") = 2",
                    "RegDeleteKeyA(" + options + ", \"History0\") = 0",
                    "RegDeleteKeyA(" + options + ", \"History1\") = 2",
                    "RegCloseKey(" + options + ")",
                    "RegDeleteKeyA(" + product + ", \"Options\") = 0",
                    "RegCloseKey(" + product + ")",
                    "RegDeleteKeyA(" + vendor + ", \"ZARPH\") = 0",
                    "RegCloseKey(" + vendor + ")",
                }));
}

// Opening creates what is missing; the product and options keys made that
// way go again, the vendor key and the keys above it stay.
TEST_F(InProcess, RemovalInHiveWithoutSettingsLeavesOnlyTheVendorPath)
{
    fake_registry::AddKey("H");

    EXPECT_EQ(DeleteUserSettings("H"), 1);
    EXPECT_EQ(fake_console::Output(), Sjis(MSG_DELETED));
    EXPECT_THAT(fake_registry::Keys(), ElementsAreArray(UnderVendor({})));
}

TEST_F(InProcess, RemovalOfLongRuns)
{
    for (int n = 0; n < 300; ++n) {
        fake_registry::AddKey(kVendor + "\\ZARPH\\Options\\Host" + std::to_string(n));
        fake_registry::AddKey(kVendor + "\\ZARPH\\Options\\History" + std::to_string(n));
    }

    EXPECT_EQ(DeleteUserSettings("H"), 1);
    EXPECT_THAT(fake_registry::Keys(), ElementsAreArray(UnderVendor({})));
}

} // namespace
