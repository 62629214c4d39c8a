// lumora-bench: timings of the thumbnail and decode paths, next to the floor
// (libjpeg-turbo alone, in this process, at the same DCT scale).
//
//   lumora-bench thumbs DIR [PASSES]        70 x 70 centre cuts through MakeCenterCutThumbnailFor
//   lumora-bench floor-thumbs DIR [PASSES]  libjpeg-turbo decode at the scale the thumbnail path uses
//   lumora-bench decode FILE [PASSES]       full decode through LoadPicture
//   lumora-bench floor-decode FILE [PASSES] libjpeg-turbo full-size decode
//   lumora-bench grid [PASSES]              icon container paints, 36 and 5,000 icons
//   lumora-bench io DIR                     file opens and bytes read per load
//   lumora-bench loader DIR [COUNT]         a roll of COUNT photos opening: first thumbnail, main-thread cost
//   lumora-bench glyphs [PASSES]            3D captions: cold, from the disk cache, from memory
//   lumora-bench startup DISC [PASSES] [--dpr R]  program start to the first painted roll page
//   lumora-bench view DISC [PASSES] [--dpr R]     the full view: ShowPhoto to picture on screen, zoom frames
//                                           (--dpr: on a screen of device pixel ratio R, through
//                                           QT_SCALE_FACTOR; the window keeps its logical size)
//   lumora-bench print DISC                 index prints of the first roll and prints of its first photo, to PDF
//   lumora-bench install [DISC] [--keep DEST] [--name NAME]  the install of the first roll, next to cp -r
//   lumora-bench fullload FILE [PASSES]     the full view's loader: request to delivered picture, and the decode
//   lumora-bench transitions [PASSES]       time per frame of every transition effect, full screen
//   lumora-bench upload [--server URL --user U --password P] DIR
//                                           DIR's first 50 JPEGs uploaded through suite/upload, then with curl
//   lumora-bench email DISC PORT            one message of the first roll's Large photos, EmailSend and libcurl
//
// Every timing command makes one warm-up pass, then PASSES timed passes
// (default 7), and prints the median as its last line. The floor commands run
// every pass twice and keep the faster, so the floor is the best libjpeg-turbo
// can do here, not a typical run.
#include "bench/email.h"
#include "bench/fullload.h"
#include "bench/grid.h"
#include "bench/install.h"
#include "bench/io.h"
#include "bench/loader.h"
#include "bench/print.h"
#include "bench/startup.h"
#include "bench/view.h"
#include "bench/transitions.h"
#include "bench/upload.h"
#include "collection/thumbnail.h"
#include "imaging/ilib.h"
#include "imaging/loading.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <csetjmp>
#include <functional>
#include <vector>

#include <jpeglib.h>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Milliseconds per item of Work over Items, median of Passes passes; with
// KeepFaster each pass runs twice and the faster run counts.
double TimePerItem(const QStringList& items, int passes, const std::function<bool(const QString&)>& work,
                   bool keepFaster = false) {
    for (const QString& f : items) work(f);  // warm-up: file cache, allocator, code
    std::vector<double> perPass;
    for (int p = 0; p < passes; ++p) {
        double best = -1;
        for (int run = 0; run < (keepFaster ? 2 : 1); ++run) {
            auto t0 = Clock::now();
            for (const QString& f : items) {
                if (!work(f)) {
                    std::fprintf(stderr, "failed: %s\n", qPrintable(f));
                    std::exit(1);
                }
            }
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
            if (best < 0 || ms < best) best = ms;
        }
        perPass.push_back(best / items.size());
        std::printf("pass %d: %.3f ms/item\n", p + 1, perPass.back());
    }
    return Median(perPass);
}

QStringList JpegsIn(const QString& dir) {
    QStringList out;
    for (const QFileInfo& fi : QDir(dir).entryInfoList({"*.jpg", "*.JPG", "*.jpeg"}, QDir::Files, QDir::Name))
        out << fi.absoluteFilePath();
    return out;
}

