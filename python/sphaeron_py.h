#pragma once
// The Python module `sphaeron`: a document (the record buffer and the state
// it fills), the step engine, observables, potentials and the picture.
#include <pybind11/pybind11.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "sphaeron/core/taon_state.h"
#include "sphaeron/document/document.h"

namespace pysphaeron {

namespace py = pybind11;

// A loaded or built document: the record buffer (which keeps the padding
// bytes of the file read) and the state distributed from it. Between steps
// the working and view copies equal the committed copy: every writer here
// sets all of them, as loading a document does.
struct Document {
    sphaeron::TaonsDocument record;
    sphaeron::TaonState state;
    // Held by a step in progress (which runs without the interpreter lock);
    // every accessor takes it too, so a state is never read half stepped.
    std::mutex busy;
    std::string path;  // the file it came from or was last saved to
    // The steps made in 64 bits; state.StepCount is its low 32 bits (a
    // step_count set apart starts it anew from that value).
    std::uint64_t steps = 0;
};

void BindDocument(py::module_& m);
void BindEngine(py::module_& m);
void BindObservables(py::module_& m);
void BindRender(py::module_& m);
void BindStructure(py::module_& m);

}  // namespace pysphaeron
