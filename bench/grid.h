#pragma once

// lumora-bench grid [PASSES]: paints a 36-icon and a 5,000-icon icon container
// at the same scroll position and prints the median paint times, last line
// "grid: <ms for 36> ms <ms for 5000> ms".
int RunGridBench(int argc, char** argv);
