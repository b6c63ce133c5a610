// What only the directory store has to guard against: entries that no
// registry could hold must not lead a deletion outside the store, the order
// of a directory's entries must not matter, and no descriptor may be kept.
#include "descriptors.h"
#include "fake_console.h"
#include "messages.h"
#include "registry.h"
#include "registry_store.h"
#include "settings_cleaner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kRoot = std::string(STORE_DIR) + "/store";
const std::string kOutside = std::string(STORE_DIR) + "/outside";

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Tests only: the store itself never runs a command.
void Shell(const std::string& command)
{
    ASSERT_EQ(std::system(command.c_str()), 0) << command; // NOLINT(cert-env33-c)
}

std::vector<std::string> EnumerateUsers()
{
    std::vector<std::string> names;
    char name[1024];
    FILETIME lastWrite;
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(HKEY_USERS, index, name, &length, nullptr, nullptr, nullptr,
                          &lastWrite) != ERROR_SUCCESS)
            return names;
        names.push_back(name);
    }
}

class DirectoryStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        Shell("rm -rf '" + std::string(STORE_DIR) + "' && mkdir -p '" + kRoot + "/HKEY_USERS' '" +
              kOutside + "/Velk/ZARPH'");
        RegistryStoreSetRoot(kRoot.c_str());
    }
};

