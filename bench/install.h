#pragma once
// lumora-bench install [DISC] [--keep DEST] [--name NAME]: the install of
// the first roll, every size it has, through the window's own code, five
// times into fresh folders, each time next to `cp -r` of the same files.
// Without DISC a disc of one 200-photo roll in all six sizes is made first.
// --keep installs once into DEST and leaves everything it made.
int RunInstallBench(int argc, char** argv);
