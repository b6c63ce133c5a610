// The console texts, written as Japanese; tests convert them to Shift_JIS.
#pragma once

#include "sjis.h"

#include <string>

#define MSG_PROMPT u8"ZARPHの全ての設定を消去します。よろしいですか？ [y/n] "
#define MSG_CANCELLED u8"中止しました\n"
#define MSG_PRESS_ENTER u8"終了するにはEnterキーを押してください。\n"
#define MSG_NONE_FOUND u8"ZARPHのデータは見つかりませんでした。\n"
#define MSG_DELETED u8"削除しました。\n"
#define MSG_NOT_DELETED u8"削除できませんでした。\n"

// The found line for a hive whose name is given as the raw bytes it has.
inline std::string FoundLine(const std::string& hive)
{
    return "HKEY_USERS\\" + hive + Sjis(u8"\\Software\\Velk\\ZARPH が見つかりました。\n");
}

inline std::string DeletedCountLine(int count)
{
    return std::to_string(count) + Sjis(u8"個のZARPHのデータを削除しました。\n");
}

inline std::string NotDeletedCountLine(int count)
{
    return std::to_string(count) + Sjis(u8"個のZARPHのデータが削除できませんでした。\n");
}
