#pragma once

namespace Base {

// Call first thing in main(), before the application object. Where the
// environment names no UTF-8 locale (none at all, or "C", as under cron, in
// services and in minimal containers), the character type becomes C.UTF-8
// and every other category stays as the environment gives it. Qt reads and
// writes text as UTF-8 either way, but newer releases say so on standard
// error when they have to switch themselves, which would break the program's
// promise of one line per error and of silence with -q.
void useUtf8Locale();

} // namespace Base
