// Duoplex: the planar gravon simulator.
//
//   duoplex [--timeline-memory MIB] [FILE.grav | RUN.gravrun]
//
// With a document or a run archive named, the window opens it as File > Open
// would.
#include "common/command_line.h"
#include "common/qt/dialogs.h"
#include "common/qt/guarded_app.h"
#include "common/version.h"
#include "duoplex/forms/main_form.h"

int main(int argc, char** argv) {
    using namespace duoplex::forms;
    const common::WindowCommandLine line{
        "duoplex",
        "The planar gravon simulator. Opens FILE (a .grav document, its JSON form or a .gravrun run archive) as "
        "File > Open would.",
        common::kVersion};
    common::HandleHelpAndVersion(argc, argv, line);
    common::qt::QtDialogs dialogs(QString::fromLatin1(kTitle), QMessageBox::Information);
    common::qt::GuardedApplication app(argc, argv, QString::fromLatin1(kTitle), dialogs);
    const common::WindowArguments args = common::ReadWindowArguments(argc, argv, line);
    TMainForm form(dialogs);
    form.Session.SetTimelineBudget(args.timelineBytes);
    form.show();
    // After an unclean end: the run it was recording, if wanted.
    form.RecoverRun();
    if (args.document) form.OpenDocument(common::qt::DisplayPath(*args.document));
    return app.exec();
}
