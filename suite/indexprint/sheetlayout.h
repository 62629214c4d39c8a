#pragma once
// Where an index sheet puts things, in the printer's device pixels: the
// title along the top, the grid of cells below it, and in each cell the
// photo's box and, with labels, a line of text under it.
#include <QRect>
#include <QSize>
#include <vector>

struct TIndexCell {
    QRect Photo;   // the photo is fitted into this box, centred
    QRect Label;   // empty without labels
};

struct TIndexSheet {
    QRect Title;
    QRect Grid;    // the area under the title; the template covers it
    int Columns = 0, Rows = 0;
    std::vector<TIndexCell> Cells;  // row by row, left to right
    int TitlePixels = 0;            // font heights
    int LabelPixels = 0;
};

// The sheet for a printable area of Page pixels.
TIndexSheet LayoutIndexSheet(QSize page, bool savePaper, bool labels);
