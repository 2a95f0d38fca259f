#pragma once
// The module `duoplex`: its state object, shared by the files of the module.
#include <pybind11/pybind11.h>

#include <mutex>
#include <string>

#include "duoplex/core/planar_state.h"
#include "duoplex/core/settings.h"
#include "duoplex/session/session.h"

namespace pyduoplex {

namespace py = pybind11;

// The session's settings are those a frame of a run archive was recorded
// with; Archive.append takes them unless it is given others.
struct State {
    // No timeline; a fault keeps the state before the faulting step.
    duoplex::Session session{duoplex::FaultKeeps::StateBeforeStep, 0};
    std::mutex busy;  // held by a run in progress, and by every accessor
    std::string path;
};

void BindArchive(py::module_& m);

}  // namespace pyduoplex