TEST_F(DirectoryStore, LinksAreNeitherKeysNorFollowed)
{
    Shell("mkdir -p '" + kRoot + "/HKEY_USERS/U' && ln -s '" + kOutside + "' '" + kRoot +
          "/HKEY_USERS/U/Software' && ln -s '" + kOutside + "' '" + kRoot + "/HKEY_USERS/Linked'");

    HKEY key;
    EXPECT_NE(RegOpenKeyExA(HKEY_USERS, "U\\Software\\Velk\\ZARPH", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    char noClass[] = "";
    DWORD disposition;
    EXPECT_NE(RegCreateKeyExA(HKEY_USERS, "U\\Software\\Velk", 0, noClass, 0, KEY_CREATE_SUB_KEY,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_NE(RegDeleteKeyA(HKEY_USERS, "U\\Software\\Velk\\ZARPH"), ERROR_SUCCESS);

    EXPECT_EQ(EnumerateUsers(), std::vector<std::string>{"U"});
    EXPECT_TRUE(IsDirectory(kOutside + "/Velk/ZARPH"));
}

TEST_F(DirectoryStore, PathsCannotClimbOutOfTheStore)
{
    Shell("mkdir -p '" + kRoot + "/HKEY_USERS/U'");
    HKEY key;
    for (const char* path : {"U\\..\\..\\..\\outside\\Velk\\ZARPH", "..\\outside", ".\\U",
                             "U\\\\Software", "U/../../outside"}) {
        EXPECT_NE(RegOpenKeyExA(HKEY_USERS, path, 0, KEY_READ, &key), ERROR_SUCCESS) << path;
        EXPECT_NE(RegDeleteKeyA(HKEY_USERS, path), ERROR_SUCCESS) << path;
    }
    EXPECT_TRUE(IsDirectory(kOutside + "/Velk/ZARPH"));
}

// A directory name with a backslash would be read back as a different path.
TEST_F(DirectoryStore, NamesWithBackslashesAreNotKeys)
{
    Shell("mkdir -p '" + kRoot + "/HKEY_USERS/a\\b' '" + kRoot + "/HKEY_USERS/c'");
    EXPECT_EQ(EnumerateUsers(), std::vector<std::string>{"c"});
}

// Windows compares names as upper case, so '_' comes after the letters.
TEST_F(DirectoryStore, OrderIsWindowsOrder)
{
    Shell("cd '" + kRoot + "/HKEY_USERS' && mkdir _x b A S-1-5-21-1_Classes S-1-5-21-1 S-1-5-21-2");
    EXPECT_EQ(EnumerateUsers(),
              (std::vector<std::string>{"A", "b", "S-1-5-21-1", "S-1-5-21-1_Classes", "S-1-5-21-2",
                                        "_x"}));
}

// Every printable ASCII character a key name can hold, in the order Windows
// enumerates them: names compared as upper case, so "[\\]^_`" come after
// the letters and a lower-case letter sorts as its capital.
TEST_F(DirectoryStore, EnumerationOrderOfEveryPrintableCharacterIsWindowsOrder)
{
    const std::string windowsOrder = " !\"#$%&'()*+,-.0123456789:;<=>?@"
                                     "ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`{|}~";
    for (bool lower : {false, true}) {
        SCOPED_TRACE(lower ? "lower-case letters" : "capital letters");
        Shell("rm -rf '" + kRoot + "/HKEY_USERS' && mkdir '" + kRoot + "/HKEY_USERS'");
        // Names of one character and that character twice: a name sorts
        // before any longer name it begins.
        std::vector<std::string> expected;
        for (char c : windowsOrder) {
            if (lower && c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            for (const std::string& name : {std::string(1, c), std::string(2, c)}) {
                if (name != "." && name != "..")
                    expected.push_back(name);
            }
        }
        // Made in reverse, so that no file system order can pass for it.
        for (auto it = expected.rbegin(); it != expected.rend(); ++it)
            ASSERT_EQ(mkdir((kRoot + "/HKEY_USERS/" + *it).c_str(), 0777), 0) << *it;
        EXPECT_EQ(EnumerateUsers(), expected);
    }
}

// Values are files and subkeys directories; a key with a subkey keeps every
// value wherever the subkey comes in the directory's listing.
TEST_F(DirectoryStore, KeyThatStaysKeepsEveryValueWhateverTheListingOrder)
{
    const std::string key = kRoot + "/HKEY_USERS/U/Software/Velk/ZARPH";
    for (int subkeyAt : {0, 7, 19, 39}) {
        SCOPED_TRACE("subkey made as entry " + std::to_string(subkeyAt));
        Shell("rm -rf '" + kRoot + "/HKEY_USERS/U' && mkdir -p '" + key + "'");
        for (int i = 0; i < 40; ++i) {
            if (i == subkeyAt)
                ASSERT_EQ(mkdir((key + "/Window").c_str(), 0777), 0);
            else
                std::ofstream(key + "/Value" + std::to_string(i)) << i;
        }
        HKEY vendor;
        ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, "U\\Software\\Velk", 0, KEY_READ, &vendor),
                  ERROR_SUCCESS);
        EXPECT_NE(RegDeleteKeyA(vendor, "ZARPH"), ERROR_SUCCESS);
        EXPECT_NE(RegDeleteKeyA(vendor, "zarph"), ERROR_SUCCESS);
        RegCloseKey(vendor);
        for (int i = 0; i < 40; ++i) {
            if (i == subkeyAt)
                continue;
            std::ifstream value(key + "/Value" + std::to_string(i));
            int data = -1;
            value >> data;
            EXPECT_EQ(data, i) << "value " << i;
        }
        EXPECT_TRUE(IsDirectory(key + "/Window"));
    }
}

void MakeKey(const std::string& path)
{
    for (size_t slash = path.find('/', kRoot.size() + 1);; slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0777);
        if (slash == std::string::npos)
            return;
    }
}

// A sweep of thousands of hives, every path through the removal among them,
// within a descriptor limit a leak of one per hive or per key would exceed.
TEST_F(DirectoryStore, SweepOfThousandsOfHivesWithinAFewDozenDescriptors)
{
    const int kHives = 3000;
    int deleted = 0;
    int remaining = 0;
    for (int h = 0; h < kHives; ++h) {
        std::string hive = kRoot + "/HKEY_USERS/S-1-5-21-" + std::to_string(100000 + h);
        std::string product = hive + "/Software/Velk/ZARPH";
        switch (h % 6) {
        case 0: // the whole layout, with values
            MakeKey(product + "/Options/Host0");
            MakeKey(product + "/Options/Host1");
            MakeKey(product + "/Options/History0");
            std::ofstream(product + "/Options/Width") << "1280";
            ++deleted;
            break;
        case 1: // a gap in the numbering
            MakeKey(product + "/Options/Host0");
            MakeKey(product + "/Options/Host2");
            ++remaining;
            break;
        case 2: // a foreign subkey, the layout in another spelling
            MakeKey(hive + "/software/velk/zarph/options/host0");
            MakeKey(hive + "/software/velk/zarph/Recent");
            ++remaining;
            break;
        case 3: // no settings
            MakeKey(hive + "/Software/Other");
            break;
        case 4: // a value where a key would be
            MakeKey(hive + "/Software");
            std::ofstream(hive + "/Software/Velk") << "not a key";
            break;
        case 5: // a link where a key would be
            MakeKey(hive + "/Software");
            ASSERT_EQ(symlink(kOutside.c_str(), (hive + "/Software/Velk").c_str()), 0);
            break;
        }
    }

    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    int before = OpenDescriptors();
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(before) + 24;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    fake_console::Reset("y\n\n");
    int status = RunSettingsCleaner();
    int after = OpenDescriptors();
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);

    EXPECT_EQ(status, 0);
    EXPECT_EQ(after, before);
    std::string summary =
        DeletedCountLine(deleted) + NotDeletedCountLine(remaining) + Sjis(MSG_PRESS_ENTER);
    const std::string& output = fake_console::Output();
    ASSERT_GE(output.size(), summary.size());
    EXPECT_EQ(output.substr(output.size() - summary.size()), summary);
    EXPECT_TRUE(IsDirectory(kOutside + "/Velk/ZARPH"));
}

TEST_F(DirectoryStore, MissingStoreEnumeratesNothing)
{
    Shell("rm -rf '" + kRoot + "'");
    RegistryStoreSetRoot(kRoot.c_str());
    EXPECT_TRUE(EnumerateUsers().empty());
}

} // namespace
