#pragma once
// lumora-bench loader DIR [COUNT]: opening a roll of COUNT photos (copies of
// the JPEG files of DIR): time to the first thumbnail on screen, and how long
// the main thread is busy per delivered thumbnail.
int RunLoaderBench(int argc, char** argv);
