// Random registries on the directory store, in-process.
#include "random_cases.h"
#include "registry_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include <dirent.h>
#include <sys/stat.h>

namespace {

const std::string kRoot = RANDOM_STORE;

std::string Directory(const std::string& key)
{
    std::string path = kRoot + "/HKEY_USERS/" + key;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

void Prepare(const RandomCase& c)
{
    ASSERT_EQ(std::system(("rm -rf '" + kRoot + "' && mkdir -p '" + kRoot + "/HKEY_USERS'").c_str()), 0);
    RegistryStoreSetRoot(kRoot.c_str());
    for (const std::string& key : c.keys)
        mkdir(Directory(key).c_str(), 0777); // std::set order puts parents first
    for (const std::string& key : c.valueKeys)
        std::ofstream(Directory(key) + "/Value") << "data";
}

void Collect(const std::string& path, const std::string& key, std::vector<std::string>* keys)
{
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr)
        return;
    keys->push_back(key);
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        struct stat st;
        if (name != "." && name != ".." && lstat((path + "/" + name).c_str(), &st) == 0 &&
            S_ISDIR(st.st_mode))
            Collect(path + "/" + name, key + "\\" + name, keys);
    }
    closedir(dir);
}

std::vector<std::string> KeysLeft(const RandomCase& c)
{
    std::vector<std::string> keys;
    for (const std::string& hive : c.hives)
        Collect(Directory(hive), hive, &keys);
    return keys;
}

std::string Problems()
{
    return "";
}

void Cleanup(const RandomCase&) {}

// The store has no key security: refusals are left to the other backends.
const RandomBackend kStore = {"directory store", false, false, false, Prepare, KeysLeft, Problems, Cleanup};

TEST(RandomRegistries, DirectoryStoreAgreesWithTheModel)
{
    EXPECT_EQ(RunRandomCases(kStore, 300), "");
}

} // namespace
