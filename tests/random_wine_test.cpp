// Random registries on a real registry: the program runs in-process on
// Wine's advapi32; refusals are deny entries in the keys' security.
#include "end_to_end.h"
#include "random_cases.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>

namespace {

void Prepare(const RandomCase& c)
{
    ClearHives(c.hives);
    SeedKeys(std::vector<std::string>(c.keys.begin(), c.keys.end()), c.valueKeys);
    std::map<std::string, unsigned long> denied;
    // The probe reads, the removal opens the vendor key to create subkeys
    // and the others to write.
    for (const std::string& key : c.refuseRead)
        denied[key] |= KEY_QUERY_VALUE;
    for (const std::string& key : c.refuseOpen) {
        bool vendor = key.size() >= 5 && key.compare(key.size() - 5, 5, "\\Velk") == 0;
        denied[key] |= vendor ? KEY_CREATE_SUB_KEY : KEY_SET_VALUE;
    }
    for (const auto& entry : denied)
        DenyAccess(entry.first, entry.second);
}

std::vector<std::string> KeysLeft(const RandomCase& c)
{
    return KeysOfHives(c.hives);
}

std::string Problems()
{
    return "";
}

void Cleanup(const RandomCase& c)
{
    ClearHives(c.hives);
}

// Wine checks no right on deletion, and its enumeration does not fail on
// demand: those refusals are left to the in-memory registry.
const RandomBackend kWine = {"Wine registry", true, false, false, Prepare, KeysLeft, Problems,
                             Cleanup};

// Hives an interrupted earlier run may have left in this wineserver.
void ClearLeftovers()
{
    std::vector<std::string> hives;
    char name[1024];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(HKEY_USERS, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        std::string hive = name;
        if (hive.rfind("S-1-5-21-7-", 0) == 0 || hive.rfind("%s%d-", 0) == 0)
            hives.push_back(hive);
    }
    ClearHives(hives);
}

TEST(RandomRegistries, WineRegistryAgreesWithTheModel)
{
    ClearLeftovers();
    EXPECT_EQ(RunRandomCases(kWine, 300), "");
}

} // namespace
