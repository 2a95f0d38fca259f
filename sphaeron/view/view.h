#pragma once
// Everything the main window needs from the 3D view.
#include "sphaeron/view/figures.h"
#include "sphaeron/view/scene.h"
#include "sphaeron/view/view_commands.h"
#include "sphaeron/view/view_state.h"
