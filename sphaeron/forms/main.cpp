// Sphaeron: the windowed 3D taon simulator.
//
//   sphaeron [--timeline-memory MIB] [FILE.ato | RUN.atorun]
//
// With a document or a run archive named, the window opens it as File > Open
// would (a .ato record, its JSON form or an .atorun run); the remembered
// document is then not loaded.
#include <QThread>
#include <algorithm>
#include <filesystem>

#include "common/command_line.h"
#include "common/version.h"
#include "sphaeron/forms/about_box.h"
#include "sphaeron/forms/dialogs.h"
#include "sphaeron/forms/failure.h"
#include "sphaeron/forms/program.h"

int main(int argc, char** argv) {
    using namespace sphaeron::forms;
    const common::WindowCommandLine line{
        "sphaeron",
        "The 3D taon simulator. Opens FILE (an .ato document, its JSON form or an .atorun run archive) as File > Open would.",
        common::kVersion};
    common::HandleHelpAndVersion(argc, argv, line);
    // The one set of dialogs and boxes of the program: the application's
    // failure handler and every window show theirs through it.
    QtDialogs dialogs;
    SphaeronApplication app(argc, argv, dialogs);
    app.setWindowIcon(ProgramIcon());
    const common::WindowArguments args = common::ReadWindowArguments(argc, argv, line);
    const std::optional<std::string>& document = args.document;
    SphaeronProgram program(dialogs, document.has_value());
    program.Data.SetTimelineBudget(args.timelineBytes);
    program.MainForm->ShowTimeline();
    // The step gives the same results on any number of threads.
    program.Data.SetStepThreads(std::clamp(QThread::idealThreadCount(), 1, 4));
    program.MainForm->show();
    program.MainForm->activateWindow();
    // After an unclean end: the run it was recording, if wanted.
    Guarded(dialogs, [&] { program.MainForm->RecoverRun(); });
    if (document) {
        // The open dialog gives full paths; so does the command line.
        std::error_code ec;
        std::filesystem::path path = std::filesystem::absolute(*document, ec);
        Guarded(dialogs, [&] { program.MainForm->OpenDocument(ec ? *document : path.string()); });
    }
    return app.exec();
}
