// Duoplex: the planar gravon simulator.
//
//   duoplex [FILE.grav]
//
// With a document named, the window opens it as File > Open would.
#include "common/command_line.h"
#include "common/qt/dialogs.h"
#include "common/qt/guarded_app.h"
#include "common/version.h"
#include "duoplex/forms/main_form.h"

int main(int argc, char** argv) {
    using namespace duoplex::forms;
    const common::WindowCommandLine line{
        "duoplex", "The planar gravon simulator. Opens FILE (a .grav document) as File > Open would.",
        common::kVersion};
    common::HandleHelpAndVersion(argc, argv, line);
    common::qt::QtDialogs dialogs(QString::fromLatin1(kTitle), QMessageBox::Information);
    common::qt::GuardedApplication app(argc, argv, QString::fromLatin1(kTitle), dialogs);
    std::optional<std::string> document = common::DocumentArgument(argc, argv, line);
    TMainForm form(dialogs);
    form.show();
    if (document) form.OpenDocument(common::qt::DisplayPath(*document));
    return app.exec();
}
