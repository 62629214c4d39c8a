#pragma once
// PDF files as a reader sees them, through poppler's tools: the page count
// and size, the text, the words with their boxes, and a page rendered to
// pixels.
#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

struct TPdfWord {
    QString Text;
    QRectF Box;  // in points from the page's top left
};

struct TPdfInfo {
    int Pages = 0;
    QSizeF PageSize;  // points
};

TPdfInfo PdfInfo(const QString& file);
// All the text (pdftotext), pages in order.
QString PdfText(const QString& file);
// The words of page Page (from 1) with their boxes.
QList<TPdfWord> PdfWords(const QString& file, int page = 1);
// Page Page rendered at Dpi; null when it can't be.
QImage RenderPdfPage(const QString& file, int page, int dpi);
