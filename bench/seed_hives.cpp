// Seeds N hives, each with the full settings layout of K host and K history
// entries, through the registry calls (advapi32 on Windows, the directory
// store elsewhere). Usage: seed_hives N K PREFIX
#include "registry.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

char kNoClass[] = "";

HKEY Create(HKEY parent, const std::string& path)
{
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExA(parent, path.c_str(), 0, kNoClass, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE | KEY_READ, nullptr, &key, &disposition) != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot create %s\n", path.c_str());
        std::exit(1);
    }
    return key;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: seed_hives N K PREFIX\n");
        return 2;
    }
    int hives = std::atoi(argv[1]);
    int entries = std::atoi(argv[2]);
    for (int h = 0; h < hives; ++h) {
        std::string hive = argv[3] + std::to_string(h);
        HKEY options = Create(HKEY_USERS, hive + "\\Software\\Velk\\ZARPH\\Options");
        for (const char* prefix : {"Host", "History"})
            for (int n = 0; n < entries; ++n)
                RegCloseKey(Create(options, prefix + std::to_string(n)));
        RegCloseKey(options);
    }
    return 0;
}
