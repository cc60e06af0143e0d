#include <cstdlib>

#include "buslook.h"

int main() {
    const char* name = std::getenv("ASPILIB");
    ListBus(name ? name : DEFAULT_ASPI_LIBRARY, stdout);
    return 0;
}
