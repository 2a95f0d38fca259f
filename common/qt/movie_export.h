#pragma once
// Movies from the windows: pictures the window already holds, handed as raw
// RGB frames to the `ffmpeg` program in a QProcess, with a progress dialog
// that can cancel. The movie is written beside the target and put in place
// at the end; a failure or Cancel leaves no file.
#include <QDialog>
#include <QImage>
#include <QProcess>

#include <cstddef>
#include <functional>
#include <string>

#include "common/movie.h"

class QDoubleSpinBox;
class QLabel;
class QSpinBox;

namespace common::qt {

// ffmpeg in a child process writing a staging file beside the target.
class MovieProcess {
public:
    // Throws AppError: no ffmpeg (kNoFfmpegText), a name that is no movie,
    // an unwritable target ("cannot write '<name>': <reason>").
    MovieProcess(const std::string& target, const MovieSettings& settings);
    ~MovieProcess();  // cancels a movie that was not finished
    MovieProcess(const MovieProcess&) = delete;
    MovieProcess& operator=(const MovieProcess&) = delete;

    // One picture of the settings' size (Format_RGB32). Throws AppError
    // with ffmpeg's reason when it has ended.
    void Frame(const QImage& image);
    // Waits for ffmpeg and puts the movie in place; throws AppError with
    // the reason, and leaves no file.
    void Finish();
    // Ends ffmpeg and removes what it wrote.
    void Cancel();

private:
    [[noreturn]] void Failed();

    std::string target_, staging_;
    std::size_t frameBytes_;
    QProcess process_;
    std::vector<unsigned char> frame_;
    bool done_ = false;
};

// Writes `count` frames, each drawn by draw(i, image), as the movie at
// `target`, with a progress dialog on `parent`. Returns false when the user
// cancelled (nothing is left); throws AppError
// "cannot write '<target>': <reason>" on a failure (nothing is left).
bool ExportMovie(QWidget* parent, const std::string& target, const MovieSettings& settings, std::size_t count,
                 const std::function<void(std::size_t, QImage&)>& draw);

// "Export Movie": which of the held states, every K-th of them, and frames
// per second. States are numbered from 1; `stepOf` gives the step of a
// state for the labels.
class MovieExportDialog : public QDialog {
public:
    MovieExportDialog(QWidget* parent, std::size_t states, std::function<long long(std::size_t)> stepOf);

    // The chosen states, 0-based, and the frame rate.
    std::size_t First() const;
    std::size_t Last() const;
    std::size_t Every() const;
    double Fps() const;
    // The number of frames of the choice.
    std::size_t Frames() const;

    QSpinBox *FromBox = nullptr, *ToBox = nullptr, *EveryBox = nullptr;
    QDoubleSpinBox* FpsBox = nullptr;

private:
    void ShowSteps();

    std::function<long long(std::size_t)> stepOf_;
    QLabel* steps_ = nullptr;
};

// The filter of the movie save dialogs.
extern const char* const kMovieFilter;  // "Movies|*.mp4;*.gif;*.mkv"

}  // namespace common::qt
