#pragma once
// The interaction law and the integration step of the 3D program.
#include <memory>

#include "common/checked_real.h"
#include "sphaeron/core/taon_state.h"

namespace sphaeron {

struct Observables;

// Base raised to an exponent: exp(y * ln x); defined for x > 0.
using common::Power;

// The terms of the pair factor (plain evaluation, as written).
long double CoreSlope(long double r);
long double LayerSlope(long double b, long double r);
long double ShellSlope(long double r, long double a1, long double g1);
// The pair factor of group g at distance r, with the reach factors formed
// from the current parameters.
long double GroupSlope(const TaonState& s, int g, long double r, bool mode1);

// Force components on taon i from the committed positions (as written).
long double ForceX(const TaonState& s, int i, const StepSwitches& sw);
long double ForceY(const TaonState& s, int i, const StepSwitches& sw);
long double ForceZ(const TaonState& s, int i, const StepSwitches& sw);

// Advances the moving taons by one step of DT and commits. Results are
// identical bit for bit to the written procedure, whatever the number of
// threads. On an arithmetic fault it throws FloatError with the text of the
// first faulting operation; the committed copy then holds the state before
// the step and the working copy is reset to it.
// With `before` non-null the step also fills *before with the observables of
// the state before the step, the same bit for bit as ComputeObservables on
// it, on any number of threads; the step itself is the same as without.
// Should the observables alone fault (say an energy beyond the range), the
// step is still made and every field of *before is NaN. After a fault of the
// step, *before is unspecified.
class StepEngine {
public:
    explicit StepEngine(int threads = 1);
    ~StepEngine();
    StepEngine(const StepEngine&) = delete;
    StepEngine& operator=(const StepEngine&) = delete;

    void Step(TaonState& s, const StepSwitches& sw, Observables* before = nullptr);
    int Threads() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The written procedure itself, slow; throws at the first faulting
// operation with its text. Kept as the reference for the fast step.
void LiteralTaonStep(TaonState& s, const StepSwitches& sw);

}  // namespace sphaeron
