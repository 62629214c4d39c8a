// JPEG through libjpeg-turbo's libjpeg API. Errors leave libjpeg by longjmp
// back into the function that called setjmp; every object with a destructor in
// those functions is constructed before setjmp, so nothing is skipped.
#include "imaging/ilibint.h"
#include <QImage>
#include <algorithm>
#include <climits>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <jpeglib.h>
#include <jerror.h>

namespace ilib {
namespace {

// Enough for the output picture plus the coefficient buffer of a large
// progressive file; more is refused instead of exhausting the machine.
constexpr long JpegMemoryBound = 1100L * 1024 * 1024;

struct TJpegError {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    int Code = ERROR_CORRUPT_FILE;
};

// More scans than any encoder writes: libjpeg's progressive script has 10
// for a colour photo and 6 for a grey one, and optimising encoders stay near
// that. A file with more repeats scans to make the decoder work: each scan
// walks every block of its components, about 15 ms for an 8192 x 8192 grey
// picture however few bytes the scan has, so 3,000 copies of one scan kept
// the decoder busy for minutes. 64 scans of that picture take about a
// second. (djpeg offers the same guard as -maxscans.)
constexpr int MaxScans = 64;

int MapJpegError(int messageCode) {
    switch (messageCode) {
    case JERR_OUT_OF_MEMORY:
        return ERROR_NO_MEMORY;
    case JERR_NO_BACKING_STORE:
    case JERR_TFILE_CREATE:
    case JERR_TFILE_READ:
    case JERR_TFILE_SEEK:
    case JERR_TFILE_WRITE:
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
        return ERROR_IMAGE_TOO_LARGE;
    case JERR_NO_SOI:
    case JERR_INPUT_EMPTY:
        return ERROR_FILE_FORMAT;
    case JERR_FILE_WRITE:
        return ERROR_FILE_WRITE;
    case JERR_BAD_PRECISION:
    case JERR_SOF_UNSUPPORTED:
    case JERR_CONVERSION_NOTIMPL:
        return ERROR_FEATURE_NOT_SUPPORTED;
    default:
        return ERROR_CORRUPT_FILE;
    }
}

[[noreturn]] void Fail(j_common_ptr cinfo, int code) {
    auto* error = reinterpret_cast<TJpegError*>(cinfo->err);
    error->Code = code;
    std::longjmp(error->Jump, 1);
}

[[noreturn]] void OnErrorExit(j_common_ptr cinfo) { Fail(cinfo, MapJpegError(cinfo->err->msg_code)); }

// Warnings are what a damaged file gives: a corrupt segment, data that ends
// early (the decoder fills the rest as it can). The picture is shown with the
// warning beside it, as long as some of it came from the file: data that ends
// before the picture begins, inside the first scan of a progressive file or
// inside the first row of blocks of a sequential one leaves nothing worth
// showing and is refused. The rows decoded count whether they were kept or
// skipped (a centre cut skips the top of a portrait photo), and whatever the
// scale, so a photo the full view shows also gets its thumbnail.
void OnEmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    const int code = cinfo->err->msg_code;
    // A scan that refines bits no earlier scan sent: no encoder writes one,
    // and repeating a refinement scan is the costly way of wasting the
    // decoder's time (each copy walks every coefficient of every block).
    if (code == JWRN_BOGUS_PROGRESSION) Fail(cinfo, ERROR_CORRUPT_FILE);
    // A profile whose segments do not add up is not used; the picture
    // itself is whole, so no warning goes with it.
    if (code == JWRN_BOGUS_ICC) return;
    if (code == JWRN_JPEG_EOF) {
        const auto* decoder = reinterpret_cast<j_decompress_ptr>(cinfo);
        const bool nothingDecoded =
            decoder->input_scan_number <= 1 && (decoder->progressive_mode || decoder->input_iMCU_row == 0);
        if (nothingDecoded) Fail(cinfo, ERROR_CORRUPT_FILE);
    }
    char text[JMSG_LENGTH_MAX];
    cinfo->err->format_message(cinfo, text);
    AddLoadWarning(QString::fromLatin1(text));
    cinfo->err->num_warnings++;
}

void OnOutputMessage(j_common_ptr) {}  // never to stderr

void InstallErrorManager(TJpegError& error) {
    jpeg_std_error(&error.Pub);
    error.Pub.error_exit = OnErrorExit;
    error.Pub.emit_message = OnEmitMessage;
    error.Pub.output_message = OnOutputMessage;
}

// libjpeg calls this during its long phases too: a progressive file's scans
// are all read inside jpeg_start_decompress, before any row comes out.
struct TJpegProgress {
    jpeg_progress_mgr Pub{};
    const TJpegLoad* Load = nullptr;
    BITMAPHANDLE* Bitmap = nullptr;
    bool Polling = false;  // inside a phase that hands out no rows
};

void OnProgress(j_common_ptr cinfo) {
    const auto* decoder = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (decoder->input_scan_number > MaxScans) Fail(cinfo, ERROR_CORRUPT_FILE);
    // A stop asked for is heard here as well as between row batches: the
    // row callback, given no rows, is how a loader is asked.
    const auto* progress = reinterpret_cast<TJpegProgress*>(cinfo->progress);
    const TJpegLoad& load = *progress->Load;
    if (progress->Polling && load.Callback) {
        const int result = load.Callback(load.Info, progress->Bitmap, nullptr, 0, 0, load.UserData);
        if (result != SUCCESS) Fail(cinfo, result);
    }
}

// Destroys the decompressor when the decoding function returns, also after a longjmp.
struct TDecompressor {
    jpeg_decompress_struct Info;
    bool Created = false;
    TDecompressor() { std::memset(&Info, 0, sizeof Info); }
    ~TDecompressor() {
        if (Created) jpeg_destroy_decompress(&Info);
    }
};

struct TCompressor {
    jpeg_compress_struct Info;
    bool Created = false;
    TCompressor() { std::memset(&Info, 0, sizeof Info); }
    ~TCompressor() {
        if (Created) jpeg_destroy_compress(&Info);
    }
};

// JFIF density as dots per inch; 0 when the file gives only an aspect ratio.
void DensityToDpi(const jpeg_decompress_struct& cinfo, int& x, int& y) {
    x = y = 0;
    if (!cinfo.saw_JFIF_marker) return;
    if (cinfo.density_unit == 1) {
        x = cinfo.X_density;
        y = cinfo.Y_density;
    } else if (cinfo.density_unit == 2) {
        x = int(std::lround(cinfo.X_density * 2.54));
        y = int(std::lround(cinfo.Y_density * 2.54));
    }
}

bool TooLarge(qint64 width, qint64 height) {
    return width > MaxPictureSide || height > MaxPictureSide || width * height > MaxPicturePixels;
}

// Power-of-two DCT scales only: libjpeg-turbo has SIMD inverse DCTs for 1/8,
// 1/4, 1/2 and 1, the other M/8 scales run in plain C and are slower than a
// full decode for small pictures.
int ChooseScaleNum(int width, int height, int minShortSide) {
    if (minShortSide <= 0) return 8;
    const qint64 shortSide = std::min(width, height);
    for (int num : {1, 2, 4}) {
        if ((shortSide * num + 7) / 8 >= minShortSide) return num;
    }
    return 8;
}

// Sequential reads from a byte source, for header-only parsing of files.
struct TSourceReader {
    jpeg_source_mgr Pub;
    const TByteSource* Source = nullptr;
    qint64 Position = 0;
    JOCTET Buffer[16384];
};

void SourceInit(j_decompress_ptr) {}
void SourceTerm(j_decompress_ptr) {}

boolean SourceFill(j_decompress_ptr cinfo) {
    auto* reader = reinterpret_cast<TSourceReader*>(cinfo->src);
    const qint64 left = reader->Source->Size() - reader->Position;
    const qint64 take = std::min<qint64>(left, sizeof reader->Buffer);
    if (take <= 0 || !reader->Source->ReadAt(reader->Position, reader->Buffer, take)) {
        WARNMS(cinfo, JWRN_JPEG_EOF);  // does not return: the handler refuses
        reader->Buffer[0] = 0xFF;
        reader->Buffer[1] = JPEG_EOI;
        reader->Pub.next_input_byte = reader->Buffer;
        reader->Pub.bytes_in_buffer = 2;
        return TRUE;
    }
    reader->Position += take;
    reader->Pub.next_input_byte = reader->Buffer;
    reader->Pub.bytes_in_buffer = size_t(take);
    return TRUE;
}

void SourceSkip(j_decompress_ptr cinfo, long count) {
    auto* reader = reinterpret_cast<TSourceReader*>(cinfo->src);
    if (count <= 0) return;
    if (size_t(count) <= reader->Pub.bytes_in_buffer) {
        reader->Pub.next_input_byte += count;
        reader->Pub.bytes_in_buffer -= size_t(count);
        return;
    }
    reader->Position += count - qint64(reader->Pub.bytes_in_buffer);
    reader->Pub.bytes_in_buffer = 0;
}

// Adobe CMYK as Photoshop writes it is stored inverted.
void CmykRowToRgb(const uint8_t* cmyk, uint8_t* rgb, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        rgb[0] = uint8_t((c * k + 127) / 255);
        rgb[1] = uint8_t((m * k + 127) / 255);
        rgb[2] = uint8_t((y * k + 127) / 255);
    }
}

