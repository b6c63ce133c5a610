#include "in_process.h"
#include "messages.h"
#include "settings_cleaner.h"

#include <gmock/gmock.h>

using fake_registry::Op;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

const char* const kFullLayout[] = {"\\Software\\Velk\\ZARPH\\Options\\Host0",
                                   "\\Software\\Velk\\ZARPH\\Options\\History0"};

void AddSettings(const std::string& hive)
{
    for (const char* key : kFullLayout)
        fake_registry::AddKey(hive + key);
}

std::string Product(const std::string& hive)
{
    return hive + "\\Software\\Velk\\ZARPH";
}

// --- The answer -----------------------------------------------------------

struct Answer {
    const char* name;
    std::string input;
    bool proceeds;
};

void PrintTo(const Answer& c, std::ostream* os)
{
    *os << c.name;
}

class Answers : public InProcess, public ::testing::WithParamInterface<Answer> {};

// Only the first character decides; a decline touches nothing in the
// registry and still waits for one more line.
TEST_P(Answers, OnlyAFirstYProceeds)
{
    const Answer& a = GetParam();
    AddSettings("U");
    fake_console::Reset(a.input + "closing\nunread\n");

    int status = RunSettingsCleaner();

    if (a.proceeds) {
        EXPECT_EQ(status, 0);
        EXPECT_EQ(fake_console::Output(), Sjis(MSG_PROMPT) + FoundLine("U") + Sjis(MSG_DELETED) +
                                              DeletedCountLine(1) + Sjis(MSG_PRESS_ENTER));
        EXPECT_THAT(fake_registry::Keys(),
                    ElementsAreArray({"U", "U\\Software", "U\\Software\\Velk"}));
    } else {
        EXPECT_EQ(status, 1);
        EXPECT_EQ(fake_console::Output(), Sjis(MSG_PROMPT MSG_CANCELLED MSG_PRESS_ENTER));
        EXPECT_THAT(fake_registry::Calls(), IsEmpty());
    }
    EXPECT_EQ(fake_console::UnreadInput(), "unread\n");
}

const Answer kAnswers[] = {
    {"LowerY", "y\n", true},
    {"UpperY", "Y\n", true},
    {"Yes", "yes\n", true},
    {"YFollowedByAnything", "Y, whatever follows\n", true},
    {"YWithCrLf", "y\r\n", true},
    {"LowerN", "n\n", false},
    {"UpperN", "N\n", false},
    {"EmptyLine", "\n", false},
    {"LeadingBlank", " y\n", false},
    {"LeadingTab", "\ty\n", false},
    {"LeadingNul", std::string("\0y\n", 3), false},
    {"FullWidthY", u8"\uff59\n", false},
    {"Other", "ok\n", false},
};

