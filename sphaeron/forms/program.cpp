#include "sphaeron/forms/program.h"

#include <QCoreApplication>

namespace sphaeron::forms {

SphaeronProgram::SphaeronProgram(Dialogs& dialogs, bool documentNamed) {
    QCoreApplication::setApplicationName(QStringLiteral("Sphaeron"));
    if (documentNamed) Data.SkipRememberedDocument();
    MainForm = std::make_unique<TMainForm>(Data, dialogs);
    EditDlg = std::make_unique<TEditDlg>(Data, dialogs, MainForm.get());
    AboutBox = std::make_unique<TAboutBox>(MainForm.get());
    MainForm->EditDlg = EditDlg.get();
    MainForm->AboutBox = AboutBox.get();
}

SphaeronProgram::~SphaeronProgram() {
    if (MainForm) {
        MainForm->EditDlg = nullptr;
        MainForm->AboutBox = nullptr;
    }
    AboutBox.reset();
    EditDlg.reset();
    MainForm.reset();
}

}  // namespace sphaeron::forms
