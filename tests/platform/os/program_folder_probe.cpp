// Prints programFolder() as the program started from its own folder sees it.
#include "kavrel/os/folders.h"

#include <cstdio>

int main() {
    std::fputs(kavrel::os::programFolder().c_str(), stdout);
    return 0;
}
