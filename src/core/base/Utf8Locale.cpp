#include "base/Utf8Locale.h"

#ifndef _WIN32
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <string>
#endif

namespace Base {

void useUtf8Locale()
{
#ifndef _WIN32
    std::setlocale(LC_ALL, "");
    const char *codeset = nl_langinfo(CODESET);
    if (codeset && std::strcmp(codeset, "UTF-8") == 0)
        return;
    // LC_ALL outranks every category: give its value to the others instead,
    // so that only the character type changes.
    if (const char *all = std::getenv("LC_ALL"); all && *all) {
        const std::string value = all;
        for (const char *name :
             {"LC_COLLATE", "LC_MESSAGES", "LC_MONETARY", "LC_NUMERIC", "LC_TIME"})
            setenv(name, value.c_str(), 1);
        unsetenv("LC_ALL");
    }
    setenv("LC_CTYPE", "C.UTF-8", 1);
    std::setlocale(LC_ALL, "");
#endif
}

} // namespace Base
