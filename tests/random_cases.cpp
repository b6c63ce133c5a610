#include "random_cases.h"

#include "end_to_end.h"
#include "fake_console.h"
#include "messages.h"
#include "settings_cleaner.h"

#include <algorithm>
#include <cstdlib>
#include <random>
#include <sstream>

namespace {

// --- Generator -------------------------------------------------------------

class Draw {
public:
    explicit Draw(std::uint64_t seed) : engine_(seed) {}
    bool Chance(double p)
    {
        return std::uniform_real_distribution<double>(0, 1)(engine_) < p;
    }
    int Upto(int n)
    {
        return std::uniform_int_distribution<int>(0, n)(engine_);
    }
    template <typename T>
    const T& Pick(const std::vector<T>& items)
    {
        return items[static_cast<size_t>(Upto(static_cast<int>(items.size()) - 1))];
    }

private:
    std::mt19937_64 engine_;
};

char Up(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool UpperLess(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(Up(x)) < static_cast<unsigned char>(Up(y));
    });
}

bool StartsWithIgnoringCase(const std::string& key, const std::string& prefix)
{
    return key.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), key.begin(),
                                                     [](char x, char y) { return Up(x) == Up(y); });
}

// Adds a key and whatever is missing above it. A key that is there under
// another spelling keeps its own, and so do the keys made beneath it.
void AddWithParents(KeySet* keys, const std::string& path)
{
    std::string stored;
    for (size_t start = 0;;) {
        size_t slash = path.find('\\', start);
        std::string part = path.substr(start, slash == std::string::npos ? slash : slash - start);
        std::string key = stored.empty() ? part : stored + "\\" + part;
        stored = *keys->insert(key).first;
        if (slash == std::string::npos)
            return;
        start = slash + 1;
    }
}

