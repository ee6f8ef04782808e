// Entry point of Quorvane: hands the process arguments to the shell.
#include "app/shell.h"

int main(int argc, char** argv) {
    return RunQuorvane(argc, argv);
}
