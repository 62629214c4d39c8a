#pragma once
// lumora-bench fullload FILE [PASSES]: the full view's loader on one photo,
// from the request to the picture delivered on the main thread (with the
// progress hand-overs and the request pause), next to the plain decode of
// the same file through LoadPicture.
int RunFullLoadBench(int argc, char** argv);
