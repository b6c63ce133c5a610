// The directory store behind registry.h on systems without a registry:
// <root>/HKEY_USERS/<hive>/<key>/..., one directory per key, a key's values
// as regular files in its directory. The root is fixed when the program is
// built; tests point the store elsewhere.
#pragma once

void RegistryStoreSetRoot(const char* root);
