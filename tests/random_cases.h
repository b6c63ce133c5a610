// Randomized registries checked against an independent model of the sweep
// and the removal. One generator and one model; each registry the program can
// run on (the in-memory double, the directory store, Wine's registry) plugs
// in as a backend.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

// Key paths compared as the registry compares names: ASCII case ignored.
struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};
using KeySet = std::set<std::string, NoCaseLess>;

struct RandomCase {
    std::uint64_t seed = 0;
    std::string input;
    std::vector<std::string> hives;     // in the order they were made
    KeySet keys;                        // every key, hives included
    std::vector<std::string> valueKeys; // keys that hold a value
    KeySet refuseRead;                  // product keys the probe cannot open
    KeySet refuseOpen;                  // keys that will not open for the removal
    KeySet refuseDelete;                // keys that will not be deleted
    long enumerationFailsAt = -1;       // index of HKEY_USERS enumeration that fails
};

struct RandomBackend {
    const char* name;
    bool refusesOpens;
    bool refusesDeletes;
    bool failsEnumeration;
    void (*prepare)(const RandomCase& c); // seeds the registry, applies refusals
    std::vector<std::string> (*keysLeft)(const RandomCase& c);
    // Every value left, as ValuesOfHives lists them; null where values
    // cannot be lost (the in-memory registry drops a key whole).
    std::vector<std::string> (*valuesLeft)(const RandomCase& c);
    std::string (*problems)(); // misuse the backend saw, "" when none
    void (*cleanup)(const RandomCase& c);
};

RandomCase GenerateCase(std::uint64_t seed, const RandomBackend& backend);

// The seed to start from: RANDOM_SEED from the environment, else a fixed one.
std::uint64_t FirstSeed();

// Runs count cases; "" when all agree with the model, else the first failure
// with its seed.
std::string RunRandomCases(const RandomBackend& backend, int count);
