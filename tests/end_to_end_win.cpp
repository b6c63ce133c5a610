// The program against the real registry: hives are made directly under
// HKEY_USERS, refusals are deny entries in a key's security, and the program
// runs as a child process with its standard streams on files.
#include "end_to_end.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

std::string ProgramDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path, length);
    return self.substr(0, self.find_last_of('\\'));
}

namespace {

void Check(LONG status, const std::string& what)
{
    if (status != ERROR_SUCCESS)
        throw std::runtime_error(what + " failed with " + std::to_string(status));
}

} // namespace

// A DACL that denies everyone the given rights and allows the rest.
void DenyAccess(const std::string& path, unsigned long denied)
{
    HKEY key;
    Check(RegOpenKeyExA(HKEY_USERS, path.c_str(), 0, WRITE_DAC, &key), "open " + path);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    char aclBuffer[256];
    PACL acl = reinterpret_cast<PACL>(aclBuffer);
    InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
    if (denied != 0)
        AddAccessDeniedAce(acl, ACL_REVISION, denied, everyone);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    LONG status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    FreeSid(everyone);
    RegCloseKey(key);
    Check(status, "set security of " + path);
}

namespace {

void Collect(const std::string& path, std::vector<std::string>* keys)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_USERS, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &key) != ERROR_SUCCESS)
        return;
    keys->push_back(path);
    std::vector<std::string> children = SubkeyNames(key);
    RegCloseKey(key);
    for (const std::string& child : children)
        Collect(path + "\\" + child, keys);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

std::vector<std::string> SubkeyNames(HKEY key)
{
    std::vector<std::string> names;
    char name[1024];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return names;
        names.push_back(name);
    }
}

bool RegistryEnforcesSecurity()
{
    return true;
}

// Lifts every deny entry below a hive (the denied rights never include
// WRITE_DAC or enumeration), then deletes the hive whole.
void ClearHives(const std::vector<std::string>& hives)
{
    for (const std::string& hive : hives) {
        std::vector<std::string> keys;
        Collect(hive, &keys);
        for (const std::string& key : keys)
            DenyAccess(key, 0);
        RegDeleteTreeA(HKEY_USERS, hive.c_str());
        RegDeleteKeyA(HKEY_USERS, hive.c_str());
    }
}

void SeedKeys(const std::vector<std::string>& keys, const std::vector<std::string>& valueKeys)
{
    for (const std::string& path : keys) {
        HKEY key;
        Check(RegCreateKeyExA(HKEY_USERS, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              "create " + path);
        RegCloseKey(key);
    }
    for (const std::string& path : valueKeys) {
        HKEY key;
        Check(RegOpenKeyExA(HKEY_USERS, path.c_str(), 0, KEY_SET_VALUE, &key), "open " + path);
        for (const char* name : {"Value", "Width"}) {
            std::string data = path + (name[0] == 'W' ? " 1280" : "");
            Check(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                 static_cast<DWORD>(data.size() + 1)),
                  "set a value of " + path);
        }
        RegCloseKey(key);
    }
}

std::vector<std::string> ValuesOfHives(const std::vector<std::string>& hives)
{
    std::vector<std::string> values;
    for (const std::string& path : KeysOfHives(hives)) {
        // A refusal may deny reading values; the run is over.
        DenyAccess(path, 0);
        HKEY key;
        if (RegOpenKeyExA(HKEY_USERS, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            continue;
        for (DWORD index = 0;; ++index) {
            char name[256];
            DWORD nameLength = sizeof name;
            BYTE data[2048];
            DWORD dataLength = sizeof data - 1;
            if (RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, data, &dataLength) !=
                ERROR_SUCCESS)
                break;
            data[dataLength] = 0;
            values.push_back(path + " : " + name + " = " + reinterpret_cast<char*>(data));
        }
        RegCloseKey(key);
    }
    return values;
}

// What each refusal denies, and on which key: the probe opens the product
// key to read, the removal opens the vendor key to create subkeys and the
// product and options keys to write.
Denial DenialFor(const Refusal& refusal)
{
    std::string product = refusal.hive + "\\Software\\Velk\\ZARPH";
    switch (refusal.what) {
    case Deny::ReadProduct:
        return {product, KEY_QUERY_VALUE};
    case Deny::CreateSubKeyVendor:
        return {refusal.hive + "\\Software\\Velk", KEY_CREATE_SUB_KEY};
    case Deny::WriteProduct:
        return {product, KEY_SET_VALUE};
    case Deny::WriteOptions:
        break;
    }
    return {product + "\\Options", KEY_SET_VALUE};
}

void Refuse(const Refusal& refusal)
{
    Denial denial = DenialFor(refusal);
    DenyAccess(denial.key, denial.rights);
}

std::vector<std::string> KeysOfHives(const std::vector<std::string>& hives)
{
    std::vector<std::string> keys;
    for (const std::string& hive : hives)
        Collect(hive, &keys);
    return keys;
}

ProgramRun RunProgram(const std::string& input)
{
    std::string program = ProgramDirectory() + "\\settings_cleaner.exe";
    return RunCommand(program, "\"" + program + "\"", input);
}

ProgramRun RunCommand(const std::string& program, std::string commandLine, const std::string& input)
{
    std::string dir = ProgramDirectory();
    std::string inPath = dir + "\\e2e-input.txt";
    std::string outPath = dir + "\\e2e-output.txt";
    std::ofstream(inPath, std::ios::binary) << input;

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE in = CreateFileA(inPath.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &process))
        throw std::runtime_error("cannot start " + program);
    CloseHandle(in);
    CloseHandle(out);
    DWORD exitCode = 0;
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
        exitCode = 99;
    } else {
        GetExitCodeProcess(process.hProcess, &exitCode);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);

    ProgramRun run{ReadFile(outPath), static_cast<int>(exitCode)};
    DeleteFileA(inPath.c_str());
    DeleteFileA(outPath.c_str());
    return run;
}
