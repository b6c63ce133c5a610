// End-to-end cases, shared by every build: the real program runs on a seeded
// registry; its exact output bytes, exit status and the keys left are checked.
#pragma once

#include "messages.h"

#include <ostream>
#include <string>
#include <vector>

// What a real registry can refuse through a key's security: these cases run
// only where the registry enforces it.
enum class Deny {
    ReadProduct,        // the probe's open for reading
    CreateSubKeyVendor, // opening the vendor key to create subkeys
    WriteProduct,       // opening the product key to write
    WriteOptions,       // opening the options key to write
};

struct Refusal {
    Deny what;
    std::string hive;
};

struct EndToEndCase {
    const char* name;
    std::string input;
    std::vector<std::string> keys;   // relative to HKEY_USERS; hives are the first components
    std::vector<std::string> values; // keys that get values (SeedKeys)
    std::vector<Refusal> refusals;
    const char* output; // UTF-8; Shift_JIS with CR LF on the console
    int exitStatus;
    std::vector<std::string> left; // every key of the seeded hives afterwards
};

inline void PrintTo(const EndToEndCase& c, std::ostream* os)
{
    *os << c.name;
}

#define E2E_HIVE_A "S-1-5-21-700-1001"
#define E2E_HIVE_B "S-1-5-21-700-1002"
#define E2E_HIVE_C "S-1-5-21-700-1003"
#define E2E_FOUND(hive) "HKEY_USERS\\" hive "\\Software\\Velk\\ZARPH が見つかりました。\n"

inline std::vector<std::string> E2EPath(const char* hive, const std::vector<std::string>& tail)
{
    std::vector<std::string> keys;
    std::string path = hive;
    keys.push_back(path);
    for (const std::string& part : tail) {
        path += "\\" + part;
        keys.push_back(path);
    }
    return keys;
}

