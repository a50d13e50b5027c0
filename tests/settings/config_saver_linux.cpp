// For the kill test: saves two different sets of settings into the file named by its argument,
// one after the other, until it is killed; writes one byte to stdout after each save.
#include "settings/UntConfigStore.h"
#include "tests/settings/TestKillSettings.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    for (unsigned round = 0;; ++round) {
        try {
            writeSettings(argv[1], killTestSettings(1 - round % 2));
            std::fputc('.', stdout);
            std::fflush(stdout);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 1;
        }
    }
}