// Destination writing through a byte sink in 64 KB pieces.
struct TSinkWriter {
    jpeg_destination_mgr Pub;
    TByteSink* Sink = nullptr;
    JOCTET Buffer[65536];
};

void SinkInit(j_compress_ptr cinfo) {
    auto* writer = reinterpret_cast<TSinkWriter*>(cinfo->dest);
    writer->Pub.next_output_byte = writer->Buffer;
    writer->Pub.free_in_buffer = sizeof writer->Buffer;
}

boolean SinkEmpty(j_compress_ptr cinfo) {
    auto* writer = reinterpret_cast<TSinkWriter*>(cinfo->dest);
    if (!writer->Sink->Write(writer->Buffer, sizeof writer->Buffer)) ERREXIT(cinfo, JERR_FILE_WRITE);
    writer->Pub.next_output_byte = writer->Buffer;
    writer->Pub.free_in_buffer = sizeof writer->Buffer;
    return TRUE;
}

void SinkTerm(j_compress_ptr cinfo) {
    auto* writer = reinterpret_cast<TSinkWriter*>(cinfo->dest);
    const size_t used = sizeof writer->Buffer - writer->Pub.free_in_buffer;
    if (used > 0 && !writer->Sink->Write(writer->Buffer, used)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

int Percent(qint64 done, qint64 total) { return total > 0 ? int(done * 100 / total) : 100; }

// Asks libjpeg to keep the segments a picture's look depends on: APP1 (the
// EXIF orientation) and APP2 (the ICC profile). Photos without them cost
// nothing more.
void KeepLookMarkers(j_decompress_ptr cinfo) {
    jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(cinfo, JPEG_APP0 + 2, 0xFFFF);
}

// The EXIF orientation of the first Exif APP1 segment read; 1 for none.
int OrientationOf(j_decompress_ptr cinfo) {
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0)
            return ExifOrientation(m->data, qint64(m->data_length));
    }
    return 1;
}