inline std::vector<std::string> operator+(std::vector<std::string> a,
                                          const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline std::vector<std::string> E2ESettings(const char* hive)
{
    std::string product = std::string(hive) + "\\Software\\Velk\\ZARPH";
    return E2EPath(hive, {"Software", "Velk", "ZARPH", "Options"}) +
           std::vector<std::string>{product + "\\Options\\Host0", product + "\\Options\\Host1",
                                    product + "\\Options\\History0"};
}

inline std::vector<std::string> E2EVendorOnly(const char* hive)
{
    return E2EPath(hive, {"Software", "Velk"});
}

inline const std::vector<EndToEndCase>& EndToEndCases()
{
    static const std::vector<EndToEndCase> cases = {
        {"Declined",
         "n\n\n",
         E2ESettings(E2E_HIVE_A),
         {E2E_HIVE_A "\\Software\\Velk\\ZARPH",
          E2E_HIVE_A "\\Software\\Velk\\ZARPH\\Options\\Host1"},
         {},
         MSG_PROMPT MSG_CANCELLED MSG_PRESS_ENTER,
         1,
         E2ESettings(E2E_HIVE_A)},
        {"EndOfInputDeclines",
         "",
         E2ESettings(E2E_HIVE_A),
         {},
         {},
         MSG_PROMPT MSG_CANCELLED MSG_PRESS_ENTER,
         1,
         E2ESettings(E2E_HIVE_A)},
        {"NothingFound",
         "y\n\n",
         E2EVendorOnly(E2E_HIVE_A) + E2EPath(E2E_HIVE_B, {"Software"}),
         {},
         {},
         MSG_PROMPT MSG_NONE_FOUND MSG_PRESS_ENTER,
         0,
         E2EVendorOnly(E2E_HIVE_A) + E2EPath(E2E_HIVE_B, {"Software"})},
        {"TwoHivesDeletedWithTheirValues",
         "Yes\n\n",
         E2ESettings(E2E_HIVE_A) + E2ESettings(E2E_HIVE_B) + E2EPath(E2E_HIVE_C, {}),
         {E2E_HIVE_A "\\Software\\Velk\\ZARPH", E2E_HIVE_A "\\Software\\Velk\\ZARPH\\Options",
          E2E_HIVE_B "\\Software\\Velk\\ZARPH\\Options\\Host0"},
         {},
         MSG_PROMPT E2E_FOUND(E2E_HIVE_A) MSG_DELETED E2E_FOUND(E2E_HIVE_B)
             MSG_DELETED u8"2個のZARPHのデータを削除しました。\n" MSG_PRESS_ENTER,
         0,
         E2EVendorOnly(E2E_HIVE_A) + E2EVendorOnly(E2E_HIVE_B) + E2EPath(E2E_HIVE_C, {})},
        {"GapInNumberingKeepsTheRest",
         "y\n\n",
         E2ESettings(E2E_HIVE_A) +
             std::vector<std::string>{E2E_HIVE_A "\\Software\\Velk\\ZARPH\\Options\\Host3"} +
             E2ESettings(E2E_HIVE_B),
         E2EPath(E2E_HIVE_A, {"Software", "Velk", "ZARPH", "Options", "Host3"}) +
             std::vector<std::string>{E2E_HIVE_A "\\Software\\Velk\\ZARPH\\Options\\Host0"},
         {},
         MSG_PROMPT E2E_FOUND(E2E_HIVE_A) MSG_NOT_DELETED E2E_FOUND(E2E_HIVE_B)
             MSG_DELETED u8"1個のZARPHのデータを削除しました。\n"
                         u8"1個のZARPHのデータが削除できませんでした。\n" MSG_PRESS_ENTER,
         0,
         E2EPath(E2E_HIVE_A, {"Software", "Velk", "ZARPH", "Options", "Host3"}) +
             E2EVendorOnly(E2E_HIVE_B)},
        {"ForeignSubkeyKeepsTheProduct",
         "y\n\n",
         E2ESettings(E2E_HIVE_A) +
             std::vector<std::string>{E2E_HIVE_A "\\Software\\Velk\\ZARPH\\Window"},
         {E2E_HIVE_A "\\Software\\Velk\\ZARPH", E2E_HIVE_A "\\Software\\Velk\\ZARPH\\Window",
          E2E_HIVE_A "\\Software\\Velk\\ZARPH\\Options"},
         {},
         MSG_PROMPT E2E_FOUND(E2E_HIVE_A)
             MSG_NOT_DELETED u8"0個のZARPHのデータを削除しました。\n"
                             u8"1個のZARPHのデータが削除できませんでした。\n" MSG_PRESS_ENTER,
         0,
         E2EPath(E2E_HIVE_A, {"Software", "Velk", "ZARPH", "Window"})},
        // The registry matches names ignoring case and keeps their spelling.
        {"LayoutInAnotherCase",
         "y\n\n",
         E2EPath(E2E_HIVE_A, {"software", "velk", "zarph", "options", "host0"}) +
             std::vector<std::string>{E2E_HIVE_A "\\software\\velk\\zarph\\options\\HOST1",
                                      E2E_HIVE_A "\\software\\velk\\zarph\\options\\History0"} +
             E2EPath(E2E_HIVE_B, {"SOFTWARE", "VELK", "zarph", "OPTIONS", "host0"}) +
             std::vector<std::string>{E2E_HIVE_B "\\SOFTWARE\\VELK\\zarph\\OPTIONS\\HoSt2"},
         {E2E_HIVE_A "\\software\\velk", E2E_HIVE_A "\\software\\velk\\zarph\\options",
          E2E_HIVE_B "\\SOFTWARE\\VELK\\zarph",
          E2E_HIVE_B "\\SOFTWARE\\VELK\\zarph\\OPTIONS\\HoSt2"},
         {},
         MSG_PROMPT E2E_FOUND(E2E_HIVE_A) MSG_DELETED E2E_FOUND(E2E_HIVE_B)
             MSG_NOT_DELETED u8"1個のZARPHのデータを削除しました。\n"
                             u8"1個のZARPHのデータが削除できませんでした。\n" MSG_PRESS_ENTER,
         0,
         E2EPath(E2E_HIVE_A, {"software", "velk"}) +
             E2EPath(E2E_HIVE_B, {"SOFTWARE", "VELK", "zarph", "OPTIONS", "HoSt2"})},
        {"ProductWithoutOptions",
         "y\n\n",
         E2EPath(E2E_HIVE_A, {"Software", "Velk", "ZARPH"}),
         {},
         {},
         MSG_PROMPT E2E_FOUND(E2E_HIVE_A)
             MSG_DELETED u8"1個のZARPHのデータを削除しました。\n" MSG_PRESS_ENTER,
         0,
         E2EVendorOnly(E2E_HIVE_A)},
        {"LongAnswerLineNeedsNoSecondEnter",
         "y" + std::string(1500, 'x') + "\n",
         E2ESettings(E2E_HIVE_A),
         {},
         {},
         MSG_PROMPT E2E_FOUND(E2E_HIVE_A)
             MSG_DELETED u8"1個のZARPHのデータを削除しました。\n" MSG_PRESS_ENTER,
         0,
         E2EVendorOnly(E2E_HIVE_A)},
        // Refusals through key security.
        {"UnreadableProductIsPassedOver",
         "y\n\n",
         E2ESettings(E2E_HIVE_A) + E2ESettings(E2E_HIVE_B),
         {E2E_HIVE_A "\\Software\\Velk\\ZARPH"},
         {{Deny::ReadProduct, E2E_HIVE_A}},
         MSG_PROMPT E2E_FOUND(E2E_HIVE_B)
             MSG_DELETED u8"1個のZARPHのデータを削除しました。\n" MSG_PRESS_ENTER,
         0,
         E2ESettings(E2E_HIVE_A) + E2EVendorOnly(E2E_HIVE_B)},
        {"VendorRefusesCreatingSubkeys",
         "y\n\n",
         E2ESettings(E2E_HIVE_A),
         {},
         {{Deny::CreateSubKeyVendor, E2E_HIVE_A}},
         MSG_PROMPT E2E_FOUND(
             E2E_HIVE_A) u8"0個のZARPHのデータを削除しました。\n"
                         u8"1個のZARPHのデータが削除できませんでした。\n" MSG_PRESS_ENTER,
         0,
         E2ESettings(E2E_HIVE_A)},
        {"ProductRefusesWriting",
         "y\n\n",
         E2ESettings(E2E_HIVE_A),
         {E2E_HIVE_A "\\Software\\Velk\\ZARPH",
          E2E_HIVE_A "\\Software\\Velk\\ZARPH\\Options\\Host0"},
         {{Deny::WriteProduct, E2E_HIVE_A}},
         MSG_PROMPT E2E_FOUND(E2E_HIVE_A)
             MSG_NOT_DELETED u8"0個のZARPHのデータを削除しました。\n"
                             u8"1個のZARPHのデータが削除できませんでした。\n" MSG_PRESS_ENTER,
         0,
         E2ESettings(E2E_HIVE_A)},
        {"OptionsRefusesWriting",
         "y\n\n",
         E2ESettings(E2E_HIVE_A),
         {},
         {{Deny::WriteOptions, E2E_HIVE_A}},
         MSG_PROMPT E2E_FOUND(E2E_HIVE_A)
             MSG_NOT_DELETED u8"0個のZARPHのデータを削除しました。\n"
                             u8"1個のZARPHのデータが削除できませんでした。\n" MSG_PRESS_ENTER,
         0,
         E2ESettings(E2E_HIVE_A)},
    };
    return cases;
}

// Whatever arrives on standard input: only a first character y or Y may
// lead to a deletion, and the run always ends.
struct HostileInput {
    const char* name;
    std::string input;
    bool proceeds;
};

inline void PrintTo(const HostileInput& h, std::ostream* os)
{
    *os << h.name;
}

inline std::string Garbage(unsigned seed, size_t length)
{
    std::string bytes;
    for (size_t i = 0; i < length; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes += static_cast<char>((seed >> 16) & 0xFF);
    }
    return bytes;
}

inline const std::vector<HostileInput>& HostileInputs()
{
    static const std::vector<HostileInput> inputs = {
        {"EndOfInputAtThePrompt", "", false},
        {"EndOfInputAtTheClosingRead", "y\n", true},
        {"EndOfInputRightAfterY", "y", true},
        {"NulOnly", std::string("\0", 1), false},
        {"NulThenY", std::string("\0y\n\n", 4), false},
        {"YThenNul", std::string("y\0\n\n", 4), true},
        {"CrOnly", "\r", false},
        {"CrOnlyLines", "\r\r\r", false},
        {"CrThenY", "\ry\r\n", false},
        {"YThenCrOnly", "y\r", true},
        {"Answer1022", "y" + std::string(1021, 'x') + "\n\n", true},
        {"Answer1023", "y" + std::string(1022, 'x') + "\n\n", true},
        {"Answer1024", "y" + std::string(1023, 'x') + "\n\n", true},
        {"Answer1025", "n" + std::string(1024, 'y') + "\n\n", false},
        {"Answer5000", "Y" + std::string(4999, 'y') + "\n\n", true},
        {"Answer5000WithoutY", std::string(5000, 'n') + "\n\n", false},
        {"ShiftJisYes", Sjis(u8"はい\n\n"), false},
        {"ShiftJisFullWidthY", Sjis(u8"ｙ\n\n"), false},
        {"Utf8FullWidthY", u8"ｙ\n\n", false},
        {"Latin1", "\xff\xfe\xe9\n\n", false},
        {"ControlZ", "\x1ay\n", false},
        {"YThenControlZ", "y\x1a\n", true},
        {"BinaryGarbage", "\x80" + Garbage(7, 4096), false},
        {"BinaryGarbageAfterY", "Y" + Garbage(11, 4096), true},
    };
    return inputs;
}
