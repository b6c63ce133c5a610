// Registry calls over a directory tree. Every key handle owns a directory
// descriptor and every step below it is taken with openat and O_NOFOLLOW, so
// a link planted in the store never leads a deletion outside it.
#include "registry.h"
#include "registry_store.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef REGISTRY_ROOT
#error "REGISTRY_ROOT must name the store's directory"
#endif

struct HKEY__ {
    int fd;
    unsigned long id; // never reused, unlike the address of a closed handle
};

namespace {

std::string g_root = REGISTRY_ROOT;
int g_usersFd = -1;

// The sorted subkey names of the key last enumerated. A sweep asks for index
// 0, 1, 2, ... of one handle; listing the directory once per sweep keeps it
// linear in the number of hives. Index 0 always lists afresh, and so does a
// change made through the same handle. Changes through other handles or by
// other processes show from the next index 0 on.
struct Listing {
    bool valid = false;
    unsigned long handle = 0;
    std::vector<std::string> names;
};
Listing g_listing;
unsigned long g_nextHandleId = 1;

const int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

LONG StatusFromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
        return ERROR_FILE_NOT_FOUND;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

bool EnsureDirectories(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

// The directory of a handle; HKEY_USERS is opened on first use, and the
// store's own directories are made when a key is to be created in them.
int DirectoryOf(HKEY key, bool create)
{
    if (key != HKEY_USERS)
        return key == nullptr ? -1 : key->fd;
    if (g_usersFd < 0) {
        std::string users = g_root + "/HKEY_USERS";
        if (create)
            EnsureDirectories(users);
        g_usersFd = open(users.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    return g_usersFd;
}

unsigned long HandleId(HKEY key)
{
    return key == HKEY_USERS ? 0 : key->id;
}

void Changed(HKEY key)
{
    if (g_listing.handle == HandleId(key))
        g_listing.valid = false;
}

// Splits a subkey path at backslashes. A component that a directory cannot
// stand for by itself is refused rather than given a meaning of its own.
bool SplitPath(const char* subKey, std::vector<std::string>* parts)
{
    const char* start = subKey;
    for (const char* p = subKey;; ++p) {
        if (*p != '\\' && *p != '\0')
            continue;
        std::string part(start, p);
        if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos)
            return false;
        parts->push_back(part);
        if (*p == '\0')
            return true;
        start = p + 1;
    }
}

bool IsSubdirectory(int directory, const dirent* entry)
{
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type == DT_DIR;
    struct stat st;
    return fstatat(directory, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

bool IsDotEntry(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The registry orders names with ASCII letters compared as upper case.
bool RegistryOrder(const std::string& a, const std::string& b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z')
            x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

LONG ListSubkeys(int directory, std::vector<std::string>* names)
{
    int listFd = openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return StatusFromErrno(errno);
    DIR* dir = fdopendir(listFd);
    if (dir == nullptr) {
        close(listFd);
        return ERROR_ACCESS_DENIED;
    }
    names->clear();
    while (const dirent* entry = readdir(dir)) {
        // A backslash cannot stand in a key name: such a directory is no key.
        if (IsDotEntry(entry->d_name) || std::strchr(entry->d_name, '\\') != nullptr)
            continue;
        if (IsSubdirectory(listFd, entry))
            names->push_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names->begin(), names->end(), RegistryOrder);
    return ERROR_SUCCESS;
}

// Opens (and with create, makes) every component below directory. The
// result is a new descriptor owned by the caller.
LONG WalkPath(int directory, const std::vector<std::string>& parts, bool create, bool* created,
              int* result)
{
    if (parts.empty()) {
        *result = openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        return *result < 0 ? StatusFromErrno(errno) : ERROR_SUCCESS;
    }
    int current = directory;
    for (const std::string& part : parts) {
        int next = openat(current, part.c_str(), kDirFlags);
        if (next < 0 && errno == ENOENT && create) {
            bool made = mkdirat(current, part.c_str(), 0777) == 0;
            if (made)
                *created = true;
            if (made || errno == EEXIST)
                next = openat(current, part.c_str(), kDirFlags);
        }
        int error = errno;
        if (current != directory)
            close(current);
        if (next < 0)
            return StatusFromErrno(error);
        current = next;
    }
    *result = current;
    return ERROR_SUCCESS;
}

LONG OpenOrCreate(HKEY key, LPCSTR subKey, bool create, PHKEY result, LPDWORD disposition)
{
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    int directory = DirectoryOf(key, create);
    if (directory < 0)
        return key == HKEY_USERS ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
    std::vector<std::string> parts;
    if (subKey != nullptr && subKey[0] != '\0' && !SplitPath(subKey, &parts))
        return ERROR_BAD_PATHNAME;
    bool created = false;
    int fd = -1;
    LONG status = WalkPath(directory, parts, create, &created, &fd);
    if (created)
        Changed(key);
    if (status != ERROR_SUCCESS)
        return status;
    *result = new HKEY__{fd, g_nextHandleId++};
    if (disposition != nullptr)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

// Removes an empty key directory; its values (files) go with it, its
// subkeys (directories) keep it in place.
LONG RemoveKey(int parent, const char* name)
{
    if (unlinkat(parent, name, AT_REMOVEDIR) == 0)
        return ERROR_SUCCESS;
    if (errno != ENOTEMPTY && errno != EEXIST)
        return StatusFromErrno(errno);

    int keyFd = openat(parent, name, kDirFlags);
    if (keyFd < 0)
        return StatusFromErrno(errno);
    DIR* dir = fdopendir(keyFd);
    if (dir == nullptr) {
        close(keyFd);
        return ERROR_ACCESS_DENIED;
    }
    std::vector<std::string> values;
    bool hasSubkeys = false;
    while (const dirent* entry = readdir(dir)) {
        if (IsDotEntry(entry->d_name))
            continue;
        if (IsSubdirectory(keyFd, entry)) {
            hasSubkeys = true;
            break;
        }
        values.push_back(entry->d_name);
    }
    LONG status = ERROR_SUCCESS;
    if (hasSubkeys)
        status = ERROR_ACCESS_DENIED;
    for (size_t i = 0; status == ERROR_SUCCESS && i < values.size(); ++i) {
        if (unlinkat(keyFd, values[i].c_str(), 0) != 0)
            status = StatusFromErrno(errno);
    }
    closedir(dir);
    if (status == ERROR_SUCCESS && unlinkat(parent, name, AT_REMOVEDIR) != 0)
        status = StatusFromErrno(errno);
    return status;
}

} // namespace

void RegistryStoreSetRoot(const char* root)
{
    if (g_usersFd >= 0)
        close(g_usersFd);
    g_usersFd = -1;
    g_root = root;
    g_listing.valid = false;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result)
{
    return OpenOrCreate(key, subKey, false, result, nullptr);
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY result, LPDWORD disposition)
{
    return OpenOrCreate(key, subKey, true, result, disposition);
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    int directory = DirectoryOf(key, false);
    if (directory < 0)
        return key == HKEY_USERS ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
    std::vector<std::string> parts;
    if (subKey == nullptr || subKey[0] == '\0' || !SplitPath(subKey, &parts))
        return ERROR_BAD_PATHNAME;
    std::string name = parts.back();
    parts.pop_back();
    int parent = directory;
    if (!parts.empty()) {
        bool created = false;
        LONG status = WalkPath(directory, parts, false, &created, &parent);
        if (status != ERROR_SUCCESS)
            return status;
    }
    LONG status = RemoveKey(parent, name.c_str());
    if (status == ERROR_SUCCESS)
        Changed(key);
    if (parent != directory)
        close(parent);
    return status;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPSTR keyClass,
                   LPDWORD classLength, PFILETIME lastWriteTime)
{
    if (name == nullptr || nameLength == nullptr)
        return ERROR_INVALID_PARAMETER;
    int directory = DirectoryOf(key, false);
    if (directory < 0)
        return key == HKEY_USERS ? ERROR_NO_MORE_ITEMS : ERROR_INVALID_HANDLE;

    if (index == 0 || !g_listing.valid || g_listing.handle != HandleId(key)) {
        g_listing.valid = false;
        LONG status = ListSubkeys(directory, &g_listing.names);
        if (status != ERROR_SUCCESS)
            return status;
        g_listing.valid = true;
        g_listing.handle = HandleId(key);
    }
    if (index >= g_listing.names.size())
        return ERROR_NO_MORE_ITEMS;
    const std::string& found = g_listing.names[index];
    if (found.size() + 1 > *nameLength)
        return ERROR_MORE_DATA;
    std::memcpy(name, found.c_str(), found.size() + 1);
    *nameLength = static_cast<DWORD>(found.size());
    if (keyClass != nullptr && classLength != nullptr && *classLength > 0) {
        keyClass[0] = '\0';
        *classLength = 0;
    }
    if (lastWriteTime != nullptr)
        *lastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    if (key == HKEY_USERS)
        return ERROR_SUCCESS;
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    close(key->fd);
    delete key;
    return ERROR_SUCCESS;
}
