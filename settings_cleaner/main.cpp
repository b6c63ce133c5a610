#include "settings_cleaner.h"

// Command-line arguments are ignored on purpose.
int main()
{
    return RunSettingsCleaner();
}
