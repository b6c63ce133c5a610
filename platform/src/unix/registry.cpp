// Registry calls over a directory tree. Every key handle owns a directory
// descriptor and every step below it is taken with openat and O_NOFOLLOW, so
// a link planted in the store never leads a deletion outside it. Names match
// ignoring ASCII case, as in the registry, and keep the spelling they were
// made with. Nothing is held between calls but the open handles themselves
// and one enumeration listing, so a process that closes its handles holds
// no descriptor of the store.
#include "registry.h"
#include "registry_store.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
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

// The sorted subkey names of the key last enumerated. A sweep asks for index
// 0, 1, 2, ... of one handle; listing the directory once per sweep keeps it
// linear in the number of hives. Index 0 always lists afresh, and so does a
// change made through the same handle. Changes through other handles or by
// other processes show from the next index 0 on. The end of an enumeration
// and the close of its handle let the listing go.
struct Listing {
    bool valid = false;
    unsigned long handle = 0;
    std::vector<std::string> names;
};
Listing g_listing;
unsigned long g_nextHandleId = 1;

const int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// A descriptor or directory stream given back on every way out of a scope,
// exceptions included.
struct Descriptor {
    int fd = -1;
    Descriptor() = default;
    explicit Descriptor(int d) : fd(d) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    int Release()
    {
        int d = fd;
        fd = -1;
        return d;
    }
};

struct DirectoryStream {
    DIR* dir;
    explicit DirectoryStream(DIR* d) : dir(d) {}
    DirectoryStream(const DirectoryStream&) = delete;
    DirectoryStream& operator=(const DirectoryStream&) = delete;
    ~DirectoryStream()
    {
        if (dir != nullptr)
            closedir(dir);
    }
};

LONG StatusFromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
        return ERROR_FILE_NOT_FOUND;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

// The exact name is no key there: absent, a value, or a link.
bool NoSuchKey(int error)
{
    return error == ENOENT || error == ENOTDIR || error == ELOOP;
}

