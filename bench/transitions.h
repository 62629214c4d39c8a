#pragma once

// lumora-bench transitions [PASSES]: composes every step of every transition
// effect (each drawing of the variant ranges too) for a full-screen photo on
// a 1920 x 1080 screen and prints the median and 95th percentile time per
// frame of each; last line "transitions: <worst median> ms".
int RunTransitionsBench(int argc, char** argv);
