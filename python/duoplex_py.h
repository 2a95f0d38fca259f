#pragma once
// The module `duoplex`: its state object, shared by the files of the module.
#include <pybind11/pybind11.h>

#include <mutex>
#include <string>

#include "duoplex/core/planar_state.h"
#include "duoplex/core/settings.h"

namespace pyduoplex {

namespace py = pybind11;

struct State {
    duoplex::PlanarState s;
    std::mutex busy;  // held by a run in progress, and by every accessor
    std::string path;
    // The switches a frame of a run archive was recorded with; Archive.append
    // takes them unless it is given others.
    duoplex::StepSettings settings;
};

void BindArchive(py::module_& m);

}  // namespace pyduoplex
