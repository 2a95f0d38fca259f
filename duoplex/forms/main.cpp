// Duoplex: the planar gravon simulator.
#include "common/qt/dialogs.h"
#include "common/qt/guarded_app.h"
#include "duoplex/forms/main_form.h"

int main(int argc, char** argv) {
    using namespace duoplex::forms;
    common::qt::QtDialogs dialogs(QString::fromLatin1(kTitle), QMessageBox::Information);
    common::qt::GuardedApplication app(argc, argv, QString::fromLatin1(kTitle), dialogs);
    TMainForm form(dialogs);
    form.show();
    return app.exec();
}
