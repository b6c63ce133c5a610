// What the end-to-end driver needs of the platform it runs on.
#pragma once

#include "end_to_end_cases.h"

#include <string>
#include <vector>

struct ProgramRun {
    std::string output;
    int exitStatus;
};

// Whether key security can refuse opens here (the directory store has none).
bool RegistryEnforcesSecurity();
// Removes the named hives and everything in them (and may remove more).
void ClearHives(const std::vector<std::string>& hives);
// Each key of valueKeys gets two values, their data naming the key.
void SeedKeys(const std::vector<std::string>& keys, const std::vector<std::string>& valueKeys);
// Every value below the named hives: "<key> : <name> = <data>".
std::vector<std::string> ValuesOfHives(const std::vector<std::string>& hives);
void Refuse(const Refusal& refusal);
// Every key below the named hives, the hives themselves included.
std::vector<std::string> KeysOfHives(const std::vector<std::string>& hives);
ProgramRun RunProgram(const std::string& input);

// What SeedKeys stored in a key, as ValuesOfHives lists it.
inline std::vector<std::string> SeededValues(const std::string& key)
{
    return {key + " : Value = " + key, key + " : Width = " + key + " 1280"};
}

#ifdef _WIN32
#include <windows.h>

std::vector<std::string> SubkeyNames(HKEY key);
// Denies everyone the given access rights on a key (0: denies nothing).
void DenyAccess(const std::string& key, unsigned long rights);

struct Denial {
    std::string key;
    unsigned long rights;
};
Denial DenialFor(const Refusal& refusal);

// Where the program and the tests are.
std::string ProgramDirectory();
// Runs any program with its standard input from input and its output, error
// output included, into the result.
ProgramRun RunCommand(const std::string& program, std::string commandLine,
                      const std::string& input);
#endif
