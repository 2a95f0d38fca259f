#include "common/qt/movie_export.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QProgressDialog>
#include <QSpinBox>
#include <QVBoxLayout>

#include <unistd.h>

#include <optional>

#include "common/errors.h"

namespace common::qt {

const char* const kMovieFilter = "Movies|*.mp4;*.gif;*.mkv";

MovieProcess::MovieProcess(const std::string& target, const MovieSettings& settings)
    : target_(target),
      frameBytes_(static_cast<std::size_t>(settings.width) * static_cast<std::size_t>(settings.height) * 3) {
    MovieFormat format = MovieFormatOf(target);
    std::string program = FfmpegProgram();
    staging_ = MakeMovieStaging(target);
    QStringList args;
    for (const std::string& a : FfmpegArguments(format, settings, staging_)) args << QString::fromStdString(a);
    process_.setProgram(QString::fromStdString(program));
    process_.setArguments(args);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start();
    if (!process_.waitForStarted()) {
        ::unlink(staging_.c_str());
        done_ = true;
        throw AppError("ffmpeg could not be started: " + process_.errorString().toStdString());
    }
}

MovieProcess::~MovieProcess() { Cancel(); }

void MovieProcess::Failed() {
    process_.closeWriteChannel();
    process_.waitForFinished(-1);
    std::string messages = process_.readAllStandardError().toStdString();
    std::string text = "ffmpeg failed";
    if (process_.exitStatus() == QProcess::CrashExit)
        text += " (ended by a signal)";
    else
        text += " (exit status " + std::to_string(process_.exitCode()) + ")";
    std::string last = LastLine(messages);
    if (!last.empty()) text += ": " + last;
    Cancel();
    throw AppError(text);
}

void MovieProcess::Frame(const QImage& image) {
    const auto width = static_cast<std::size_t>(image.width());
    frame_.resize(frameBytes_);
    if (width * static_cast<std::size_t>(image.height()) * 3 != frameBytes_ || image.format() != QImage::Format_RGB32)
        throw AppError("a movie picture of the wrong size");
    for (int y = 0; y < image.height(); ++y)
        RgbBytes(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)), width,
                 frame_.data() + static_cast<std::size_t>(y) * width * 3);
    if (process_.state() != QProcess::Running) Failed();
    process_.write(reinterpret_cast<const char*>(frame_.data()), static_cast<qint64>(frame_.size()));
    // A few frames ahead of ffmpeg at most.
    while (process_.bytesToWrite() > static_cast<qint64>(4 * frameBytes_)) {
        if (!process_.waitForBytesWritten(1000) && process_.state() != QProcess::Running) Failed();
    }
}

void MovieProcess::Finish() {
    process_.closeWriteChannel();
    process_.waitForFinished(-1);
    if (process_.exitStatus() != QProcess::NormalExit || process_.exitCode() != 0) Failed();
    done_ = true;
    CommitMovie(staging_, target_);
}

void MovieProcess::Cancel() {
    if (done_) return;
    done_ = true;
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(-1);
    }
    ::unlink(staging_.c_str());
}

namespace {

// Runs a step of the movie; its failure names the file.
template <class Step>
void MovieStep(const std::string& target, Step&& step) {
    try {
        step();
    } catch (const FileError&) {
        throw;  // it names the file already
    } catch (const AppError& e) {
        throw AppError("cannot write '" + target + "': " + e.what());
    }
}

}  // namespace

bool ExportMovie(QWidget* parent, const std::string& target, const MovieSettings& settings, std::size_t count,
                 const std::function<void(std::size_t, QImage&)>& draw) {
    std::optional<MovieProcess> movie;
    MovieStep(target, [&] { movie.emplace(target, settings); });
    QProgressDialog progress(QStringLiteral("Writing the movie ..."), QStringLiteral("Cancel"), 0,
                             static_cast<int>(count), parent);
    progress.setWindowTitle(QStringLiteral("Export Movie"));
    progress.setWindowModality(Qt::WindowModal);
    // Shown at once: while it is, the window takes no input.
    progress.setMinimumDuration(0);
    progress.show();
    QImage image;
    // A failure or Cancel: the movie's destructor removes what was written.
    for (std::size_t i = 0; i < count; ++i) {
        progress.setValue(static_cast<int>(i));
        QCoreApplication::processEvents();
        if (progress.wasCanceled()) return false;
        draw(i, image);
        MovieStep(target, [&] { movie->Frame(image); });
    }
    progress.setValue(static_cast<int>(count));
    if (progress.wasCanceled()) return false;
    MovieStep(target, [&] { movie->Finish(); });
    return true;
}

MovieExportDialog::MovieExportDialog(QWidget* parent, std::size_t states, std::function<long long(std::size_t)> stepOf)
    : QDialog(parent), stepOf_(std::move(stepOf)) {
    setWindowTitle(QStringLiteral("Export Movie"));
    const int n = static_cast<int>(states);
    auto spin = [&](int value) {
        auto* box = new QSpinBox(this);
        box->setRange(1, n < 1 ? 1 : n);
        box->setValue(value);
        return box;
    };
    FromBox = spin(1);
    ToBox = spin(n);
    EveryBox = spin(1);
    FpsBox = new QDoubleSpinBox(this);
    FpsBox->setRange(0.1, 1000);
    FpsBox->setDecimals(1);
    FpsBox->setValue(25);
    steps_ = new QLabel(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("From state"), FromBox);
    form->addRow(QStringLiteral("To state"), ToBox);
    form->addRow(QStringLiteral("Every K-th state"), EveryBox);
    form->addRow(QStringLiteral("Frames per second"), FpsBox);
    form->addRow(steps_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    for (QSpinBox* box : {FromBox, ToBox, EveryBox})
        connect(box, &QSpinBox::valueChanged, this, [this] { ShowSteps(); });
    ShowSteps();
}

std::size_t MovieExportDialog::First() const {
    return static_cast<std::size_t>(std::min(FromBox->value(), ToBox->value()) - 1);
}
std::size_t MovieExportDialog::Last() const {
    return static_cast<std::size_t>(std::max(FromBox->value(), ToBox->value()) - 1);
}
std::size_t MovieExportDialog::Every() const { return static_cast<std::size_t>(EveryBox->value()); }
double MovieExportDialog::Fps() const { return FpsBox->value(); }
std::size_t MovieExportDialog::Frames() const { return (Last() - First()) / Every() + 1; }

void MovieExportDialog::ShowSteps() {
    steps_->setText(QStringLiteral("Steps %1 to %2, %3 frames")
                        .arg(stepOf_(First()))
                        .arg(stepOf_(First() + (Frames() - 1) * Every()))
                        .arg(Frames()));
}

}  // namespace common::qt
