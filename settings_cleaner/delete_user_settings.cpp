#include "settings_cleaner.h"

#include "console.h"
#include "registry.h"

#include <cstdio>

namespace {

// RegCreateKeyExA wants a writable class buffer; the class is empty.
char kNoClass[] = "";

LONG OpenKey(HKEY parent, const char* subKey, REGSAM access, HKEY* key)
{
    DWORD disposition;
    return RegCreateKeyExA(parent, subKey, 0, kNoClass, REG_OPTION_NON_VOLATILE, access, nullptr,
                           key, &disposition);
}

// Deletes <prefix>0, <prefix>1, ... and stops at the first that will not go:
// entries beyond a gap in the numbering stay.
void DeleteNumbered(HKEY options, const char* prefix)
{
    char name[32];
    for (int n = 0;; ++n) {
        std::snprintf(name, sizeof name, "%s%d", prefix, n);
        if (RegDeleteKeyA(options, name) != ERROR_SUCCESS)
            return;
    }
}

} // namespace

int DeleteUserSettings(const char* hiveName)
{
    char vendorPath[2048];
    std::snprintf(vendorPath, sizeof vendorPath, "%s\\Software\\Velk", hiveName);

    HKEY vendor;
    if (OpenKey(HKEY_USERS, vendorPath, KEY_CREATE_SUB_KEY, &vendor) != ERROR_SUCCESS)
        return 0;

    // The registry deletes only keys without subkeys: leaves first, and each
    // key's own handle is closed before its parent deletes it. A key that
    // will not open is still deleted from its parent when it is empty.
    HKEY product;
    if (OpenKey(vendor, "ZARPH", KEY_WRITE, &product) == ERROR_SUCCESS) {
        HKEY options;
        if (OpenKey(product, "Options", KEY_WRITE, &options) == ERROR_SUCCESS) {
            DeleteNumbered(options, "Host");
            DeleteNumbered(options, "History");
            RegCloseKey(options);
        }
        RegDeleteKeyA(product, "Options");
        RegCloseKey(product);
    }
    LONG status = RegDeleteKeyA(vendor, "ZARPH");
    RegCloseKey(vendor);

    if (status == ERROR_SUCCESS) {
        // "削除しました。\n"
        ConsolePrint("\215\355\217\234\202\265\202\334\202\265\202\275\201B\n");
        return 1;
    }
    // "削除できませんでした。\n"
    ConsolePrint("\215\355\217\234\202\305\202\253\202\334\202\271\202\361\202\305\202\265\202\275"
                 "\201B\n");
    return 0;
}
