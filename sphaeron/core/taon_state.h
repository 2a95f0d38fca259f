#pragma once
// The one simulation state of the 3D program: up to 100 taon slots with their
// committed, working and view copies, the time step, the three parameter
// groups, the step counter and the run flags. Slot arrays are indexed from 1.
#include <cstdint>

namespace sphaeron {

constexpr int kMaxTaons = 100;
constexpr int kSlots = kMaxTaons + 1;  // index 0 unused

// The six parameters of one group: A is a strength, B .. G are lengths.
struct ParamGroup {
    long double A, B, C, D, F, G;
};

struct TaonState {
    std::int32_t TaonCount = kMaxTaons;

    // Presence byte per slot: 0 absent, any other value present. The byte is
    // kept as read so that documents are written back unchanged.
    std::uint8_t GravonPresent[kSlots] = {};

    long double X[kSlots] = {}, Y[kSlots] = {}, Z[kSlots] = {};
    long double Ux[kSlots] = {}, Uy[kSlots] = {}, Uz[kSlots] = {};
    long double NewX[kSlots] = {}, NewY[kSlots] = {}, NewZ[kSlots] = {};
    long double NewUx[kSlots] = {}, NewUy[kSlots] = {}, NewUz[kSlots] = {};
    long double ViewX[kSlots] = {}, ViewY[kSlots] = {}, ViewZ[kSlots] = {};

    long double DT = 0;
    long double A1 = 0, B1 = 0, C1 = 0, D1 = 0, F1 = 0, G1 = 0;
    long double A2 = 0, B2 = 0, C2 = 0, D2 = 0, F2 = 0, G2 = 0;
    long double A3 = 0, B3 = 0, C3 = 0, D3 = 0, F3 = 0, G3 = 0;

    bool Stopped = true;
    std::int32_t StepCount = 0;
    bool TimeDisplayOn = false;
    bool ListVelocities = false;
    bool SpiralMode = false;

    bool Present(int k) const { return GravonPresent[k] != 0; }
};

// The switches of the main window that the force law reads at each step.
struct StepSwitches {
    bool StopL = false;  // freeze taons 7 .. 100, group 1 only from 1 .. 6
    bool Cool = false;   // damp velocities by 0.99 per step
    bool Mode1 = false;  // Shelloscope: group 1 without core, shell for G
};

// The switches of a run as the user sets them: the mode (0 AtomStand, 1
// Shelloscope, 2 Libration), StopL and Cool.
struct RunSwitches {
    int mode = 0;
    bool stopL = false;
    bool cool = false;

    // What the force law reads: mode 2 steps as mode 0 does (it only draws
    // a line in the picture).
    StepSwitches ForStep() const {
        StepSwitches sw;
        sw.StopL = stopL;
        sw.Cool = cool;
        sw.Mode1 = mode == 1;
        return sw;
    }
    friend bool operator==(const RunSwitches&, const RunSwitches&) = default;
};

// Parameters of group g (1, 2 or 3).
ParamGroup GroupParams(const TaonState& s, int g);
void SetGroupParams(TaonState& s, int g, const ParamGroup& p);

// Group (1, 2, 3) of the taon j that exerts a force, or 0 for none (with
// StopL, group 1 acts only from j <= TaonCount - 94).
int SourceGroup(int j, int taonCount, bool stopL);

// Number of taons a step moves: TaonCount, or TaonCount - 94 with StopL
// (at most the number of slots, never negative).
int MovingCount(const TaonState& s, bool stopL);

// Copies the working copy of slots 1 .. M into the committed and view copies.
void CommitStep(TaonState& s, bool stopL);

// Sets all six velocity arrays of every slot to 0.
void ZeroVelocities(TaonState& s);

// Sets the working copy of every slot to the committed copy.
void ResetWorkingCopy(TaonState& s);

// Sets the working copy and the view copy of every present slot to the
// committed copy (an edited document taken as the current one); absent
// slots keep theirs.
void AdoptCommittedCopies(TaonState& s);

inline long double CoolFactor(bool cool) { return cool ? 0.99L : 1.0L; }

}  // namespace sphaeron
