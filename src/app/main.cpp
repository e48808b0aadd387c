#include "cli/RollCommand.h"
#include "shell/Application.h"

#include <cstring>

int main(int argc, char** argv) {
    // `quorvin-tessaly roll ...` rolls on the command line and never needs a display.
    if (argc > 1 && std::strcmp(argv[1], "roll") == 0)
        return cli::rollMain(argc, argv);
    return shell::runApplication(argc, argv);
}