// The ICC profile of the APP2 segments read; empty for none, and for
// segments that do not add up to one (libjpeg warns, and we show the
// picture as its numbers say).
QByteArray ProfileOf(j_decompress_ptr cinfo) {
    JOCTET* data = nullptr;
    unsigned int length = 0;
    if (!jpeg_read_icc_profile(cinfo, &data, &length) || !data) return {};
    QByteArray profile(reinterpret_cast<const char*>(data), qsizetype(length));
    std::free(data);
    return profile;
}

// The decoded picture as it is meant to be seen: in sRGB, then upright.
// The quarter turns keep the source size and the resolution in step.
int Present(BITMAPHANDLE& bitmap, int orientation, const QByteArray& profile) {
    if (!ConvertProfileToSrgb(bitmap.Image, profile)) return ERROR_NO_MEMORY;
    int result = SUCCESS;
    switch (orientation) {
    case 2: result = L_ReverseBitmap(&bitmap); break;
    case 3: result = L_RotateBitmap(&bitmap, 180, 0); break;
    case 4: result = L_FlipBitmap(&bitmap); break;
    case 5:
        result = L_FlipBitmap(&bitmap);
        if (result == SUCCESS) result = L_RotateBitmap(&bitmap, 90, 0);
        break;
    case 6: result = L_RotateBitmap(&bitmap, 90, 0); break;
    case 7:
        result = L_ReverseBitmap(&bitmap);
        if (result == SUCCESS) result = L_RotateBitmap(&bitmap, 90, 0);
        break;
    case 8: result = L_RotateBitmap(&bitmap, 270, 0); break;
    default: break;
    }
    return result;
}

}  // namespace

