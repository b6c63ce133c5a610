#include "settings_cleaner.h"

#include "console.h"
#include "registry.h"

#include <cstdio>

namespace {

// The line buffer takes the answer, then each hive name, then the closing
// Enter; a hive name fits when it has at most 1023 characters.
const int kLineSize = 1024;

// Asks for Enter so that a window opened for the tool stays readable.
int Finish(char* line, int exitStatus)
{
    // "終了するにはEnterキーを押してください。\n"
    ConsolePrint("\217I\227\271\202\267\202\351\202\311\202\315Enter\203L\201[\202\360\211\237"
                 "\202\265\202\304\202\255\202\276\202\263\202\242\201B\n");
    ConsoleReadLine(line, kLineSize);
    return exitStatus;
}

} // namespace

int RunSettingsCleaner()
{
    char line[kLineSize];
    char probePath[2048];

    ConsoleStart();
    // "ZARPHの全ての設定を消去します。よろしいですか？ [y/n] "
    ConsolePrint(
        "ZARPH\202\314\221S\202\304\202\314\220\335\222\350\202\360\217\301\213\216\202\265"
        "\202\334\202\267\201B\202\346\202\353\202\265\202\242\202\305\202\267\202\251\201H"
        " [y/n] ");
    // End of input counts as a decline: nothing goes without an explicit y.
    if (!ConsoleReadLine(line, kLineSize) || (line[0] != 'y' && line[0] != 'Y')) {
        // "中止しました\n"
        ConsolePrint("\222\206\216~\202\265\202\334\202\265\202\275\n");
        return Finish(line, 1);
    }

    int found = 0;
    int deleted = 0;
    DWORD index = 0;
    DWORD nameLength = kLineSize;
    FILETIME lastWrite;
    // Deletions happen beneath the hives, so the index sequence over
    // HKEY_USERS stays valid for the whole sweep.
    while (RegEnumKeyExA(HKEY_USERS, index, line, &nameLength, nullptr, nullptr, nullptr,
                         &lastWrite) == ERROR_SUCCESS) {
        std::snprintf(probePath, sizeof probePath, "%s\\Software\\Velk\\ZARPH", line);
        HKEY product;
        if (RegOpenKeyExA(HKEY_USERS, probePath, 0, KEY_READ, &product) == ERROR_SUCCESS) {
            ++found;
            // "HKEY_USERS\%s が見つかりました。\n"
            ConsolePrint("HKEY_USERS\\%s \202\252\214\251\202\302\202\251\202\350\202\334\202\265"
                         "\202\275\201B\n",
                         probePath);
            RegCloseKey(product);
            deleted += DeleteUserSettings(line);
        }
        nameLength = kLineSize;
        ++index;
    }

    if (found == 0) {
        // "ZARPHのデータは見つかりませんでした。\n"
        ConsolePrint("ZARPH\202\314\203f\201[\203^\202\315\214\251\202\302\202\251\202\350\202\334"
                     "\202\271\202\361\202\305\202\265\202\275\201B\n");
    } else {
        // "%d個のZARPHのデータを削除しました。\n"
        ConsolePrint(
            "%d\214\302\202\314ZARPH\202\314\203f\201[\203^\202\360\215\355\217\234\202\265"
            "\202\334\202\265\202\275\201B\n",
            deleted);
        if (found != deleted) {
            // "%d個のZARPHのデータが削除できませんでした。\n"
            ConsolePrint("%d\214\302\202\314ZARPH\202\314\203f\201[\203^\202\252\215\355\217\234"
                         "\202\305\202\253\202\334\202\271\202\361\202\305\202\265\202\275\201B\n",
                         found - deleted);
        }
    }
    return Finish(line, 0);
}
