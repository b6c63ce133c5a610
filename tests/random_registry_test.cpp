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
    // A key refused both ways gets one DACL denying both.
    std::vector<Refusal> refusals;
    auto hiveOf = [](const std::string& key) { return key.substr(0, key.find('\\')); };
    // Names compare ignoring case, as the registry compares them.
    auto endsWith = [](const std::string& key, const char* tail) {
        std::string end = tail;
        return key.size() >= end.size() &&
               _strnicmp(key.c_str() + key.size() - end.size(), end.c_str(), end.size()) == 0;
    };
    for (const std::string& key : c.refuseRead)
        refusals.push_back({Deny::ReadProduct, hiveOf(key)});
    for (const std::string& key : c.refuseOpen)
        refusals.push_back({endsWith(key, "\\Velk")      ? Deny::CreateSubKeyVendor
                            : endsWith(key, "\\Options") ? Deny::WriteOptions
                                                         : Deny::WriteProduct,
                            hiveOf(key)});
    std::map<std::string, unsigned long> denied;
    for (const Refusal& refusal : refusals) {
        Denial denial = DenialFor(refusal);
        denied[denial.key] |= denial.rights;
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

std::vector<std::string> ValuesLeft(const RandomCase& c)
{
    return ValuesOfHives(c.hives);
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
                                   ValuesLeft,
                                   Problems,
                                   Cleanup};
    EXPECT_EQ(RunRandomCases(backend, 300), "");
}

} // namespace