// The spellings a hive's settings may have been stored with; mostly the
// program's own.
std::string Spelling(Draw& draw, const std::string& name)
{
    if (!draw.Chance(0.15))
        return name;
    std::string spelled = name;
    int style = draw.Upto(2);
    for (size_t i = 0; i < spelled.size(); ++i) {
        char c = spelled[i];
        bool upper = style == 0 || (style == 2 && i % 2 == 0);
        spelled[i] = upper ? Up(c) : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return spelled;
}

// A run of numbered entries, 0 up to some count, maybe with a gap and
// entries of its own beyond it.
void AddRun(Draw& draw, RandomCase& c, const std::string& options, const std::string& prefix)
{
    int count = draw.Upto(4);
    int gap = draw.Chance(0.3) ? draw.Upto(count) : -1;
    for (int n = 0; n < count + (gap >= 0 ? 2 : 0); ++n) {
        if (n == gap)
            continue;
        std::string entry = options + "\\" + prefix + std::to_string(n);
        AddWithParents(&c.keys, entry);
        if (draw.Chance(0.08)) {
            AddWithParents(&c.keys, entry + "\\Servers");
            if (draw.Chance(0.5))
                c.valueKeys.push_back(entry + "\\Servers");
        }
        if (draw.Chance(0.2))
            c.valueKeys.push_back(entry);
    }
}

void AddHive(Draw& draw, RandomCase& c, const RandomBackend& backend, const std::string& hive)
{
    c.hives.push_back(hive);
    c.keys.insert(hive);
    std::string software = hive + "\\" + Spelling(draw, "Software");
    std::string vendor = software + "\\" + Spelling(draw, "Velk");
    std::string product = vendor + "\\" + Spelling(draw, "ZARPH");
    std::string options = product + "\\" + Spelling(draw, "Options");

    int depth = draw.Upto(10); // mostly hives with settings
    if (depth >= 1)
        AddWithParents(&c.keys, software);
    if (draw.Chance(0.3))
        AddWithParents(&c.keys, software + "\\Other\\Deep");
    if (depth >= 2)
        AddWithParents(&c.keys, vendor);
    if (depth >= 2 && draw.Chance(0.3))
        AddWithParents(&c.keys, vendor + "\\ZARPH2");
    if (depth < 3)
        return;
    AddWithParents(&c.keys, product);
    if (draw.Chance(0.85)) {
        AddWithParents(&c.keys, options);
        AddRun(draw, c, options, Spelling(draw, "Host"));
        AddRun(draw, c, options, Spelling(draw, "History"));
        if (draw.Chance(0.1))
            AddWithParents(&c.keys, options + "\\Window");
        if (draw.Chance(0.05))
            AddWithParents(&c.keys, options + "\\Host00");
    }
    if (draw.Chance(0.1))
        AddWithParents(&c.keys, product + "\\Recent");
    // Values on the layout and on keys beside it, which must stay with them.
    for (const std::string& key :
         {vendor, product, options, options + "\\Window", options + "\\Host00",
          product + "\\Recent", software + "\\Other\\Deep", vendor + "\\ZARPH2"})
        if (c.keys.count(key) && draw.Chance(0.25))
            c.valueKeys.push_back(key);

    if (backend.refusesOpens && draw.Chance(0.08))
        c.refuseRead.insert(product);
    for (const std::string& key : {vendor, product, options})
        if (backend.refusesOpens && c.keys.count(key) && draw.Chance(0.06))
            c.refuseOpen.insert(key);
    if (backend.refusesDeletes && draw.Chance(0.15)) {
        std::vector<std::string> inside;
        for (const std::string& key : c.keys)
            if (StartsWithIgnoringCase(key, product))
                inside.push_back(key);
        c.refuseDelete.insert(draw.Pick(inside));
    }
}

// --- Model -----------------------------------------------------------------

bool HasChildren(const KeySet& keys, const std::string& key)
{
    auto it = keys.lower_bound(key + "\\");
    return it != keys.end() && StartsWithIgnoringCase(*it, key + "\\");
}

struct Expectation {
    std::string output;
    int exitStatus;
    KeySet keys;
};

struct Model {
    const RandomCase& c;
    KeySet keys;

    bool Delete(const std::string& key)
    {
        if (!keys.count(key) || HasChildren(keys, key) || c.refuseDelete.count(key))
            return false;
        keys.erase(key);
        return true;
    }

    // Opening is creating: a missing key is made, with what is missing above.
    bool Open(const std::string& key)
    {
        if (c.refuseOpen.count(key))
            return false;
        AddWithParents(&keys, key);
        return true;
    }

    // Removal of one hive: leaves first, each run up to its first failure.
    int Remove(const std::string& hive, std::string* output)
    {
        std::string vendor = hive + "\\Software\\Velk";
        std::string product = vendor + "\\ZARPH";
        std::string options = product + "\\Options";
        if (!Open(vendor))
            return 0;
        if (Open(product)) {
            if (Open(options)) {
                for (const char* prefix : {"Host", "History"})
                    for (int n = 0; Delete(options + "\\" + prefix + std::to_string(n)); ++n) {}
            }
            Delete(options);
        }
        bool gone = Delete(product);
        *output += Sjis(gone ? MSG_DELETED : MSG_NOT_DELETED);
        return gone ? 1 : 0;
    }

    Expectation Run()
    {
        keys = c.keys;
        std::string output = Sjis(MSG_PROMPT);
        char first = c.input.empty() ? '\0' : c.input[0];
        if (first != 'y' && first != 'Y')
            return {output + Sjis(MSG_CANCELLED MSG_PRESS_ENTER), 1, keys};

        std::vector<std::string> order = c.hives;
        std::sort(order.begin(), order.end(), UpperLess);
        if (c.enumerationFailsAt >= 0 && static_cast<size_t>(c.enumerationFailsAt) < order.size())
            order.resize(static_cast<size_t>(c.enumerationFailsAt));
        int found = 0;
        int deleted = 0;
        for (const std::string& hive : order) {
            std::string product = hive + "\\Software\\Velk\\ZARPH";
            if (!keys.count(product) || c.refuseRead.count(product))
                continue;
            ++found;
            output += FoundLine(hive);
            deleted += Remove(hive, &output);
        }
        if (found == 0) {
            output += Sjis(MSG_NONE_FOUND);
        } else {
            output += DeletedCountLine(deleted);
            if (found != deleted)
                output += NotDeletedCountLine(found - deleted);
        }
        return {output + Sjis(MSG_PRESS_ENTER), 0, keys};
    }
};

std::string Describe(const RandomCase& c)
{
    std::ostringstream out;
    out << "seed " << c.seed << ", input \"" << c.input.substr(0, 12) << "\"\n";
    if (c.enumerationFailsAt >= 0)
        out << "  enumeration fails at index " << c.enumerationFailsAt << "\n";
    for (const std::string& key : c.keys)
        out << "  " << key << (c.refuseRead.count(key) ? "  [probe refused]" : "")
            << (c.refuseOpen.count(key) ? "  [open refused]" : "")
            << (c.refuseDelete.count(key) ? "  [delete refused]" : "") << "\n";
    return out.str();
}

template <typename Keys>
std::string Listing(const Keys& keys)
{
    std::string out;
    for (const std::string& key : keys)
        out += "    " + key + "\n";
    return out;
}

// What must hold whatever the model says.
std::string BrokenInvariant(const RandomCase& c, const KeySet& after)
{
    for (const std::string& key : c.keys) {
        if (after.count(key))
            continue;
        bool inProduct = false;
        for (const std::string& hive : c.hives) {
            std::string product = hive + "\\Software\\Velk\\ZARPH";
            if (!NoCaseLess()(key, product) && !NoCaseLess()(product, key))
                inProduct = true;
            if (StartsWithIgnoringCase(key, product + "\\"))
                inProduct = true;
        }
        if (!inProduct)
            return "deleted outside a product key: " + key;
    }
    return "";
}

// Spellings as stored, compared exactly.
std::set<std::string> Exact(const KeySet& keys)
{
    return std::set<std::string>(keys.begin(), keys.end());
}

// The values of every value key that is left, as they were seeded.
std::set<std::string> ValuesOf(const RandomCase& c, const KeySet& keys)
{
    std::set<std::string> values;
    for (const std::string& key : c.valueKeys)
        if (keys.count(key))
            for (const std::string& value : SeededValues(key))
                values.insert(value);
    return values;
}

} // namespace

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const
{
    return UpperLess(a, b);
}

