#pragma once
// lumora-bench view DISC_FOLDER [PASSES]: the full view on a disc: from
// ShowPhoto to the delivered picture on screen for a Medium, a Large and an
// ExLarge photo, and the frames of a zoom animation on a Large photo.
int RunViewBench(int argc, char** argv);
