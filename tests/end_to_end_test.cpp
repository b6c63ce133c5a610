#include "end_to_end.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

std::vector<std::string> HivesOf(const EndToEndCase& c)
{
    std::set<std::string> hives;
    for (const std::string& key : c.keys)
        hives.insert(key.substr(0, key.find('\\')));
    return std::vector<std::string>(hives.begin(), hives.end());
}

std::vector<std::string> Sorted(std::vector<std::string> keys)
{
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

class EndToEnd : public ::testing::TestWithParam<EndToEndCase> {};

TEST_P(EndToEnd, OutputStatusAndKeysLeft)
{
    const EndToEndCase& c = GetParam();
    std::vector<std::string> hives = HivesOf(c);
    ClearHives(hives);
    SeedKeys(c.keys, c.values);
    for (const Refusal& refusal : c.refusals)
        Refuse(refusal);

    ProgramRun run = RunProgram(c.input);

    EXPECT_EQ(run.output, SjisConsole(c.output));
    EXPECT_EQ(run.exitStatus, c.exitStatus);
    EXPECT_THAT(Sorted(KeysOfHives(hives)), ::testing::ElementsAreArray(Sorted(c.left)));
    // A key that stays keeps its values.
    std::vector<std::string> values;
    for (const std::string& key : c.values)
        if (std::find(c.left.begin(), c.left.end(), key) != c.left.end())
            for (const std::string& value : SeededValues(key))
                values.push_back(value);
    EXPECT_THAT(Sorted(ValuesOfHives(hives)), ::testing::ElementsAreArray(Sorted(values)));
    ClearHives(hives);
}

// Refusals need key security; the directory store has none.
std::vector<EndToEndCase> CasesForThisRegistry()
{
    std::vector<EndToEndCase> cases;
    for (const EndToEndCase& c : EndToEndCases())
        if (c.refusals.empty() || RegistryEnforcesSecurity())
            cases.push_back(c);
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, ::testing::ValuesIn(CasesForThisRegistry()),
                         [](const ::testing::TestParamInfo<EndToEndCase>& info) {
                             return std::string(info.param.name);
                         });

class Hostile : public ::testing::TestWithParam<HostileInput> {};

TEST_P(Hostile, NothingGoesWithoutAFirstYAndTheRunEnds)
{
    const HostileInput& h = GetParam();
    std::vector<std::string> hives = {E2E_HIVE_A};
    ClearHives(hives);
    SeedKeys(E2ESettings(E2E_HIVE_A), {});

    ProgramRun run = RunProgram(h.input);

    if (h.proceeds) {
        EXPECT_EQ(run.output,
                  SjisConsole(
                      MSG_PROMPT E2E_FOUND(E2E_HIVE_A)
                          MSG_DELETED u8"1個のZARPHのデータを削除しました。\n" MSG_PRESS_ENTER));
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_THAT(Sorted(KeysOfHives(hives)),
                    ::testing::ElementsAreArray(Sorted(E2EVendorOnly(E2E_HIVE_A))));
    } else {
        EXPECT_EQ(run.output, SjisConsole(MSG_PROMPT MSG_CANCELLED MSG_PRESS_ENTER));
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_THAT(Sorted(KeysOfHives(hives)),
                    ::testing::ElementsAreArray(Sorted(E2ESettings(E2E_HIVE_A))));
    }
    ClearHives(hives);
}

INSTANTIATE_TEST_SUITE_P(Inputs, Hostile, ::testing::ValuesIn(HostileInputs()),
                         [](const ::testing::TestParamInfo<HostileInput>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
