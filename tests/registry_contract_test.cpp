// The registry semantics the program relies on, run against the directory
// store in the native build and against a real registry in the Windows
// build, so that the store is held to the real thing.
#include "registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <cstring>
#else
#include "descriptors.h"
#include "registry_store.h"

#include <cstdlib>
#include <fstream>

#include <sys/stat.h>
#endif

using ::testing::ElementsAre;

namespace {

// A hive of the test's own under HKEY_USERS.
const char kHive[] = "S-1-5-21-900-4242";

#ifdef _WIN32
void AddValue(HKEY key, const char* name)
{
    const char data[] = "data";
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                             sizeof data),
              ERROR_SUCCESS);
}

void RemoveHive()
{
    RegDeleteTreeA(HKEY_USERS, kHive);
    RegDeleteKeyA(HKEY_USERS, kHive);
}
#else
const std::string kRoot = std::string(CONTRACT_STORE);

// The store keeps values as files in the key's directory.
void AddValueAt(const std::string& keyPath, const char* name)
{
    std::string path = kRoot + "/HKEY_USERS/" + keyPath;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    std::ofstream(path + "/" + name) << "data";
}

void RemoveHive()
{
    std::string command = "rm -rf '" + kRoot + "'";
    ASSERT_EQ(std::system(command.c_str()), 0); // NOLINT(cert-env33-c): test set-up only
    RegistryStoreSetRoot(kRoot.c_str());
}

#endif

std::string InHive(const std::string& sub)
{
    return std::string(kHive) + "\\" + sub;
}

HKEY Create(const std::string& path, DWORD* disposition = nullptr)
{
    char noClass[] = "";
    DWORD ignored;
    HKEY key = nullptr;
    LONG status =
        RegCreateKeyExA(HKEY_USERS, path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE | KEY_READ, nullptr, &key, disposition ? disposition : &ignored);
    EXPECT_EQ(status, ERROR_SUCCESS) << path;
    return key;
}

bool Exists(const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_USERS, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    return true;
}

std::vector<std::string> Enumerate(HKEY key)
{
    std::vector<std::string> names;
    char name[1024];
    FILETIME lastWrite;
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, &lastWrite) !=
            ERROR_SUCCESS)
            break;
        EXPECT_EQ(length, std::string(name).size());
        names.push_back(name);
    }
    return names;
}

class RegistryContract : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveHive();
#ifndef _WIN32
        descriptors_ = OpenDescriptors();
#endif
    }
    void TearDown() override
    {
#ifndef _WIN32
        // Once its handles are closed, the store holds no descriptor.
        EXPECT_EQ(OpenDescriptors(), descriptors_) << "descriptors left open";
#endif
        RemoveHive();
    }

private:
    int descriptors_ = 0;
};

TEST_F(RegistryContract, EnumerationByIndexInRegistryOrderThenFailure)
{
    HKEY parent = Create(InHive("List"));
    for (const char* name : {"b", "C", "a1", "A", "Host10", "Host9", "1"})
        RegCloseKey(Create(InHive("List\\") + name));

    // Letters compare ignoring case. (Where '_' and its neighbours go
    // among the letters, Windows and Wine differ; the program needs neither.)
    EXPECT_THAT(Enumerate(parent), ElementsAre("1", "A", "a1", "b", "C", "Host10", "Host9"));

    char name[1024];
    DWORD length = sizeof name;
    FILETIME lastWrite;
    EXPECT_NE(RegEnumKeyExA(parent, 7, name, &length, nullptr, nullptr, nullptr, &lastWrite),
              ERROR_SUCCESS);
    RegCloseKey(parent);

    HKEY empty = Create(InHive("Empty"));
    length = sizeof name;
    EXPECT_NE(RegEnumKeyExA(empty, 0, name, &length, nullptr, nullptr, nullptr, &lastWrite),
              ERROR_SUCCESS);
    RegCloseKey(empty);
}