struct ErrorMgr {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void OnJpegError(j_common_ptr cinfo) { longjmp(reinterpret_cast<ErrorMgr*>(cinfo->err)->jump, 1); }

// The floor: read the file, decode with libjpeg-turbo to RGB at the smallest
// M/8 scale whose shorter side stays >= MinShortSide (0: full size), 16 rows
// per call. With CentreCut only the middle square is decoded: the columns
// outside it are cropped away and the rows above it skipped, and decoding
// stops at its last row.
bool FloorDecode(const QString& path, int minShortSide, bool centreCut, std::vector<unsigned char>& pixels) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    QByteArray data = f.readAll();
    jpeg_decompress_struct cinfo;
    ErrorMgr err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnJpegError;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()), data.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    if (minShortSide > 0) {
        unsigned shortSide = std::min(cinfo.image_width, cinfo.image_height);
        cinfo.scale_denom = 8;
        cinfo.scale_num = 8;
        for (unsigned num = 1; num <= 8; num *= 2) {
            if ((shortSide * num + 7) / 8 >= unsigned(minShortSide)) {
                cinfo.scale_num = num;
                break;
            }
        }
    }
    jpeg_start_decompress(&cinfo);
    JDIMENSION top = 0, rows = cinfo.output_height;
    if (centreCut) {
        const JDIMENSION w = cinfo.output_width, h = cinfo.output_height;
        if (w > h) {
            JDIMENSION left = (w - h) / 2, width = w - 2 * left;
            jpeg_crop_scanline(&cinfo, &left, &width);
        } else if (h > w) {
            top = (h - w) / 2;
            rows = h - 2 * top;
        }
    }
    if (top > 0) jpeg_skip_scanlines(&cinfo, top);
    size_t stride = size_t(cinfo.output_width) * 3;
    pixels.resize(stride * rows);
    JDIMENSION done = 0;
    while (done < rows) {
        JSAMPROW out[16];
        for (int i = 0; i < 16; ++i) out[i] = pixels.data() + stride * std::min<size_t>(done + i, rows - 1);
        done += jpeg_read_scanlines(&cinfo, out, std::min<JDIMENSION>(16, rows - done));
    }
    jpeg_abort_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: lumora-bench thumbs DIR [PASSES]\n"
                 "       lumora-bench floor-thumbs DIR [PASSES]\n"
                 "       lumora-bench decode FILE [PASSES]\n"
                 "       lumora-bench floor-decode FILE [PASSES]\n"
                 "       lumora-bench grid [PASSES]\n"
                 "       lumora-bench io DIR\n"
                 "       lumora-bench loader DIR [COUNT]\n"
                 "       lumora-bench glyphs [PASSES]\n"
                 "       lumora-bench startup DISC_FOLDER [PASSES] [--dpr RATIO]\n"
                 "       lumora-bench view DISC_FOLDER [PASSES] [--dpr RATIO]\n"
                 "       lumora-bench print DISC_FOLDER\n"
                 "       lumora-bench install [DISC_FOLDER] [--keep DEST] [--name NAME]\n"
                 "       lumora-bench fullload FILE [PASSES]\n"
                 "       lumora-bench transitions [PASSES]\n"
                 "       lumora-bench upload [--server URL --user U --password P] DIR\n"
                 "       lumora-bench email DISC_FOLDER PORT\n");
    return 2;
}

} // namespace

int RunGlyphsBench(int argc, char** argv);  // glyphs.cpp: needs a GUI application

// Takes "--dpr RATIO" out of the arguments: the screen's device pixel ratio,
// set for this process (and the programs it starts) before Qt starts.
void TakeRatioOption(int& argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) != "--dpr") continue;
        qputenv("QT_SCALE_FACTOR", argv[i + 1]);
        for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
        argc -= 2;
        return;
    }
}

int main(int argc, char** argv) {
    TakeRatioOption(argc, argv);
    // The grid benchmark paints widgets and needs a QApplication of its own.
    if (argc >= 2 && QByteArray(argv[1]) == "grid") return RunGridBench(argc, argv);
    if (argc >= 2 && QByteArray(argv[1]) == "io") return RunIoBench(argc, argv);
    if (argc >= 2 && QByteArray(argv[1]) == "loader") return RunLoaderBench(argc, argv);
    if (argc >= 2 && QByteArray(argv[1]) == "startup") return RunStartupBench(argc, argv);
    if (argc >= 2 && QByteArray(argv[1]) == "view") return RunViewBench(argc, argv);
    if (argc >= 2 && QByteArray(argv[1]) == "print") return RunPrintBench(argc, argv);
    if (argc >= 2 && QByteArray(argv[1]) == "install") return RunInstallBench(argc, argv);
    if (argc >= 2 && QString(argv[1]) == "glyphs") return RunGlyphsBench(argc, argv);
    if (argc >= 2 && QByteArray(argv[1]) == "fullload") return RunFullLoadBench(argc, argv);
    if (argc >= 2 && QByteArray(argv[1]) == "transitions") return RunTransitionsBench(argc, argv);
    if (argc >= 2 && QByteArray(argv[1]) == "upload") return RunUploadBench(argc, argv);
    if (argc >= 2 && QByteArray(argv[1]) == "email") return RunEmailBench(argc, argv);
    QCoreApplication app(argc, argv);
    if (argc < 3) return Usage();
    const QString cmd = argv[1];
    const QString target = QString::fromLocal8Bit(argv[2]);
    const int passes = argc > 3 ? std::max(1, atoi(argv[3])) : 7;
    RegisterImagingErrorTexts();

    if (cmd == "thumbs" || cmd == "floor-thumbs") {
        QStringList files = JpegsIn(target);
        if (files.isEmpty()) {
            std::fprintf(stderr, "no JPEG files in %s\n", qPrintable(target));
            return 1;
        }
        std::vector<unsigned char> pixels;
        double ms;
        QStringList refused;
        if (cmd == "thumbs")
            // A photo refused as damaged is timed as well: it must not hold up the roll.
            ms = TimePerItem(files, passes, [&refused](const QString& f) {
                auto t = MakeCenterCutThumbnailFor(f, ThumbnailSize);
                if (!t && !refused.contains(f)) refused << f;
                return !t || t->GetSize() == QSize(ThumbnailSize, ThumbnailSize);
            });
        else
            ms = TimePerItem(files, passes,
                             [&](const QString& f) { return FloorDecode(f, ThumbnailSize, true, pixels); }, true);
        for (const QString& f : refused) std::printf("refused, no thumbnail: %s\n", qPrintable(f));
        std::printf("%s: %.3f ms/photo\n", qPrintable(cmd), ms);
        return 0;
    }
    if (cmd == "decode" || cmd == "floor-decode") {
        QStringList one{target};
        std::vector<unsigned char> pixels;
        double ms;
        if (cmd == "decode")
            ms = TimePerItem(one, passes, [](const QString& f) {
                QString error;
                ImageInfo info;
                return LoadPicture(f, 0, false, error, info) != nullptr;
            });
        else
            ms = TimePerItem(one, passes, [&](const QString& f) { return FloorDecode(f, 0, false, pixels); }, true);
        std::printf("%s: %.3f ms\n", qPrintable(cmd), ms);
        return 0;
    }
    return Usage();
}
