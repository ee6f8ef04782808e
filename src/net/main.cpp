// Entry point of Quorvane: hands the process arguments to the program.
#include "net/program.h"

int main(int argc, char** argv) {
    return RunQuorvane(argc, argv);
}
