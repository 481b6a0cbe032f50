#include <cstdio>

#include "cli/lookup_command.h"

int main(int argc, char** argv) {
  return tessevin::cli::run_lookup_command(argc, argv, stdout, stderr);
}
