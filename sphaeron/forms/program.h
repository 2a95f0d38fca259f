#pragma once
// The program's windows, created in the order of the program start: the
// application title, the main window (whose creation runs the start-up),
// the gravon edit dialog, the About box.
#include <memory>

#include "sphaeron/forms/about_box.h"
#include "sphaeron/forms/edit_dlg.h"
#include "sphaeron/forms/main_form.h"
#include "sphaeron/session/session.h"

namespace sphaeron::forms {

class SphaeronProgram {
public:
    SphaeronProgram();
    ~SphaeronProgram();

    Session Data;
    std::unique_ptr<TMainForm> MainForm;
    std::unique_ptr<TEditDlg> EditDlg;
    std::unique_ptr<TAboutBox> AboutBox;
};

}  // namespace sphaeron::forms