TEST_F(RegistryContract, EnumerationSeesChangesMadeThroughTheSameHandle)
{
    HKEY parent = Create(InHive("List"));
    for (const char* name : {"A", "B", "C"})
        RegCloseKey(Create(InHive("List\\") + name));
    char name[1024];
    DWORD length = sizeof name;
    FILETIME lastWrite;
    ASSERT_EQ(RegEnumKeyExA(parent, 0, name, &length, nullptr, nullptr, nullptr, &lastWrite),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "A");

    ASSERT_EQ(RegDeleteKeyA(parent, "B"), ERROR_SUCCESS);
    length = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(parent, 1, name, &length, nullptr, nullptr, nullptr, &lastWrite),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "C");

    char noClass[] = "";
    HKEY added;
    DWORD disposition;
    ASSERT_EQ(RegCreateKeyExA(parent, "AB", 0, noClass, 0, KEY_WRITE, nullptr, &added,
                              &disposition),
              ERROR_SUCCESS);
    RegCloseKey(added);
    length = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(parent, 1, name, &length, nullptr, nullptr, nullptr, &lastWrite),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "AB");
    RegCloseKey(parent);
}

TEST_F(RegistryContract, NameThatDoesNotFitTheBufferFails)
{
    HKEY parent = Create(InHive("List"));
    RegCloseKey(Create(InHive("List\\TenLetters")));
    char name[16];
    DWORD length = 10;
    FILETIME lastWrite;
    EXPECT_NE(RegEnumKeyExA(parent, 0, name, &length, nullptr, nullptr, nullptr, &lastWrite),
              ERROR_SUCCESS);
    length = 11;
    EXPECT_EQ(RegEnumKeyExA(parent, 0, name, &length, nullptr, nullptr, nullptr, &lastWrite),
              ERROR_SUCCESS);
    EXPECT_EQ(length, 10u);
    RegCloseKey(parent);
}

TEST_F(RegistryContract, HivesAreTheSubkeysOfHkeyUsers)
{
    RegCloseKey(Create(InHive("Software")));
    std::vector<std::string> hives = Enumerate(HKEY_USERS);
    EXPECT_THAT(hives, ::testing::Contains(kHive));
}

