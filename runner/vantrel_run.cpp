#include "runner/run_main.h"

int main(int argc, char* argv[]) {
    return runVantrelRun(argc, argv);
}
