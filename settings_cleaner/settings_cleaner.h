// Erases the ZARPH settings (Software\Velk\ZARPH) of every hive loaded
// under HKEY_USERS.
#pragma once

// The whole run: confirmation, sweep over the loaded hives, summary and the
// closing Enter. Returns the exit status: 1 when the user declines, else 0.
int RunSettingsCleaner();

// Deletes the settings tree of one hive from the leaves upward and prints
// one result line (none when the vendor key cannot be opened). Returns 1
// when the product key is gone, 0 when it is not.
int DeleteUserSettings(const char* hiveName);
