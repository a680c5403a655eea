// Entry point: decides between the command-line branches and the viewer.
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        std::fputs(kes::UsageText().c_str(), stdout);
        return 0;
    }
    std::fputs("The viewer is not available in this build.\n", stderr);
    return 1;
}
