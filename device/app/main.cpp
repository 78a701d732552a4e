#include "device/app/Entry.h"

// The sanitizer build checks for leaks at exit; the font-matching and desktop-bus libraries keep
// allocations of their own until then, which are not ours to free.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

// Standard error carries the program's messages; the list of suppressions used is noise there.
extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return corvane::corvane_main(arguments);
}
