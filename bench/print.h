#pragma once
// lumora-bench print DISC_FOLDER: after a warm-up, five index prints of the
// first roll and five prints of its first photo, to PDF files on A4
// portrait at 300 dpi, through the program's own print jobs. The last
// index.pdf and photo.pdf stay in the current folder.
int RunPrintBench(int argc, char** argv);