RandomCase GenerateCase(std::uint64_t seed, const RandomBackend& backend)
{
    Draw draw(seed);
    RandomCase c;
    c.seed = seed;
    static const std::vector<std::string> answers = {"y\n\n", "y\n\n", "y\n\n", "Y\n\n",
                                                     "yes\n", "y",     "n\n\n", "\n\n",
                                                     "",      " y\n",  "N\n"};
    c.input = draw.Pick(answers);
    int hives = draw.Upto(4);
    std::set<int> used;
    for (int i = 0; i < hives; ++i) {
        int number = 1000 + draw.Upto(60);
        if (!used.insert(number).second)
            continue;
        std::string name = draw.Chance(0.1) ? "%s%d-" + std::to_string(number)
                                            : "S-1-5-21-7-" + std::to_string(number);
        if (draw.Chance(0.1))
            name += "_Classes";
        AddHive(draw, c, backend, name);
    }
    if (backend.failsEnumeration && draw.Chance(0.05))
        c.enumerationFailsAt = draw.Upto(static_cast<int>(c.hives.size()));
    return c;
}

std::uint64_t FirstSeed()
{
    const char* text = std::getenv("RANDOM_SEED");
    return text != nullptr ? std::strtoull(text, nullptr, 10) : 20261211;
}

std::string RunRandomCases(const RandomBackend& backend, int count)
{
    std::uint64_t first = FirstSeed();
    for (int i = 0; i < count; ++i) {
        RandomCase c = GenerateCase(first + static_cast<std::uint64_t>(i), backend);
        backend.prepare(c);
        fake_console::Reset(c.input);
        int status = RunSettingsCleaner();
        std::vector<std::string> left = backend.keysLeft(c);
        KeySet after(left.begin(), left.end());
        std::vector<std::string> values;
        if (backend.valuesLeft != nullptr)
            values = backend.valuesLeft(c);
        std::string problems = backend.problems();
        backend.cleanup(c);

        Model model{c, {}};
        Expectation expected = model.Run();
        std::string failure;
        if (!problems.empty())
            failure = problems;
        else if (!(failure = BrokenInvariant(c, after)).empty())
            ;
        else if (fake_console::Output() != expected.output)
            failure = "output differs:\n  expected: " + expected.output +
                      "\n  actual:   " + fake_console::Output();
        else if (status != expected.exitStatus)
            failure = "exit status " + std::to_string(status) + ", expected " +
                      std::to_string(expected.exitStatus);
        else if (Exact(after) != Exact(expected.keys) || after.size() != left.size())
            failure = "keys left differ; expected:\n" + Listing(expected.keys) + "  actual:\n" +
                      Listing(left);
        else if (backend.valuesLeft != nullptr &&
                 std::set<std::string>(values.begin(), values.end()) != ValuesOf(c, after))
            failure = "values left differ; expected:\n" + Listing(ValuesOf(c, after)) +
                      "  actual:\n" + Listing(values);
        if (!failure.empty())
            return std::string(backend.name) + ", case " + std::to_string(i) + " (rerun with " +
                   "RANDOM_SEED=" + std::to_string(c.seed) + "): " + failure + "\n" + Describe(c);
    }
    return "";
}
