// Duoplex: the planar gravon simulator.
//
//   duoplex [FILE.grav]
//
// With a document named, the window opens it as File > Open would.
#include "common/qt/dialogs.h"
#include "common/qt/guarded_app.h"
#include "duoplex/forms/command_line.h"
#include "duoplex/forms/main_form.h"

int main(int argc, char** argv) {
    using namespace duoplex::forms;
    HandleHelpAndVersion(argc, argv);
    common::qt::QtDialogs dialogs(QString::fromLatin1(kTitle), QMessageBox::Information);
    common::qt::GuardedApplication app(argc, argv, QString::fromLatin1(kTitle), dialogs);
    std::optional<std::string> document = DocumentArgument(argc, argv);
    TMainForm form(dialogs);
    form.show();
    if (document) form.OpenDocument(common::qt::DisplayPath(*document));
    return app.exec();
}
