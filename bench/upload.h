#pragma once
// lumora-bench upload [--server URL --user U --password P] [--labgroup G] DIR:
// DIR's first 50 JPEGs (by name) uploaded through suite/upload in the upload
// wizard's call order into a new shoebox, then with the curl program (one
// process, one request per photo joined by --next) into another. Without
// --server it starts its own reference photo service on 127.0.0.1. Prints
// "shoebox: <page URL>" for its own shoebox and, last,
// "upload: <MB/s> MB/s curl <MB/s> MB/s", the medians of three turns each.
int RunUploadBench(int argc, char** argv);
