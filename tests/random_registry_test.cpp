// Random registries on a registry of the platform, with the program
// in-process: the directory store natively, Wine's registry in the Windows
// build (where refusals are deny entries in the keys' security).
#include "end_to_end.h"
#include "random_cases.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <map>
#else
#include "registry_store.h"
#endif

namespace {

void Prepare(const RandomCase& c)
{
    ClearHives(c.hives);
    SeedKeys(std::vector<std::string>(c.keys.begin(), c.keys.end()), c.valueKeys);
#ifdef _WIN32
    // The probe reads, the removal opens the vendor key to create subkeys
    // and the others to write.
    std::map<std::string, unsigned long> denied;
    for (const std::string& key : c.refuseRead)
        denied[key] |= KEY_QUERY_VALUE;
    for (const std::string& key : c.refuseOpen) {
        bool vendor = key.size() >= 5 && key.compare(key.size() - 5, 5, "\\Velk") == 0;
        denied[key] |= vendor ? KEY_CREATE_SUB_KEY : KEY_SET_VALUE;
    }
    for (const auto& entry : denied)
        DenyAccess(entry.first, entry.second);
#else
    // The store was made anew: let the program open it afresh.
    RegistryStoreSetRoot(REGISTRY_ROOT);
#endif
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

#ifdef _WIN32
// Hives an interrupted earlier run may have left in this wineserver.
void ClearLeftovers()
{
    std::vector<std::string> hives;
    for (const std::string& hive : SubkeyNames(HKEY_USERS))
        if (hive.rfind("S-1-5-21-7-", 0) == 0 || hive.rfind("%s%d-", 0) == 0)
            hives.push_back(hive);
    ClearHives(hives);
}
#endif

TEST(RandomRegistries, PlatformRegistryAgreesWithTheModel)
{
#ifdef _WIN32
    ClearLeftovers();
#endif
    // Neither registry refuses a delete or fails an enumeration on demand:
    // those are left to the in-memory registry. The store has no security.
    const RandomBackend backend = {RegistryEnforcesSecurity() ? "Wine registry" : "directory store",
                                   RegistryEnforcesSecurity(),
                                   false,
                                   false,
                                   Prepare,
                                   KeysLeft,
                                   Problems,
                                   Cleanup};
    EXPECT_EQ(RunRandomCases(backend, 300), "");
}

} // namespace
