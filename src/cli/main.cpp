// pintora-cli: Pintora's document reader, renderer and capture from the command line.
#include "cli/CliCommands.h"

int main(int argc, char** argv) {
    return pintora::cli::run(argc, argv);
}
