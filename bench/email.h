#pragma once
// lumora-bench email DISC_FOLDER PORT: the first 20 Large photos of the
// first roll (all, if fewer) in one message, sent 5 times through EmailSend
// to 127.0.0.1:PORT after a warm-up, then the same message bytes 5 times by
// libcurl's plain SMTP upload (the floor). Prints each pass and, last,
// "email: <median MB/s> MB/s curl <median MB/s> MB/s".
int RunEmailBench(int argc, char** argv);
