// sphaeron-run --png: the written picture equals the one the view code draws
// on an in-memory canvas with the same state and view.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/canvas.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/document/document.h"
#include "sphaeron/view/view.h"

namespace sphaeron {
namespace {

std::string Examples() {
    const char* e = std::getenv("SPHAERON_EXAMPLES");
    return e ? e : SPHAERON_EXAMPLES_DEFAULT;
}

int RunTool(const std::string& args) {
    std::string cmd = std::string(SPHAERON_RUN_PATH) + " " + args + " >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class PngExport : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/sphaeron-png-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Differences between the PNG and the canvas, pixel by pixel.
    static long Differences(const std::string& png, const common::MemoryCanvas& c) {
        QImage image(QString::fromStdString(png));
        if (image.width() != c.Width() || image.height() != c.Height()) return -1;
        long n = 0;
        for (int y = 0; y < c.Height(); ++y)
            for (int x = 0; x < c.Width(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) != c.Pixel(x, y)) ++n;
        return n;
    }
    std::string dir_;
};

TEST_F(PngExport, ShelloscopeSceneAfterARunWithViewScaleAndShift) {
    std::string png = dir_ + "/shell.png";
    ASSERT_EQ(0, RunTool(Examples() + "/shell_mode1.ato --steps 20 --mode 1 --view 0.1,-0.2,0.3 --scale 150 "
                                      "--shift -40.5,12 --size 800,400 --png " + png));
    TaonsDocument doc;
    TaonState s;
    LoadDocument(Examples() + "/shell_mode1.ato", doc, s);
    StepSwitches sw;
    sw.Mode1 = true;
    StepEngine engine;
    for (int k = 0; k < 20; ++k) engine.Step(s, sw);

    ViewState v;
    StartView(v, 800, 400);
    v.ViewTeta = 0.1L;
    v.ViewPsi = -0.2L;
    v.ViewPhi = 0.3L;
    v.ViewScale = 150;
    v.ShiftX = -40.5L;
    v.ShiftY = 12;
    common::MemoryCanvas c(800, 400);
    SceneSwitches scene;
    scene.shelloscope = true;
    DrawTaonScene(s, v, c, scene);
    EXPECT_GT(c.Count(common::kFuchsia), 100);
    EXPECT_EQ(0, Differences(png, c));
}

TEST_F(PngExport, SpiralTurnedOnceByTheViewAngles) {
    std::string png = dir_ + "/spiral.png";
    ASSERT_EQ(0, RunTool("--spiral --view 0.5,0.3,0.2 --png " + png));
    TaonState s;
    s.SpiralMode = true;
    ViewState v;
    StartView(v);
    BuildStartStructure(s, v);
    v.StepTeta = 0.5L;
    v.StepPsi = 0.3L;
    v.StepPhi = 0.2L;
    common::MemoryCanvas c(725, 289);
    DrawFigureScene(s, v, c);
    EXPECT_EQ(0, Differences(png, c));
}

TEST_F(PngExport, BadOptionsWriteNothing) {
    std::string png = dir_ + "/x.png";
    EXPECT_EQ(2, RunTool(Examples() + "/easy_square.ato --png " + png + " --view 1,2"));
    EXPECT_EQ(2, RunTool(Examples() + "/easy_square.ato --png " + png + " --size 0,10"));
    EXPECT_EQ(2, RunTool("--spiral"));
    EXPECT_FALSE(std::filesystem::exists(png));
}

TEST_F(PngExport, DrawingFaultKeepsThePartialPicture) {
    // Group 1 with B1 = 0: the Shelloscope chart divides by zero.
    TaonsDocument doc;
    TaonState s;
    LoadDocument(Examples() + "/shell_mode1.ato", doc, s);
    s.B1 = 0;
    std::string in = dir_ + "/b0.ato", png = dir_ + "/b0.png";
    PackDocument(s, doc);
    WriteDocument(in, doc);
    EXPECT_EQ(3, RunTool(in + " --mode 1 --png " + png));
    QImage image(QString::fromStdString(png));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(0xFFFF00u, image.pixel(362 + 20, 144) & 0xFFFFFF);  // the axis before the fault
}

}  // namespace
}  // namespace sphaeron
