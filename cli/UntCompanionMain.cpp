#include "cli/UntCompanion.h"
#include "cli/UntCompanionConsole.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> words = companionArguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& word : words)
        pointers.push_back(word.c_str());
    return runCompanion(static_cast<int>(pointers.size()), pointers.data());
}
