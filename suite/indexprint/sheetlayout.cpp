#include "suite/indexprint/sheetlayout.h"
#include "suite/indexprint/indexprint.h"
#include <algorithm>

TIndexSheet LayoutIndexSheet(QSize page, bool savePaper, bool labels) {
    TIndexSheet sheet;
    sheet.Columns = savePaper ? IndexPrint::SavePaperColumns : IndexPrint::PlainColumns;
    sheet.Rows = savePaper ? IndexPrint::SavePaperRows : IndexPrint::PlainRows;
    const int w = std::max(page.width(), 0), h = std::max(page.height(), 0);
    // The title takes a band of a twentieth of the height, its text 60 % of it.
    const int band = h / 20;
    sheet.Title = QRect(0, 0, w, band);
    sheet.TitlePixels = band * 6 / 10;
    sheet.Grid = QRect(0, band, w, h - band);
    const int cellW = w / sheet.Columns, cellH = sheet.Grid.height() / sheet.Rows;
    // A gap of a twentieth of the cell all round; the label line a sixth of its height.
    const int gapX = cellW / 20, gapY = cellH / 20;
    const int labelH = labels ? cellH / 6 : 0;
    sheet.LabelPixels = labelH * 7 / 10;
    // The grid is centred across the sheet.
    const int left = (w - cellW * sheet.Columns) / 2;
    for (int r = 0; r < sheet.Rows; ++r)
        for (int c = 0; c < sheet.Columns; ++c) {
            const QRect cell(left + c * cellW, sheet.Grid.top() + r * cellH, cellW, cellH);
            TIndexCell out;
            out.Photo = QRect(cell.left() + gapX, cell.top() + gapY, cellW - 2 * gapX, cellH - 2 * gapY - labelH);
            if (labels) out.Label = QRect(out.Photo.left(), out.Photo.bottom() + 1, out.Photo.width(), labelH);
            sheet.Cells.push_back(out);
        }
    return sheet;
}
