// Randomized registries checked against an independent model of the sweep
// and the removal. One generator and one model; each registry the program can
// run on (the in-memory double, the directory store, Wine's registry) plugs
// in as a backend.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct RandomCase {
    std::uint64_t seed = 0;
    std::string input;
    std::vector<std::string> hives;     // in the order they were made
    std::set<std::string> keys;         // every key, hives included
    std::vector<std::string> valueKeys; // keys that hold a value
    std::set<std::string> refuseRead;   // product keys the probe cannot open
    std::set<std::string> refuseOpen;   // keys that will not open for the removal
    std::set<std::string> refuseDelete; // keys that will not be deleted
    long enumerationFailsAt = -1;       // index of HKEY_USERS enumeration that fails
};

struct RandomBackend {
    const char* name;
    bool refusesOpens;
    bool refusesDeletes;
    bool failsEnumeration;
    void (*prepare)(const RandomCase& c); // seeds the registry, applies refusals
    std::vector<std::string> (*keysLeft)(const RandomCase& c);
    std::string (*problems)(); // misuse the backend saw, "" when none
    void (*cleanup)(const RandomCase& c);
};

RandomCase GenerateCase(std::uint64_t seed, const RandomBackend& backend);

// The seed to start from: RANDOM_SEED from the environment, else a fixed one.
std::uint64_t FirstSeed();

// Runs count cases; "" when all agree with the model, else the first failure
// with its seed.
std::string RunRandomCases(const RandomBackend& backend, int count);
