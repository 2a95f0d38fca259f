#pragma once
// The process-wide data of the 3D program that the windows share: the
// simulation state, the view state and its step sizes, the document record
// buffer and the two document names.
#include <string>

#include "sphaeron/core/taon_state.h"
#include "sphaeron/document/document.h"
#include "sphaeron/view/view_commands.h"
#include "sphaeron/view/view_state.h"

namespace sphaeron::forms {

struct Session {
    TaonState State;
    ViewState View;
    ViewControls Controls;
    TaonsDocument Document;
    // The current document: what "Save" writes and what FName shows. Before
    // any document is known it holds a title instead of a path.
    std::string DocumentName;
    // The path read from or written to the start file.
    std::string LastDocumentName;
    // The commentary memo changed since the last save question.
    bool CommentModified = false;

    Session() {
        State.SpiralMode = false;
        State.Stopped = false;  // start-up sets it
        State.DT = 0;
    }
};

// Titles that stand in DocumentName or FName when no document is shown.
inline constexpr const char* kSpiralTitle = "ThetraSpiral";
inline constexpr const char* kEasySquareTitle = "The easy square";
inline constexpr const char* kStableStructureTitle = "This is a stabil structur of taons";

}  // namespace sphaeron::forms
