// File > Export Movie ... of the planar window: the held states drawn in
// turn as the window drew the run, without touching the window's field.
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "common/movie.h"
#include "common/qt/movie_export.h"
#include "duoplex/core/tests/test_files.h"
#include "duoplex/forms/main_form.h"
#include "gui_test_support.h"

namespace duoplex::forms {
namespace {

using testing::ScratchDir;

// The scripted dialogs with the export's own dialog answered.
struct ExportDialogs : testing::ScriptedDialogs {
    int every = 1;
    int ExecModal(QDialog& d) override {
        static_cast<common::qt::MovieExportDialog&>(d).EveryBox->setValue(every);
        return QDialog::Accepted;
    }
};

std::string Rgb(const QImage& image) {
    QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::string out;
    for (int y = 0; y < rgb.height(); ++y)
        out.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), static_cast<std::size_t>(rgb.width()) * 3);
    return out;
}

TEST(DuoplexMovie, ExportDrawsTheHeldStatesAsTheRunDrewThem) {
    if (common::FindProgram("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg)";
    ScratchDir dir;
    ExportDialogs dialogs;
    dialogs.every = 100;
    TMainForm form(dialogs);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const std::string first = Rgb(form.Picture());
    QTimer stopper;
    stopper.setInterval(0);
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (form.Session.State().StepCount < 300) return;
        stopper.stop();
        form.GoClick();
    });
    stopper.start();
    form.GoClick();
    ASSERT_EQ(300, form.Session.State().StepCount);
    const std::string last = Rgb(form.Picture());

    dialogs.save.push_back(QString::fromStdString(dir.File("run.mkv")));
    form.ExportMovie1Click();
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    ASSERT_EQ(0, std::system(("ffmpeg -v error -i '" + dir.File("run.mkv") + "' -f rawvideo -pix_fmt rgb24 -y '" +
                              dir.File("run.raw") + "'").c_str()));
    std::ifstream in(dir.File("run.raw"), std::ios::binary);
    std::ostringstream raw;
    raw << in.rdbuf();
    const std::size_t n = first.size();
    ASSERT_EQ(4 * n, raw.str().size());  // states 0, 100, 200 and 300
    EXPECT_TRUE(raw.str().substr(0, n) == first);
    EXPECT_TRUE(raw.str().substr(3 * n) == last);
    EXPECT_NE(first, last);
    EXPECT_TRUE(Rgb(form.Picture()) == last);  // the window's field as it was
}

}  // namespace
}  // namespace duoplex::forms
