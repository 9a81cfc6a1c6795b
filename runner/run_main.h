#pragma once

// vantrel-run: runs a sequence file against a unit and writes its reports. Returns the exit
// code (0 passed, 1 a step failed, 2 unit unreachable or transport failed, 3 bad input,
// 130 interrupted).
int runVantrelRun(int argc, const char* const argv[]);