int JpegInfo(const TByteSource& source, FILEINFO& info) {
    TDecompressor decoder;
    TJpegError error;
    auto reader = std::make_unique<TSourceReader>();
    InstallErrorManager(error);
    decoder.Info.err = &error.Pub;
    if (setjmp(error.Jump)) return error.Code;
    jpeg_create_decompress(&decoder.Info);
    decoder.Created = true;
    decoder.Info.mem->max_memory_to_use = JpegMemoryBound;
    if (const auto* memory = dynamic_cast<const TMemorySource*>(&source)) {
        if (memory->Size() <= 0) return ERROR_FILE_FORMAT;
        jpeg_mem_src(&decoder.Info, memory->Data(), static_cast<unsigned long>(memory->Size()));
    } else {
        reader->Source = &source;
        reader->Pub.init_source = SourceInit;
        reader->Pub.fill_input_buffer = SourceFill;
        reader->Pub.skip_input_data = SourceSkip;
        reader->Pub.resync_to_restart = jpeg_resync_to_restart;
        reader->Pub.term_source = SourceTerm;
        decoder.Info.src = &reader->Pub;
    }
    KeepLookMarkers(&decoder.Info);
    jpeg_read_header(&decoder.Info, TRUE);
    const auto& cinfo = decoder.Info;
    info = FILEINFO();
    info.Format = FILE_JFIF;
    info.Orientation = OrientationOf(&decoder.Info);
    info.ForeignProfile = IsForeignProfile(ProfileOf(&decoder.Info));
    const bool across = info.Orientation >= 5;  // stored a quarter turn off
    info.Width = int(across ? cinfo.image_height : cinfo.image_width);
    info.Height = int(across ? cinfo.image_width : cinfo.image_height);
    info.BitsPerPixel = cinfo.num_components == 1 ? 8 : 24;
    DensityToDpi(cinfo, info.XResolution, info.YResolution);
    if (across) std::swap(info.XResolution, info.YResolution);
    info.SizeDisk = int(std::min<qint64>(source.Size(), INT32_MAX));
    const qint64 line = ((qint64(info.Width) * (info.BitsPerPixel / 8)) + 3) / 4 * 4;
    info.SizeMem = int(std::min<qint64>(line * info.Height, INT32_MAX));
    SetCompression(info, "JPEG");
    return SUCCESS;
}

