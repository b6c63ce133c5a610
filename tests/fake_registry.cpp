#include "fake_registry.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace {

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperCase(std::string s)
{
    for (char& c : s)
        c = Upper(c);
    return s;
}

struct RegistryLess {
    bool operator()(const std::string& a, const std::string& b) const
    {
        return UpperCase(a) < UpperCase(b);
    }
};

struct Node {
    std::map<std::string, std::unique_ptr<Node>, RegistryLess> children;
    std::vector<std::string> values;
};

struct Refusal {
    fake_registry::Op op;
    std::string path;
    LONG status;
};

} // namespace

struct HKEY__ {
    std::string path;
    bool open;
};

namespace {

Node g_root;
std::vector<std::unique_ptr<HKEY__>> g_handles;
std::vector<Refusal> g_refusals;
std::vector<std::string> g_calls;
std::vector<std::string> g_misuse;
DWORD g_enumFailIndex = 0xFFFFFFFFu;
LONG g_enumFailStatus = ERROR_SUCCESS;

std::vector<std::string> Split(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t slash = path.find('\\', start);
        parts.push_back(path.substr(start, slash - start));
        if (slash == std::string::npos)
            return parts;
        start = slash + 1;
    }
}

std::string Join(const std::string& base, const std::string& sub)
{
    if (base.empty())
        return sub;
    if (sub.empty())
        return base;
    return base + "\\" + sub;
}

Node* Find(const std::string& path)
{
    Node* node = &g_root;
    if (path.empty())
        return node;
    for (const std::string& part : Split(path)) {
        auto it = node->children.find(part);
        if (it == node->children.end())
            return nullptr;
        node = it->second.get();
    }
    return node;
}

Node* Make(const std::string& path, bool* created)
{
    Node* node = &g_root;
    for (const std::string& part : Split(path)) {
        std::unique_ptr<Node>& child = node->children[part];
        if (!child) {
            child.reset(new Node);
            *created = true;
        }
        node = child.get();
    }
    return node;
}

LONG Refused(fake_registry::Op op, const std::string& path)
{
    for (const Refusal& r : g_refusals)
        if (r.op == op && UpperCase(r.path) == UpperCase(path))
            return r.status;
    return ERROR_SUCCESS;
}

std::string Quote(const char* s)
{
    return s == nullptr ? "null" : "\"" + std::string(s) + "\"";
}

std::string HandleName(HKEY key)
{
    if (key == HKEY_USERS)
        return "HKEY_USERS";
    for (const auto& h : g_handles)
        if (h.get() == key)
            return "[" + h->path + "]";
    return "<unknown handle>";
}

// The path a live handle stands for; false for a closed or unknown handle.
bool BasePath(HKEY key, const char* call, std::string* path)
{
    if (key == HKEY_USERS) {
        path->clear();
        return true;
    }
    for (const auto& h : g_handles) {
        if (h.get() != key)
            continue;
        if (!h->open) {
            g_misuse.push_back(std::string(call) + " on closed handle [" + h->path + "]");
            return false;
        }
        *path = h->path;
        return true;
    }
    g_misuse.push_back(std::string(call) + " on unknown handle");
    return false;
}

void Record(const std::string& line)
{
    g_calls.push_back(line);
}

std::string Hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

HKEY NewHandle(const std::string& path)
{
    g_handles.emplace_back(new HKEY__{path, true});
    return g_handles.back().get();
}

void Collect(const Node& node, const std::string& path, std::vector<std::string>* keys)
{
    for (const auto& child : node.children) {
        std::string childPath = Join(path, child.first);
        keys->push_back(childPath);
        Collect(*child.second, childPath, keys);
    }
}

} // namespace

namespace fake_registry {

void Reset()
{
    g_root.children.clear();
    g_root.values.clear();
    g_handles.clear();
    g_refusals.clear();
    g_calls.clear();
    g_misuse.clear();
    g_enumFailIndex = 0xFFFFFFFFu;
    g_enumFailStatus = ERROR_SUCCESS;
}

void AddKey(const std::string& path)
{
    bool created = false;
    Make(path, &created);
}

void AddValue(const std::string& keyPath, const std::string& valueName)
{
    bool created = false;
    Make(keyPath, &created)->values.push_back(valueName);
}

void Refuse(Op op, const std::string& path, LONG status)
{
    g_refusals.push_back(Refusal{op, path, status});
}

void FailEnumerationFrom(DWORD index, LONG status)
{
    g_enumFailIndex = index;
    g_enumFailStatus = status;
}

std::vector<std::string> Keys()
{
    std::vector<std::string> keys;
    Collect(g_root, "", &keys);
    return keys;
}

const std::vector<std::string>& Calls()
{
    return g_calls;
}

int OpenHandles()
{
    int count = 0;
    for (const auto& h : g_handles)
        count += h->open ? 1 : 0;
    return count;
}

const std::vector<std::string>& Misuse()
{
    return g_misuse;
}

} // namespace fake_registry

