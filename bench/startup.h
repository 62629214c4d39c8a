#pragma once
// lumora-bench startup DISC_FOLDER [PASSES]: from starting the program on a
// disc to its first painted roll page, median over the passes.
int RunStartupBench(int argc, char** argv);