TEST_F(RegistryContract, OpenOfMissingKeyFails)
{
    RegCloseKey(Create(InHive("Software\\Velk")));
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_USERS, InHive("Software\\Velk\\ZARPH").c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_NE(RegOpenKeyExA(HKEY_USERS, InHive("Nowhere\\Velk").c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_TRUE(Exists(InHive("Software\\Velk")));
}

TEST_F(RegistryContract, CreateMakesEveryMissingKeyOnTheWayAndOpensExisting)
{
    DWORD disposition = 0;
    HKEY key = Create(InHive("Software\\Velk\\ZARPH"), &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    EXPECT_TRUE(Exists(InHive("Software")));
    EXPECT_TRUE(Exists(InHive("Software\\Velk")));

    key = Create(InHive("Software\\Velk"), &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

    // Relative to an open key as well.
    char noClass[] = "";
    HKEY child;
    ASSERT_EQ(RegCreateKeyExA(key, "Other\\Deeper", 0, noClass, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                              nullptr, &child, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_TRUE(Exists(InHive("Software\\Velk\\Other\\Deeper")));
}

TEST_F(RegistryContract, DeleteFailsWhileSubkeysExistOrKeyIsMissing)
{
    HKEY vendor = Create(InHive("Software\\Velk"));
    RegCloseKey(Create(InHive("Software\\Velk\\ZARPH\\Options")));

    EXPECT_NE(RegDeleteKeyA(vendor, "ZARPH"), ERROR_SUCCESS);
    EXPECT_TRUE(Exists(InHive("Software\\Velk\\ZARPH\\Options")));

    EXPECT_NE(RegDeleteKeyA(vendor, "Missing"), ERROR_SUCCESS);

    HKEY product = Create(InHive("Software\\Velk\\ZARPH"));
    EXPECT_EQ(RegDeleteKeyA(product, "Options"), ERROR_SUCCESS);
    EXPECT_NE(RegDeleteKeyA(product, "Options"), ERROR_SUCCESS);
    RegCloseKey(product);
    EXPECT_EQ(RegDeleteKeyA(vendor, "ZARPH"), ERROR_SUCCESS);
    EXPECT_FALSE(Exists(InHive("Software\\Velk\\ZARPH")));
    EXPECT_TRUE(Exists(InHive("Software\\Velk")));
    RegCloseKey(vendor);
}

TEST_F(RegistryContract, NamesMatchIgnoringCaseAndKeepTheirSpelling)
{
    RegCloseKey(Create(InHive("software\\Velk\\zarph\\Options\\host0")));

    // Open, create and delete find a key under any spelling.
    EXPECT_TRUE(Exists(InHive("SOFTWARE\\velk\\ZARPH\\options\\HOST0")));
    std::string lowerHive = kHive;
    lowerHive[0] = 's';
    EXPECT_TRUE(Exists(lowerHive + "\\Software\\VELK"));
    DWORD disposition = 0;
    HKEY vendor = Create(InHive("Software\\Velk"), &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    HKEY product = Create(InHive("Software\\Velk\\ZARPH"), &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    HKEY options = Create(InHive("SOFTWARE\\VELK\\ZARPH\\OPTIONS"), &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    // A new key keeps the spelling it was made with.
    RegCloseKey(Create(InHive("SOFTWARE\\VELK\\ZARPH\\OPTIONS\\History0")));

    // The stored spellings stay, and no second key appears.
    HKEY hive;
    ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, kHive, 0, KEY_READ, &hive), ERROR_SUCCESS);
    EXPECT_THAT(Enumerate(hive), ElementsAre("software"));
    RegCloseKey(hive);
    EXPECT_THAT(Enumerate(vendor), ElementsAre("zarph"));
    EXPECT_THAT(Enumerate(product), ElementsAre("Options"));
    EXPECT_THAT(Enumerate(options), ElementsAre("History0", "host0"));

    EXPECT_EQ(RegDeleteKeyA(options, "Host0"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(options, "HISTORY0"), ERROR_SUCCESS);
    EXPECT_NE(RegDeleteKeyA(options, "host0"), ERROR_SUCCESS);
    RegCloseKey(options);
    EXPECT_EQ(RegDeleteKeyA(product, "OPTIONS"), ERROR_SUCCESS);
    RegCloseKey(product);
    EXPECT_EQ(RegDeleteKeyA(vendor, "ZARPH"), ERROR_SUCCESS);
    RegCloseKey(vendor);
    EXPECT_FALSE(Exists(InHive("software\\Velk\\zarph")));
    EXPECT_TRUE(Exists(InHive("software\\Velk")));
}

TEST_F(RegistryContract, ValuesDoNotHinderDeleteAndGoWithTheKey)
{
    HKEY product = Create(InHive("Software\\Velk\\ZARPH"));
#ifdef _WIN32
    AddValue(product, "Window");
    AddValue(product, "");
#else
    AddValueAt(InHive("Software\\Velk\\ZARPH"), "Window");
    AddValueAt(InHive("Software\\Velk\\ZARPH"), "(Default)");
#endif
    RegCloseKey(product);

    HKEY vendor = Create(InHive("Software\\Velk"));
    EXPECT_EQ(RegDeleteKeyA(vendor, "ZARPH"), ERROR_SUCCESS);
    RegCloseKey(vendor);
    EXPECT_FALSE(Exists(InHive("Software\\Velk\\ZARPH")));
    // Made anew, the key has no values left.
    product = Create(InHive("Software\\Velk\\ZARPH"));
#ifdef _WIN32
    DWORD values = 1;
    EXPECT_EQ(RegQueryInfoKeyA(product, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               &values, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 0u);
#else
    struct stat st;
    EXPECT_NE(stat((kRoot + "/HKEY_USERS/" + kHive + "/Software/Velk/ZARPH/Window").c_str(), &st),
              0);
#endif
    RegCloseKey(product);
}

TEST_F(RegistryContract, EveryHandleCanBeClosed)
{
    HKEY created = Create(InHive("A"));
    HKEY opened;
    ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, InHive("A").c_str(), 0, KEY_READ, &opened), ERROR_SUCCESS);
    HKEY vendorLike;
    char noClass[] = "";
    DWORD disposition;
    ASSERT_EQ(RegCreateKeyExA(HKEY_USERS, InHive("A").c_str(), 0, noClass, 0, KEY_CREATE_SUB_KEY,
                              nullptr, &vendorLike, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(vendorLike), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(opened), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(created), ERROR_SUCCESS);
}

} // namespace
