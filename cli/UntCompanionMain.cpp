#include "cli/UntCompanion.h"

int main(int argc, char** argv)
{
    return runCompanion(argc, argv);
}
