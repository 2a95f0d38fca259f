#pragma once
// The program's windows, created in the order of the program start: the
// application title, the main window (whose creation runs the start-up),
// the gravon edit dialog, the About box. All of them show their boxes and
// dialogs through the one Dialogs the program is made with.
#include <memory>

#include "sphaeron/forms/about_box.h"
#include "sphaeron/forms/dialogs.h"
#include "sphaeron/forms/edit_dlg.h"
#include "sphaeron/forms/main_form.h"
#include "sphaeron/session/session.h"

namespace sphaeron::forms {

class SphaeronProgram {
public:
    // `dialogs` (not owned) outlives the program. With `documentNamed` (a
    // document on the command line, which the caller opens) the start-up
    // leaves the remembered document alone.
    explicit SphaeronProgram(Dialogs& dialogs, bool documentNamed = false);
    ~SphaeronProgram();

    Session Data;
    std::unique_ptr<TMainForm> MainForm;
    std::unique_ptr<TEditDlg> EditDlg;
    std::unique_ptr<TAboutBox> AboutBox;
};

}  // namespace sphaeron::forms
