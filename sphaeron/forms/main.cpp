// Sphaeron: the windowed 3D taon simulator.
#include <QThread>
#include <algorithm>

#include "sphaeron/forms/about_box.h"
#include "sphaeron/forms/dialogs.h"
#include "sphaeron/forms/failure.h"
#include "sphaeron/forms/program.h"

int main(int argc, char** argv) {
    sphaeron::forms::SphaeronApplication app(argc, argv);
    app.setWindowIcon(sphaeron::forms::ProgramIcon());
    sphaeron::forms::QtDialogs dialogs;
    sphaeron::forms::Dialogs::Install(&dialogs);
    sphaeron::forms::SphaeronProgram program;
    // The step gives the same results on any number of threads.
    program.Data.SetStepThreads(std::clamp(QThread::idealThreadCount(), 1, 4));
    program.MainForm->show();
    program.MainForm->activateWindow();
    int code = app.exec();
    sphaeron::forms::Dialogs::Install(nullptr);
    return code;
}
