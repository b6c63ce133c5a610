// The program against its directory store: seeding and reading back go
// straight to the directories.
#include "end_to_end.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kUsers = std::string(REGISTRY_ROOT) + "/HKEY_USERS";

std::string Directory(const std::string& key)
{
    std::string path = kUsers + "/" + key;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

void MakeDirectories(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0777);
        if (slash == std::string::npos)
            return;
    }
}

void RemoveTree(const std::string& path)
{
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "/" + name;
            struct stat st;
            if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                RemoveTree(child);
            else
                unlink(child.c_str());
        }
        closedir(dir);
    }
    rmdir(path.c_str());
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

std::string TempPath(const char* what)
{
    return std::string(REGISTRY_ROOT) + "-" + what + "." + std::to_string(getpid());
}

} // namespace

bool RegistryEnforcesSecurity()
{
    return false;
}

// The program sweeps every hive in the store, so the store is cleared whole.
void ClearHives(const std::vector<std::string>&)
{
    RemoveTree(kUsers);
}

void SeedKeys(const std::vector<std::string>& keys, const std::vector<std::string>& valueKeys)
{
    for (const std::string& key : keys)
        MakeDirectories(Directory(key));
    for (const std::string& key : valueKeys) {
        std::ofstream(Directory(key) + "/Value") << key;
        std::ofstream(Directory(key) + "/Width") << key << " 1280";
    }
}

std::vector<std::string> ValuesOfHives(const std::vector<std::string>& hives)
{
    std::vector<std::string> values;
    for (const std::string& key : KeysOfHives(hives)) {
        DIR* dir = opendir(Directory(key).c_str());
        if (dir == nullptr)
            continue;
        while (dirent* entry = readdir(dir)) {
            std::string path = Directory(key) + "/" + entry->d_name;
            struct stat st;
            if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            std::ifstream file(path, std::ios::binary);
            std::stringstream data;
            data << file.rdbuf();
            values.push_back(key + " : " + entry->d_name + " = " + data.str());
        }
        closedir(dir);
    }
    return values;
}

void Refuse(const Refusal&)
{
    throw std::logic_error("the directory store cannot refuse");
}

std::vector<std::string> KeysOfHives(const std::vector<std::string>& hives)
{
    std::vector<std::string> keys;
    for (const std::string& hive : hives)
        Collect(Directory(hive), hive, &keys);
    return keys;
}

ProgramRun RunProgram(const std::string& input)
{
    std::string inPath = TempPath("in");
    std::string outPath = TempPath("out");
    std::ofstream(inPath, std::ios::binary) << input;

    pid_t child = fork();
    if (child == 0) {
        int in = open(inPath.c_str(), O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0);
        dup2(out, 1);
        // Under valgrind any memory error or leak turns into exit status 99.
        if (std::getenv("E2E_VALGRIND") != nullptr)
            execlp("valgrind", "valgrind", "-q", "--error-exitcode=99", "--leak-check=full",
                   "--show-leak-kinds=all", "--errors-for-leak-kinds=all", SETTINGS_CLEANER_PATH,
                   static_cast<char*>(nullptr));
        else
            execl(SETTINGS_CLEANER_PATH, SETTINGS_CLEANER_PATH, static_cast<char*>(nullptr));
        _exit(127);
    }
    // A run that hangs is killed and fails the case.
    int status = 0;
    for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; ++waited) {
        if (waited == 6000) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        usleep(10000);
    }

    std::ifstream outFile(outPath, std::ios::binary);
    std::stringstream output;
    output << outFile.rdbuf();
    unlink(inPath.c_str());
    unlink(outPath.c_str());
    return ProgramRun{output.str(), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}
