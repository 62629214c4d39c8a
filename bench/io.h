#pragma once
// lumora-bench io DIR: file opens and bytes read per load, for the thumbnail
// path and the full-size path.
int RunIoBench(int argc, char** argv);
