#include "cli/CliContext.h"

int main(int argc, char** argv) {
    return svod::cli::runCli(argc, argv);
}
