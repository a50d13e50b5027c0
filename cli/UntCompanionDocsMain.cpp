// Build tool: writes the companion's manual page and bash completion from its option table.
//   filesmonitor-cli-docs VERSION MANPAGE COMPLETION
#include "cli/UntCompanionDocs.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: filesmonitor-cli-docs VERSION MANPAGE COMPLETION\n";
        return 2;
    }
    std::ofstream man(argv[2], std::ios::binary | std::ios::trunc);
    man << companionManPage(argv[1]);
    std::ofstream completion(argv[3], std::ios::binary | std::ios::trunc);
    completion << companionBashCompletion();
    man.close();
    completion.close();
    if (!man || !completion) {
        std::cerr << "filesmonitor-cli-docs: could not write " << argv[2] << " or " << argv[3] << '\n';
        return 1;
    }
    return 0;
}
