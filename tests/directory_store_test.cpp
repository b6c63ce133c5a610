// What only the directory store has to guard against: entries that no
// registry could hold must not lead a deletion outside the store.
#include "registry.h"
#include "registry_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

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

void Shell(const std::string& command)
{
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
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

TEST_F(DirectoryStore, MissingStoreEnumeratesNothing)
{
    Shell("rm -rf '" + kRoot + "'");
    RegistryStoreSetRoot(kRoot.c_str());
    EXPECT_TRUE(EnumerateUsers().empty());
}

} // namespace
