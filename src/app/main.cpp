#include "app/startup.h"

int main(int argc, char** argv) { return tessevin::app::start_program(argc, argv); }