using fake_registry::Op;

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPSTR keyClass, LPDWORD classLength, PFILETIME lastWriteTime)
{
    std::string line = "RegEnumKeyExA(" + HandleName(key) + ", " + std::to_string(index) + ", " +
                       (nameLength ? std::to_string(*nameLength) : "null") + ")";
    if (reserved != nullptr || keyClass != nullptr || classLength != nullptr ||
        lastWriteTime == nullptr || name == nullptr || nameLength == nullptr)
        g_misuse.push_back("unexpected arguments: " + line);
    std::string base;
    LONG status = ERROR_SUCCESS;
    const Node* node = nullptr;
    if (!BasePath(key, "RegEnumKeyExA", &base))
        status = ERROR_INVALID_HANDLE;
    else if (key == HKEY_USERS && index >= g_enumFailIndex)
        status = g_enumFailStatus;
    else if ((node = Find(base)) == nullptr)
        status = ERROR_FILE_NOT_FOUND;
    else if (index >= node->children.size())
        status = ERROR_NO_MORE_ITEMS;
    std::string found;
    if (status == ERROR_SUCCESS) {
        auto it = node->children.begin();
        std::advance(it, index);
        found = it->first;
        if (found.size() + 1 > *nameLength) {
            status = ERROR_MORE_DATA;
        } else {
            std::memcpy(name, found.c_str(), found.size() + 1);
            *nameLength = static_cast<DWORD>(found.size());
            *lastWriteTime = FILETIME{0, 0};
        }
    }
    Record(line + " = " + std::to_string(status) +
           (status == ERROR_SUCCESS ? " " + Quote(found.c_str()) : ""));
    return status;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    std::string line =
        "RegOpenKeyExA(" + HandleName(key) + ", " + Quote(subKey) + ", " + Hex(access) + ")";
    if (options != 0 || result == nullptr || subKey == nullptr)
        g_misuse.push_back("unexpected arguments: " + line);
    std::string base;
    LONG status = ERROR_SUCCESS;
    std::string path;
    if (!BasePath(key, "RegOpenKeyExA", &base)) {
        status = ERROR_INVALID_HANDLE;
    } else {
        path = Join(base, subKey ? subKey : "");
        if (Find(path) == nullptr)
            status = ERROR_FILE_NOT_FOUND;
        else
            status = Refused(Op::Open, path);
    }
    if (status == ERROR_SUCCESS)
        *result = NewHandle(path);
    Record(line + " = " + std::to_string(status));
    return status;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition)
{
    std::string line =
        "RegCreateKeyExA(" + HandleName(key) + ", " + Quote(subKey) + ", " + Hex(access) + ")";
    if (reserved != 0 || keyClass == nullptr || std::strcmp(keyClass, "") != 0 ||
        options != REG_OPTION_NON_VOLATILE || security != nullptr || result == nullptr ||
        disposition == nullptr || subKey == nullptr)
        g_misuse.push_back("unexpected arguments: " + line);
    std::string base;
    LONG status = ERROR_SUCCESS;
    std::string path;
    if (!BasePath(key, "RegCreateKeyExA", &base)) {
        status = ERROR_INVALID_HANDLE;
    } else if (key != HKEY_USERS && Find(base) == nullptr) {
        status = 1018; // the key behind the handle was deleted
    } else {
        path = Join(base, subKey ? subKey : "");
        status = Refused(Op::Create, path);
    }
    if (status == ERROR_SUCCESS) {
        bool created = false;
        Make(path, &created);
        *result = NewHandle(path);
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    Record(line + " = " + std::to_string(status));
    return status;
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    std::string line = "RegDeleteKeyA(" + HandleName(key) + ", " + Quote(subKey) + ")";
    std::string base;
    LONG status = ERROR_SUCCESS;
    if (subKey == nullptr || subKey[0] == '\0') {
        g_misuse.push_back("unexpected arguments: " + line);
        status = ERROR_BAD_PATHNAME;
    } else if (!BasePath(key, "RegDeleteKeyA", &base)) {
        status = ERROR_INVALID_HANDLE;
    } else {
        std::string path = Join(base, subKey);
        std::vector<std::string> parts = Split(path);
        std::string leaf = parts.back();
        parts.pop_back();
        std::string parentPath;
        for (const std::string& part : parts)
            parentPath = Join(parentPath, part);
        Node* parent = Find(parentPath);
        Node* target = Find(path);
        if (parent == nullptr || target == nullptr)
            status = ERROR_FILE_NOT_FOUND;
        else if (!target->children.empty())
            status = ERROR_ACCESS_DENIED;
        else if ((status = Refused(Op::Delete, path)) == ERROR_SUCCESS)
            parent->children.erase(leaf);
    }
    Record(line + " = " + std::to_string(status));
    return status;
}

LONG RegCloseKey(HKEY key)
{
    Record("RegCloseKey(" + HandleName(key) + ")");
    if (key == HKEY_USERS) {
        g_misuse.push_back("RegCloseKey(HKEY_USERS)");
        return ERROR_SUCCESS;
    }
    for (const auto& h : g_handles) {
        if (h.get() != key)
            continue;
        if (!h->open) {
            g_misuse.push_back("RegCloseKey on closed handle [" + h->path + "]");
            return ERROR_INVALID_HANDLE;
        }
        h->open = false;
        return ERROR_SUCCESS;
    }
    g_misuse.push_back("RegCloseKey on unknown handle");
    return ERROR_INVALID_HANDLE;
}