std::string UsersPath()
{
    return g_root + "/HKEY_USERS";
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

// Where the names below a handle are resolved: the handle's descriptor, or
// for HKEY_USERS the store's path, so that no descriptor is held for it.
struct Parent {
    int fd;             // AT_FDCWD for HKEY_USERS
    std::string prefix; // put before each name: the HKEY_USERS path and a slash

    std::string Name(const std::string& name) const
    {
        return prefix + name;
    }
};

Parent ParentOf(HKEY key)
{
    if (key == HKEY_USERS)
        return {AT_FDCWD, UsersPath() + "/"};
    return {key->fd, ""};
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

// A subkey is a real directory; anything else in a key's directory (files,
// links) is one of its values. False also when the type cannot be told.
bool IsSubdirectory(int directory, const dirent* entry, bool* known)
{
    *known = true;
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type == DT_DIR;
    struct stat st;
    if (fstatat(directory, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        *known = false;
        return false;
    }
    return S_ISDIR(st.st_mode);
}

bool IsDotEntry(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// A backslash cannot stand in a key name: such a directory is no key.
bool IsKey(int directory, const dirent* entry)
{
    bool known;
    return !IsDotEntry(entry->d_name) && std::strchr(entry->d_name, '\\') == nullptr &&
           IsSubdirectory(directory, entry, &known);
}

unsigned char Upper(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

bool SameIgnoringCase(const char* a, const std::string& b)
{
    size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return a[i] == '\0' && i == b.size();
}

// The registry orders names with ASCII letters compared as upper case.
bool RegistryOrder(const std::string& a, const std::string& b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = Upper(a[i]);
        unsigned char y = Upper(b[i]);
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

// A new descriptor of the key's own directory, to list or to hand out.
int OpenSelf(const Parent& parent)
{
    return parent.fd == AT_FDCWD ? open(UsersPath().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                 : openat(parent.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// A stream over the directory of a new descriptor, which the stream then
// owns; null with errno set, and the descriptor closed, when it cannot be had.
DIR* StreamOf(int fd)
{
    Descriptor owned(fd);
    if (owned.fd < 0)
        return nullptr;
    DIR* dir = fdopendir(owned.fd);
    if (dir != nullptr)
        owned.Release();
    return dir;
}

DIR* OpenListing(const Parent& parent)
{
    return StreamOf(OpenSelf(parent));
}

LONG ListSubkeys(const Parent& parent, std::vector<std::string>* names)
{
    DirectoryStream stream(OpenListing(parent));
    if (stream.dir == nullptr)
        return StatusFromErrno(errno);
    names->clear();
    while (const dirent* entry = readdir(stream.dir))
        if (IsKey(dirfd(stream.dir), entry))
            names->push_back(entry->d_name);
    std::sort(names->begin(), names->end(), RegistryOrder);
    return ERROR_SUCCESS;
}

// The stored spelling of a subkey named name ignoring case. Only a name that
// is not found as spelled gets here. Should a store hold several spellings,
// the first in byte order is taken, whatever order the directory lists.
bool FindStoredName(const Parent& parent, const std::string& name, std::string* stored)
{
    DirectoryStream stream(OpenListing(parent));
    if (stream.dir == nullptr)
        return false;
    bool found = false;
    while (const dirent* entry = readdir(stream.dir)) {
        if (!SameIgnoringCase(entry->d_name, name) || !IsKey(dirfd(stream.dir), entry))
            continue;
        if (!found || std::strcmp(entry->d_name, stored->c_str()) < 0)
            *stored = entry->d_name;
        found = true;
    }
    return found;
}

// Opens the subkey name of parent under any spelling. On success *fd is a new
// descriptor; otherwise the errno of the failure is returned.
int OpenSubkey(const Parent& parent, const std::string& name, int* fd)
{
    *fd = openat(parent.fd, parent.Name(name).c_str(), kDirFlags);
    if (*fd >= 0)
        return 0;
    int error = errno;
    std::string stored;
    if (!NoSuchKey(error) || !FindStoredName(parent, name, &stored))
        return error;
    *fd = openat(parent.fd, parent.Name(stored).c_str(), kDirFlags);
    return *fd >= 0 ? 0 : errno;
}

// Opens (and with create, makes) every component below parent. The result is
// a new descriptor owned by the caller.
LONG WalkPath(const Parent& top, const std::vector<std::string>& parts, bool create, bool* created,
              Descriptor* result)
{
    if (parts.empty()) {
        result->fd = OpenSelf(top);
        return result->fd < 0 ? StatusFromErrno(errno) : ERROR_SUCCESS;
    }
    Descriptor current;
    for (const std::string& part : parts) {
        Parent parent = current.fd < 0 ? top : Parent{current.fd, ""};
        int next = -1;
        int error = OpenSubkey(parent, part, &next);
        if (error == ENOENT && create) {
            if (parent.fd == AT_FDCWD)
                EnsureDirectories(UsersPath());
            if (mkdirat(parent.fd, parent.Name(part).c_str(), 0777) == 0)
                *created = true;
            else if (errno != EEXIST)
                return StatusFromErrno(errno);
            error = OpenSubkey(parent, part, &next);
        }
        if (error != 0)
            return StatusFromErrno(error);
        Descriptor opened(next);
        std::swap(current.fd, opened.fd);
    }
    result->fd = current.Release();
    return ERROR_SUCCESS;
}

LONG OpenOrCreate(HKEY key, LPCSTR subKey, bool create, PHKEY result, LPDWORD disposition)
{
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> parts;
    if (subKey != nullptr && subKey[0] != '\0' && !SplitPath(subKey, &parts))
        return ERROR_BAD_PATHNAME;
    bool created = false;
    Descriptor fd;
    LONG status = WalkPath(ParentOf(key), parts, create, &created, &fd);
    if (created)
        Changed(key);
    if (status != ERROR_SUCCESS)
        return status;
    HKEY handle = new (std::nothrow) HKEY__{fd.fd, g_nextHandleId};
    if (handle == nullptr)
        return ERROR_NOT_ENOUGH_MEMORY;
    fd.Release();
    ++g_nextHandleId;
    *result = handle;
    if (disposition != nullptr)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

// Removes a key directory that holds values (files) but no subkey. Nothing
// is touched unless every entry is known to be a value, whatever order the
// directory lists them in.
LONG RemoveKeyWithValues(const Parent& parent, const std::string& name)
{
    DirectoryStream stream(StreamOf(openat(parent.fd, parent.Name(name).c_str(), kDirFlags)));
    if (stream.dir == nullptr)
        return StatusFromErrno(errno);
    std::vector<std::string> values;
    while (const dirent* entry = readdir(stream.dir)) {
        if (IsDotEntry(entry->d_name))
            continue;
        bool known;
        if (IsSubdirectory(dirfd(stream.dir), entry, &known) || !known)
            return ERROR_ACCESS_DENIED;
        values.push_back(entry->d_name);
    }
    for (const std::string& value : values)
        if (unlinkat(dirfd(stream.dir), value.c_str(), 0) != 0)
            return StatusFromErrno(errno);
    if (unlinkat(parent.fd, parent.Name(name).c_str(), AT_REMOVEDIR) != 0)
        return StatusFromErrno(errno);
    return ERROR_SUCCESS;
}

// Removes the subkey name of parent under any spelling, with its values; its
// subkeys keep it in place.
LONG RemoveKey(const Parent& parent, const std::string& name)
{
    std::string stored = name;
    if (unlinkat(parent.fd, parent.Name(stored).c_str(), AT_REMOVEDIR) == 0)
        return ERROR_SUCCESS;
    int error = errno;
    if (NoSuchKey(error)) {
        if (!FindStoredName(parent, name, &stored))
            return ERROR_FILE_NOT_FOUND;
        if (unlinkat(parent.fd, parent.Name(stored).c_str(), AT_REMOVEDIR) == 0)
            return ERROR_SUCCESS;
        error = errno;
    }
    if (error != ENOTEMPTY && error != EEXIST)
        return StatusFromErrno(error);
    return RemoveKeyWithValues(parent, stored);
}

LONG DeleteKey(HKEY key, LPCSTR subKey)
{
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> parts;
    if (subKey == nullptr || subKey[0] == '\0' || !SplitPath(subKey, &parts))
        return ERROR_BAD_PATHNAME;
    std::string name = parts.back();
    parts.pop_back();
    Parent parent = ParentOf(key);
    Descriptor walked;
    if (!parts.empty()) {
        bool created = false;
        LONG status = WalkPath(parent, parts, false, &created, &walked);
        if (status != ERROR_SUCCESS)
            return status;
        parent = Parent{walked.fd, ""};
    }
    LONG status = RemoveKey(parent, name);
    if (status == ERROR_SUCCESS)
        Changed(key);
    return status;
}

LONG EnumerateKey(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPSTR keyClass,
                  LPDWORD classLength, PFILETIME lastWriteTime)
{
    if (name == nullptr || nameLength == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;

    if (index == 0 || !g_listing.valid || g_listing.handle != HandleId(key)) {
        g_listing = Listing();
        LONG status = ListSubkeys(ParentOf(key), &g_listing.names);
        if (status != ERROR_SUCCESS) {
            // No store yet: a registry without hives.
            return key == HKEY_USERS ? ERROR_NO_MORE_ITEMS : status;
        }
        g_listing.valid = true;
        g_listing.handle = HandleId(key);
    }
    if (index >= g_listing.names.size()) {
        g_listing = Listing();
        return ERROR_NO_MORE_ITEMS;
    }
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

} // namespace

void RegistryStoreSetRoot(const char* root)
{
    g_root = root;
    g_listing = Listing();
}

// The calls are C functions to the program: nothing may be thrown through
// them. Only running out of memory can throw, and every descriptor taken is
// owned by a scope, so it is given back on the way out.
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result)
{
    try {
        return OpenOrCreate(key, subKey, false, result, nullptr);
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY result, LPDWORD disposition)
{
    try {
        return OpenOrCreate(key, subKey, true, result, disposition);
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    try {
        return DeleteKey(key, subKey);
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPSTR keyClass,
                   LPDWORD classLength, PFILETIME lastWriteTime)
{
    try {
        return EnumerateKey(key, index, name, nameLength, keyClass, classLength, lastWriteTime);
    } catch (...) {
        g_listing = Listing();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG RegCloseKey(HKEY key)
{
    if (key == HKEY_USERS)
        return ERROR_SUCCESS;
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if (g_listing.handle == key->id)
        g_listing = Listing();
    close(key->fd);
    delete key;
    return ERROR_SUCCESS;
}
