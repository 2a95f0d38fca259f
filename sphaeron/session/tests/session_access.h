#pragma once
// What the tests reach into a session for: states and names set up directly
// (a taon placed, the spiral switched on, a name no command would give),
// which the program only changes through its commands.
#include <string>

#include "sphaeron/session/session.h"

namespace sphaeron {

struct SessionTestAccess {
    static TaonState& State(Session& s) { return s.state_; }
    static TaonsDocument& Document(Session& s) { return s.document_; }
    // The names as they are set by hand: the one who shows DocumentName is
    // not told.
    static std::string& DocumentName(Session& s) { return s.documentName_; }
    static std::string& LastDocumentName(Session& s) { return s.lastDocumentName_; }
};

}  // namespace sphaeron
