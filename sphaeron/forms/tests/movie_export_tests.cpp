// File > Export Movie ...: the held states drawn as the window shows them,
// Cancel and a missing ffmpeg leave no file. Tests that need ffmpeg skip
// without it.
#include <QProgressDialog>
#include <QSpinBox>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/movie.h"
#include "common/qt/movie_export.h"
#include "forms_test_support.h"

namespace sphaeron::forms::testing {
namespace {

// The scripted dialogs; the save dialog is the movie's.
class MovieDialogs : public ScriptedDialogs {
public:
    std::deque<QString> MovieAnswers;
    std::optional<QString> SaveFileName(QWidget*, const QString& filter, const QString& defaultExt) override {
        EXPECT_EQ(QString::fromLatin1(common::qt::kMovieFilter), filter);
        EXPECT_EQ(QStringLiteral("mp4"), defaultExt);
        if (MovieAnswers.empty()) return std::nullopt;
        QString name = MovieAnswers.front();
        MovieAnswers.pop_front();
        return name;
    }
};

class MovieExportTest : public FormsTest {
protected:
    // The window on the square document, with the movie dialogs.
    TMainForm& StartSquare() {
        WriteState(Path("doc.ato"), SquareState(0.05L));
        WriteStartFile(Path("doc.ato"));
        return Start(movieDialogs);
    }
    void TearDown() override {
        ::unsetenv("SPHAERON_FFMPEG");
        FormsTest::TearDown();
    }
    // Runs until the step count reaches `last`.
    void RunTo(int last) {
        AtPass(Form(), last, [&] { Form().GoClick(); });
        Form().GoClick();
        ASSERT_EQ(last, State().StepCount);
    }
    // The export dialog answered with every K-th state, then the file.
    void ScriptExport(int every, const std::string& name) {
        movieDialogs.ModalActions.push_back([every](QDialog& d) {
            static_cast<common::qt::MovieExportDialog&>(d).EveryBox->setValue(every);
            return static_cast<int>(QDialog::Accepted);
        });
        movieDialogs.MovieAnswers.push_back(QPath(name));
    }
    MovieDialogs movieDialogs;
    // Names in the test folder that a movie export could have left.
    std::vector<std::string> MovieFiles() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) {
            std::string n = e.path().filename().string();
            if (n.find("movie") != std::string::npos || n.find(".mp4") != std::string::npos) names.push_back(n);
        }
        return names;
    }
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Rgb(const QImage& image) {
    QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::string out;
    for (int y = 0; y < rgb.height(); ++y)
        out.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), static_cast<std::size_t>(rgb.width()) * 3);
    return out;
}

TEST_F(MovieExportTest, LosslessMovieHoldsTheStatesAsTheWindowShowedThem) {
    if (common::FindProgram("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg)";
    TMainForm& f = StartSquare();
    f.ShowNumbersOfPointsClick();
    const std::string first = Rgb(f.BackBuffer);
    RunTo(12);
    const std::string last = Rgb(f.BackBuffer);

    ScriptExport(4, "run.mkv");
    f.ExportMovie1->trigger();
    ASSERT_TRUE(movieDialogs.Failures.empty()) << movieDialogs.Failures.front().toStdString();
    ASSERT_EQ("", std::system(("ffmpeg -v error -i '" + Path("run.mkv") + "' -f rawvideo -pix_fmt rgb24 -y '" +
                               Path("run.raw") + "'").c_str()) == 0 ? "" : "ffmpeg could not decode");
    const std::string raw = ReadAll(Path("run.raw"));
    const std::size_t n = first.size();
    ASSERT_EQ(4 * n, raw.size());  // states 0, 4, 8 and 12
    EXPECT_TRUE(raw.substr(0, n) == first);
    EXPECT_TRUE(raw.substr(3 * n) == last);
    EXPECT_NE(first, last);
    EXPECT_EQ(12, State().StepCount);  // nothing moved
}

TEST_F(MovieExportTest, CancelLeavesNoFile) {
    if (common::FindProgram("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg)";
    TMainForm& f = StartSquare();
    RunTo(60);
    ScriptExport(1, "run.mp4");
    int frames = 0;
    QTimer cancel;
    cancel.setInterval(0);
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        auto* progress = f.findChild<QProgressDialog*>();
        if (progress && ++frames == 5) progress->cancel();
    });
    cancel.start();
    f.ExportMovie1->trigger();
    cancel.stop();
    EXPECT_GE(frames, 5);
    EXPECT_TRUE(movieDialogs.Failures.empty());
    EXPECT_TRUE(MovieFiles().empty());
}

TEST_F(MovieExportTest, WithoutFfmpegTheMessageNamesThePackageAndNoFileIsLeft) {
    TMainForm& f = StartSquare();
    ::setenv("SPHAERON_FFMPEG", Path("no-such-ffmpeg").c_str(), 1);
    ScriptExport(1, "run.mp4");
    f.ExportMovie1->trigger();
    ASSERT_EQ(1u, movieDialogs.Failures.size());
    EXPECT_EQ(QString::fromStdString("cannot write '" + Path("run.mp4") + "': " + common::kNoFfmpegText),
              movieDialogs.Failures.front());
    EXPECT_TRUE(MovieFiles().empty());
}

}  // namespace
}  // namespace sphaeron::forms::testing