INSTANTIATE_TEST_SUITE_P(Cases, Answers, ::testing::ValuesIn(kAnswers),
                         [](const ::testing::TestParamInfo<Answer>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(InProcess, EndOfInputBeforeAnyAnswerDeclines)
{
    AddSettings("U");
    fake_console::Reset("");

    EXPECT_EQ(RunSettingsCleaner(), 1);
    EXPECT_EQ(fake_console::Output(), Sjis(MSG_PROMPT MSG_CANCELLED MSG_PRESS_ENTER));
    EXPECT_THAT(fake_registry::Calls(), IsEmpty());
}

TEST_F(InProcess, AnswerWithoutLineEndBeforeEndOfInputStillCounts)
{
    AddSettings("U");
    fake_console::Reset("y");

    EXPECT_EQ(RunSettingsCleaner(), 0);
    EXPECT_EQ(fake_console::Output(), Sjis(MSG_PROMPT) + FoundLine("U") + Sjis(MSG_DELETED) +
                                          DeletedCountLine(1) + Sjis(MSG_PRESS_ENTER));
}

// The first read takes 1023 characters; the closing read takes the rest of
// that line and the run ends without another Enter.
TEST_F(InProcess, LongAnswerLineIsReadInTwoPieces)
{
    for (char first : {'y', 'n'}) {
        SetUp();
        AddSettings("U");
        fake_console::Reset(first + std::string(1499, 'x') + "\nunread\n");

        EXPECT_EQ(RunSettingsCleaner(), first == 'y' ? 0 : 1);
        EXPECT_EQ(fake_console::UnreadInput(), "unread\n") << first;
    }
}

// --- The sweep ------------------------------------------------------------

struct Sweep {
    const char* name;
    std::vector<std::string> hivesWithSettings;
    std::vector<std::string> otherKeys;
    std::vector<std::pair<Op, std::string>> refusals;
    std::vector<std::string> expected; // Shift_JIS lines after the prompt
};

void PrintTo(const Sweep& c, std::ostream* os)
{
    *os << c.name;
}

class Sweeps : public InProcess, public ::testing::WithParamInterface<Sweep> {};

TEST_P(Sweeps, ReportsEachHiveAndTheTotals)
{
    const Sweep& s = GetParam();
    for (const std::string& hive : s.hivesWithSettings)
        AddSettings(hive);
    for (const std::string& key : s.otherKeys)
        fake_registry::AddKey(key);
    for (const auto& refusal : s.refusals)
        fake_registry::Refuse(refusal.first, refusal.second);
    fake_console::Reset("y\n\n");

    EXPECT_EQ(RunSettingsCleaner(), 0);

    std::string expected = Sjis(MSG_PROMPT);
    for (const std::string& line : s.expected)
        expected += line;
    expected += Sjis(MSG_PRESS_ENTER);
    EXPECT_EQ(fake_console::Output(), expected);
    EXPECT_EQ(fake_console::UnreadInput(), "");
}

const std::string kDeleted = Sjis(MSG_DELETED);
const std::string kNotDeleted = Sjis(MSG_NOT_DELETED);
const std::string kNoneFound = Sjis(MSG_NONE_FOUND);

const Sweep kSweeps[] = {
    {"NoHives", {}, {}, {}, {kNoneFound}},
    {"NoHiveHoldsTheProduct",
     {},
     {"A", "B\\Software\\Velk", "C\\Software\\Velk\\Other"},
     {},
     {kNoneFound}},
    {"TwoHivesBothDeleted",
     {"A", "B"},
     {"C\\Software"},
     {},
     {FoundLine("A"), kDeleted, FoundLine("B"), kDeleted, DeletedCountLine(2)}},
    {"TwoHivesOneFails",
     {"A", "B"},
     {"B\\Software\\Velk\\ZARPH\\Options\\Host5"},
     {},
     {FoundLine("A"), kDeleted, FoundLine("B"), kNotDeleted, DeletedCountLine(1),
      NotDeletedCountLine(1)}},
    {"OneHiveFails",
     {"A"},
     {"A\\Software\\Velk\\ZARPH\\Keep"},
     {},
     {FoundLine("A"), kNotDeleted, DeletedCountLine(0), NotDeletedCountLine(1)}},
    {"UnreadableProductIsPassedOverSilently",
     {"A", "B"},
     {},
     {{Op::Open, Product("A")}},
     {FoundLine("B"), kDeleted, DeletedCountLine(1)}},
    {"VendorRefusedAfterProductFound",
     {"A"},
     {},
     {{Op::Create, "A\\Software\\Velk"}},
     {FoundLine("A"), DeletedCountLine(0), NotDeletedCountLine(1)}},
    {"HivesInRegistryOrder",
     {"b", "A", "C"},
     {},
     {},
     {FoundLine("A"), kDeleted, FoundLine("b"), kDeleted, FoundLine("C"), kDeleted,
      DeletedCountLine(3)}},
    {"HiveNameIsDataNotAFormat",
     {"%s%n%d%%"},
     {},
     {},
     {FoundLine("%s%n%d%%"), kDeleted, DeletedCountLine(1)}},
    {"HiveNameOf1023Characters",
     {std::string(1023, 'L')},
     {},
     {},
     {FoundLine(std::string(1023, 'L')), kDeleted, DeletedCountLine(1)}},
    // A name that does not fit the buffer ends the enumeration like any
    // other failure.
    {"HiveNameOf1024CharactersEndsTheSweep", {std::string(1024, 'A'), "B"}, {}, {}, {kNoneFound}},
};

INSTANTIATE_TEST_SUITE_P(Cases, Sweeps, ::testing::ValuesIn(kSweeps),
                         [](const ::testing::TestParamInfo<Sweep>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(InProcess, EnumerationFailureEndsTheSweep)
{
    for (DWORD failAt : {0u, 1u}) {
        SetUp();
        AddSettings("A");
        AddSettings("B");
        fake_registry::FailEnumerationFrom(failAt);
        fake_console::Reset("y\n\n");

        EXPECT_EQ(RunSettingsCleaner(), 0);
        std::string swept =
            failAt == 0 ? Sjis(MSG_NONE_FOUND) : FoundLine("A") + kDeleted + DeletedCountLine(1);
        EXPECT_EQ(fake_console::Output(), Sjis(MSG_PROMPT) + swept + Sjis(MSG_PRESS_ENTER));
        TearDown();
    }
}

// The exact calls of a sweep: a fresh name length each time, the probe
// opened for reading and closed before the removal starts.
TEST_F(InProcess, SweepCallsInOrder)
{
    fake_registry::AddKey("A\\Software\\Velk\\ZARPH");
    fake_registry::AddKey("B");
    fake_console::Reset("y\n\n");

    ASSERT_EQ(RunSettingsCleaner(), 0);

    EXPECT_THAT(fake_registry::Calls(),
                ElementsAreArray(std::vector<std::string>{
                    "RegEnumKeyExA(HKEY_USERS, 0, 1024) = 0 \"A\"",
                    "RegOpenKeyExA(HKEY_USERS, \"A\\Software\\Velk\\ZARPH\", 0x20019) = 0",
                    "RegCloseKey([A\\Software\\Velk\\ZARPH])",
                    "RegCreateKeyExA(HKEY_USERS, \"A\\Software\\Velk\", 0x4) = 0",
                    "RegCreateKeyExA([A\\Software\\Velk], \"ZARPH\", 0x20006) = 0",
                    "RegCreateKeyExA([A\\Software\\Velk\\ZARPH], \"Options\", 0x20006) = 0",
                    "RegDeleteKeyA([A\\Software\\Velk\\ZARPH\\Options], \"Host0\") = 2",
                    "RegDeleteKeyA([A\\Software\\Velk\\ZARPH\\Options], \"History0\") = 2",
                    "RegCloseKey([A\\Software\\Velk\\ZARPH\\Options])",
                    "RegDeleteKeyA([A\\Software\\Velk\\ZARPH], \"Options\") = 0",
                    "RegCloseKey([A\\Software\\Velk\\ZARPH])",
                    "RegDeleteKeyA([A\\Software\\Velk], \"ZARPH\") = 0",
                    "RegCloseKey([A\\Software\\Velk])",
                    "RegEnumKeyExA(HKEY_USERS, 1, 1024) = 0 \"B\"",
                    "RegOpenKeyExA(HKEY_USERS, \"B\\Software\\Velk\\ZARPH\", 0x20019) = 2",
                    "RegEnumKeyExA(HKEY_USERS, 2, 1024) = 259",
                }));
}

} // namespace
