#include "device/app/Entry.h"

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return corvane::corvane_main(arguments);
}
