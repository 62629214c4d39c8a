#include "suite/iprot/iprot.h"
#include "support/fixtures.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

const uint8_t* Bytes(const QByteArray& a) { return reinterpret_cast<const uint8_t*>(a.constData()); }

QByteArray SmallJpeg() {
    QImage image(20, 12, QImage::Format_RGB32);
    image.fill(qRgb(40, 120, 200));
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(QImageWriter(&buffer, "jpg").write(image));
    return out;
}

struct TRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

class MakeVariantTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Without LUMORA_TOOLS_DIR, the build tree's layout: build/tests/test_suite
        // next to build/tools/.
        QString dir = qEnvironmentVariable("LUMORA_TOOLS_DIR");
        if (dir.isEmpty()) dir = QCoreApplication::applicationDirPath() + "/../tools";
        FTool = dir + "/make-variant";
        if (!QFileInfo(FTool).isExecutable()) GTEST_SKIP() << "make-variant not built: " << FTool.toStdString();
        FJpeg = SmallJpeg();
        FInput = FTemp.Write("in.jpg", FJpeg);
    }

    TRun Run(const QStringList& args) const {
        QProcess p;
        p.start(FTool, args);
        TRun r;
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.ExitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.Out = QString::fromLocal8Bit(p.readAllStandardOutput());
        r.Err = QString::fromLocal8Bit(p.readAllStandardError());
        return r;
    }

    QString FTool;
    TTempFolder FTemp;
    QByteArray FJpeg;
    QString FInput;
};

TEST_F(MakeVariantTest, WritesFilesTheLibraryConvertsBack) {
    struct TCase {
        QStringList Options;
        bool VariantB;
        unsigned Flags;
    };
    const TCase cases[] = {
        {{}, false, 0},
        {{"--turns", "1", "--reverse"}, false, 1 | IProt::OrientationReverse},
        {{"--variant", "B", "--turns", "3", "--flip", "--reverse"},
         true,
         3 | IProt::OrientationFlip | IProt::OrientationReverse},
        {{"--variant", "b", "--flip"}, true, IProt::OrientationFlip},
        {{"--variant", "A", "--turns", "15"}, false, 15},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Options.join(' ').toStdString());
        const QString output = FTemp.Path() + "out.pva";
        QFile::remove(output);
        const TRun r = Run(c.Options + QStringList{FInput, output});
        ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
        const QByteArray file = ReadFileBytes(output);
        EXPECT_FALSE(file.startsWith("\xFF\xD8"));
        EXPECT_EQ(IProt::IsVariantBImage(Bytes(file), file.size()) != 0, c.VariantB);
        EXPECT_EQ(IProt::IsVariantAImage(Bytes(file), file.size()) != 0, !c.VariantB);
        QByteArray jpeg;
        unsigned flags = 0;
        ASSERT_TRUE(IProt::ConvertKnownJpegImage(Bytes(file), file.size(), jpeg, flags));
        EXPECT_EQ(jpeg, FJpeg);
        EXPECT_EQ(flags, c.Flags);
    }
}

TEST_F(MakeVariantTest, HelpDescribesTheOptions) {
    const TRun r = Run({"--help"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_TRUE(r.Out.startsWith("Usage: make-variant")) << r.Out.toStdString();
    for (const char* option : {"--variant", "--turns", "--flip", "--reverse"})
        EXPECT_TRUE(r.Out.contains(option)) << option;
}

TEST_F(MakeVariantTest, BadInputGivesAClearErrorAndNoOutput) {
    const QString text = FTemp.Write("notes.jpg", "just some text, not a picture\n");
    const QString variant = FTemp.Write("already.pva", IProt::MakeVariantA(FJpeg, 0));
    const QString truncated = FTemp.Write("cut.jpg", FJpeg.left(12));
    const QString output = FTemp.Path() + "out.bin";
    struct TCase {
        QStringList Args;
        int ExitCode;
        const char* Message;
    };
    const TCase cases[] = {
        {{}, 2, "expected an input JPEG file and an output file"},
        {{FInput}, 2, "expected an input JPEG file and an output file"},
        {{FInput, output, "extra"}, 2, "expected an input JPEG file and an output file"},
        {{"--spin", FInput, output}, 2, "unknown option --spin"},
        {{"--variant", "C", FInput, output}, 2, "unknown variant \"C\""},
        {{"--turns", "16", FInput, output}, 2, "--turns needs a number from 0 to 15"},
        {{"--turns", "-1", FInput, output}, 2, "--turns needs a number from 0 to 15"},
        {{"--turns", "x", FInput, output}, 2, "--turns needs a number from 0 to 15"},
        {{FInput, output, "--turns"}, 2, "option --turns needs a value"},
        {{FTemp.Path() + "missing.jpg", output}, 1, "cannot read"},
        {{text, output}, 1, "is not a JPEG file"},
        {{variant, output}, 1, "is not a JPEG file"},
        {{truncated, output}, 1, "is not a JPEG file"},
        {{FInput, FTemp.Path() + "no/such/folder/out.pva"}, 1, "cannot write"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Args.join(' ').toStdString());
        const TRun r = Run(c.Args);
        EXPECT_EQ(r.ExitCode, c.ExitCode);
        EXPECT_TRUE(r.Err.startsWith("make-variant: ")) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains(c.Message)) << r.Err.toStdString();
        EXPECT_FALSE(QFile::exists(output));
    }
}

} // namespace