int JpegDecode(const uint8_t* data, qint64 size, BITMAPHANDLE& bitmap, const TJpegLoad& load) {
    if (size <= 0) return ERROR_FILE_FORMAT;
    if (quint64(size) > quint64(ULONG_MAX)) return ERROR_IMAGE_TOO_LARGE;
    TDecompressor decoder;
    TJpegError error;
    TJpegProgress progress;
    QImage image;
    std::vector<uint8_t> scratch;
    QByteArray profile;
    int orientation = 1;
    InstallErrorManager(error);
    decoder.Info.err = &error.Pub;
    progress.Pub.progress_monitor = OnProgress;
    progress.Load = &load;
    progress.Bitmap = &bitmap;
    if (setjmp(error.Jump)) return error.Code;

    jpeg_create_decompress(&decoder.Info);
    decoder.Created = true;
    jpeg_decompress_struct& cinfo = decoder.Info;
    cinfo.mem->max_memory_to_use = JpegMemoryBound;
    cinfo.progress = &progress.Pub;
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    KeepLookMarkers(&cinfo);
    jpeg_read_header(&cinfo, TRUE);
    if (TooLarge(cinfo.image_width, cinfo.image_height)) return ERROR_IMAGE_TOO_LARGE;
    orientation = OrientationOf(&cinfo);
    // Sequential Huffman data needs at least two bits per block (a DC and an
    // end-of-block code): a file far shorter than that could not fill even a
    // sliver of the picture it claims, and is refused before the picture is
    // allocated. (Progressive and arithmetic coding can be far denser.)
    if (!cinfo.progressive_mode && !cinfo.arith_code) {
        qint64 blocks = 0;
        for (int i = 0; i < cinfo.num_components; ++i)
            blocks += qint64(cinfo.comp_info[i].width_in_blocks) * cinfo.comp_info[i].height_in_blocks;
        if (size * 4 < blocks / 16) return ERROR_CORRUPT_FILE;
    }

    const bool greyFile = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmykFile = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    // A CMYK profile does not describe the RGB we make of it.
    if (!cmykFile) profile = ProfileOf(&cinfo);
    // Decoded straight into the picture rows when the asked depth is one the
    // decoder gives; other depths are converted once the picture is complete.
    const int wanted = load.BitsPerPixel;
    const bool greyOut = greyFile && (wanted == 0 || wanted == 8);
    const int nativeBits = greyOut ? 8 : 24;
    const int channels = greyOut ? 1 : 3;
    const bool direct = wanted == 0 || wanted == nativeBits;
    cinfo.out_color_space = greyOut ? JCS_GRAYSCALE : (cmykFile ? JCS_CMYK : JCS_RGB);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.scale_num = unsigned(ChooseScaleNum(int(cinfo.image_width), int(cinfo.image_height),
                                              load.MinShortSide));
    cinfo.scale_denom = 8;
    jpeg_calc_output_dimensions(&cinfo);

    // The part of the scaled picture that is kept: all of it, or its centre cut.
    const QSize scaled(int(cinfo.output_width), int(cinfo.output_height));
    const QSize fileSize(int(cinfo.image_width), int(cinfo.image_height));
    QSize sourceCut = fileSize;
    const QRect keep = load.CentreSquare ? CentreCutOf(scaled, fileSize, &sourceCut)
                                         : QRect(QPoint(0, 0), scaled);
    const int width = keep.width();
    const int height = keep.height();
    image = NewPictureImage(width, height, greyOut ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (image.isNull()) return ERROR_NO_MEMORY;

    progress.Polling = true;
    jpeg_start_decompress(&cinfo);
    progress.Polling = false;
    // Columns outside the cut are not decoded: the decoder works on whole
    // blocks, so it may give a few more on the left, which are dropped.
    JDIMENSION cropLeft = JDIMENSION(keep.left());
    JDIMENSION cropWidth = JDIMENSION(width);
    if (width < scaled.width()) jpeg_crop_scanline(&cinfo, &cropLeft, &cropWidth);
    const int dropLeft = keep.left() - int(cropLeft);
    const int decodedWidth = int(cinfo.output_width);
    if (keep.top() > 0) jpeg_skip_scanlines(&cinfo, JDIMENSION(keep.top()));
    const int decodedChannels = cmykFile ? 4 : channels;
    const bool viaScratch = cmykFile || dropLeft != 0 || decodedWidth != width;
    if (viaScratch) scratch.resize(size_t(decodedWidth) * decodedChannels * RowBatch);

    const bool callRows = direct && load.Callback != nullptr;
    const bool status = load.ReportStatus && !load.Callback;
    if (callRows) {
        // Decoded into the handle itself, so the callback sees the rows where
        // they stay (and the caller frees the handle if the load fails).
        bitmap.Image = std::move(image);
        bitmap.BitsPerPixel = nativeBits;
        bitmap.SourceWidth = sourceCut.width();
        bitmap.SourceHeight = sourceCut.height();
    }
    QImage& target = callRows ? bitmap.Image : image;
    const qsizetype stride = target.bytesPerLine();
    uint8_t* bits = target.bits();
    int lastPercent = -1;
    int first = 0;
    while (first < height) {
        const int batch = std::min(RowBatch, height - first);
        JSAMPROW rows[RowBatch];
        for (int i = 0; i < batch; ++i) {
            rows[i] = viaScratch ? scratch.data() + size_t(i) * decodedWidth * decodedChannels
                                 : bits + qsizetype(first + i) * stride;
        }
        int done = 0;
        while (done < batch) {
            const JDIMENSION got = jpeg_read_scanlines(&cinfo, rows + done, JDIMENSION(batch - done));
            if (got == 0) return ERROR_CORRUPT_FILE;
            done += int(got);
        }
        if (viaScratch) {
            for (int i = 0; i < batch; ++i) {
                uint8_t* out = bits + qsizetype(first + i) * stride;
                const uint8_t* in = rows[i] + size_t(dropLeft) * decodedChannels;
                if (cmykFile)
                    CmykRowToRgb(in, out, width, cinfo.saw_Adobe_marker);
                else
                    std::memcpy(out, in, size_t(width) * channels);
            }
        }
        if (callRows) {
            const int result = load.Callback(load.Info, &bitmap, bits + qsizetype(first) * stride,
                                             first, batch, load.UserData);
            if (result != SUCCESS) {
                jpeg_abort_decompress(&cinfo);
                bitmap.Image = QImage();
                bitmap.BitsPerPixel = 0;
                return result;
            }
            // A callback that made the handle's picture detach (or dropped it)
            // must not leave us writing into a buffer nobody owns any more.
            if (bitmap.Image.constBits() != bits) {
                if (bitmap.Image.width() != width || bitmap.Image.height() != height ||
                    bitmap.Image.format() != (greyOut ? QImage::Format_Grayscale8 : QImage::Format_RGB888)) {
                    jpeg_abort_decompress(&cinfo);
                    bitmap.Image = QImage();
                    return ERROR_INV_PARAMETER;
                }
                bits = bitmap.Image.bits();
            }
        } else if (status) {
            const int percent = Percent(first + batch, height);
            if (percent != lastPercent) {
                lastPercent = percent;
                const int result = ReportStatus(percent);
                if (result != SUCCESS) {
                    jpeg_abort_decompress(&cinfo);
                    return result;
                }
            }
        }
        first += batch;
    }
    // Not jpeg_finish_decompress: every pixel kept is in (the rows below a
    // centre cut are never decoded), and a file that merely lacks its EOI
    // marker is complete enough to show.
    jpeg_abort_decompress(&cinfo);

    int xDpi = 0, yDpi = 0;
    DensityToDpi(cinfo, xDpi, yDpi);
    if (callRows) {
        bitmap.XResolution = xDpi;
        bitmap.YResolution = yDpi;
        return Present(bitmap, orientation, profile);
    }
    BITMAPHANDLE result;
    result.Image = std::move(image);
    result.BitsPerPixel = nativeBits;
    result.XResolution = xDpi;
    result.YResolution = yDpi;
    result.SourceWidth = sourceCut.width();
    result.SourceHeight = sourceCut.height();
    const int presented = Present(result, orientation, profile);
    if (presented != SUCCESS) return presented;
    if (!direct) {
        const int flags = wanted <= 8 ? CRF_FIXEDPALETTE : 0;
        const int converted = L_ColorResBitmap(&result, &result, wanted, flags);
        if (converted != SUCCESS) return converted;
    }
    if (load.Callback) {
        const int delivered = DeliverRows(result, load.Info, load.Callback, load.UserData);
        if (delivered != SUCCESS) return delivered;
    }
    bitmap = std::move(result);
    return SUCCESS;
}

int JpegEncode(BITMAPHANDLE& bitmap, TByteSink& sink, const TJpegSave& save) {
    if (!bitmap.IsAllocated()) return ERROR_NO_BITMAP;
    TCompressor encoder;
    TJpegError error;
    auto writer = std::make_unique<TSinkWriter>();
    std::vector<uint8_t> batchRows;
    QImage converted;
    InstallErrorManager(error);
    encoder.Info.err = &error.Pub;
    if (setjmp(error.Jump)) return error.Code;

    jpeg_create_compress(&encoder.Info);
    encoder.Created = true;
    jpeg_compress_struct& cinfo = encoder.Info;
    writer->Sink = &sink;
    writer->Pub.init_destination = SinkInit;
    writer->Pub.empty_output_buffer = SinkEmpty;
    writer->Pub.term_destination = SinkTerm;
    cinfo.dest = &writer->Pub;

    const QImage& source = bitmap.Image;
    const int width = source.width();
    const int height = source.height();
    const QImage::Format rowFormat = save.Grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888;
    const bool needsConversion = source.format() != rowFormat;
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = save.Grey ? 1 : 3;
    cinfo.in_color_space = save.Grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, std::clamp(save.Quality, 1, 100), TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    if (!save.Grey && !save.Subsample) {
        cinfo.comp_info[0].h_samp_factor = 1;
        cinfo.comp_info[0].v_samp_factor = 1;
    }
    cinfo.write_JFIF_header = TRUE;
    if (bitmap.XResolution > 0 && bitmap.YResolution > 0) {
        cinfo.density_unit = 1;
        cinfo.X_density = UINT16(std::min(bitmap.XResolution, 65535));
        cinfo.Y_density = UINT16(std::min(bitmap.YResolution, 65535));
    }
    const qsizetype stride = source.bytesPerLine();
    if (save.Callback) batchRows.resize(size_t(stride) * RowBatch);
    jpeg_start_compress(&cinfo, TRUE);

    int lastPercent = -1;
    for (int first = 0; first < height; first += RowBatch) {
        const int batch = std::min(RowBatch, height - first);
        const uint8_t* rows = source.constScanLine(first);
        if (save.Callback) {
            const int result = save.Callback(&bitmap, batchRows.data(), first, batch, save.UserData);
            if (result != SUCCESS) {
                jpeg_abort_compress(&cinfo);
                return result;
            }
            rows = batchRows.data();
        }
        qsizetype rowStride = stride;
        if (needsConversion) {
            // A view of the batch in the picture's own layout, converted once.
            QImage view(rows, width, batch, stride, source.format());
            if (source.format() == QImage::Format_Indexed8 || source.format() == QImage::Format_Mono ||
                source.format() == QImage::Format_MonoLSB)
                view.setColorTable(source.colorTable());
            converted = view.convertToFormat(rowFormat);
            if (converted.isNull()) {
                jpeg_abort_compress(&cinfo);
                return ERROR_NO_MEMORY;
            }
            rows = converted.constBits();
            rowStride = converted.bytesPerLine();
        }
        JSAMPROW pointers[RowBatch];
        for (int i = 0; i < batch; ++i) pointers[i] = const_cast<JSAMPROW>(rows + i * rowStride);
        int written = 0;
        while (written < batch) {
            const JDIMENSION n =
                jpeg_write_scanlines(&cinfo, pointers + written, JDIMENSION(batch - written));
            if (n == 0) {
                jpeg_abort_compress(&cinfo);
                return ERROR_FILE_WRITE;
            }
            written += int(n);
        }
        if (save.ReportStatus && !save.Callback) {
            const int percent = Percent(first + batch, height);
            if (percent != lastPercent) {
                lastPercent = percent;
                const int result = ReportStatus(percent);
                if (result != SUCCESS) {
                    jpeg_abort_compress(&cinfo);
                    return result;
                }
            }
        }
    }
    jpeg_finish_compress(&cinfo);
    return SUCCESS;
}

}  // namespace ilib
