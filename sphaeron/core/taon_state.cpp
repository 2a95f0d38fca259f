#include "sphaeron/core/taon_state.h"

#include <algorithm>

namespace sphaeron {

ParamGroup GroupParams(const TaonState& s, int g) {
    switch (g) {
        case 1: return {s.A1, s.B1, s.C1, s.D1, s.F1, s.G1};
        case 2: return {s.A2, s.B2, s.C2, s.D2, s.F2, s.G2};
        default: return {s.A3, s.B3, s.C3, s.D3, s.F3, s.G3};
    }
}

void SetGroupParams(TaonState& s, int g, const ParamGroup& p) {
    switch (g) {
        case 1: s.A1 = p.A; s.B1 = p.B; s.C1 = p.C; s.D1 = p.D; s.F1 = p.F; s.G1 = p.G; break;
        case 2: s.A2 = p.A; s.B2 = p.B; s.C2 = p.C; s.D2 = p.D; s.F2 = p.F; s.G2 = p.G; break;
        default: s.A3 = p.A; s.B3 = p.B; s.C3 = p.C; s.D3 = p.D; s.F3 = p.F; s.G3 = p.G; break;
    }
}

int SourceGroup(int j, int taonCount, bool stopL) {
    if (stopL ? j <= taonCount - 94 : j <= taonCount - 50) return 1;
    if (j > taonCount - 50 && j <= taonCount - 20) return 2;
    if (j > taonCount - 20) return 3;
    return 0;
}

int MovingCount(const TaonState& s, bool stopL) {
    int m = stopL ? s.TaonCount - 94 : s.TaonCount;
    return std::clamp(m, 0, kMaxTaons);
}

void CommitStep(TaonState& s, bool stopL) {
    int m = MovingCount(s, stopL);
    for (int k = 1; k <= m; ++k) {
        s.X[k] = s.NewX[k];
        s.Ux[k] = s.NewUx[k];
        s.Y[k] = s.NewY[k];
        s.Uy[k] = s.NewUy[k];
        s.Z[k] = s.NewZ[k];
        s.Uz[k] = s.NewUz[k];
        s.ViewX[k] = s.NewX[k];
        s.ViewY[k] = s.NewY[k];
        s.ViewZ[k] = s.NewZ[k];
    }
}

void ZeroVelocities(TaonState& s) {
    int n = std::clamp(s.TaonCount, 0, kMaxTaons);
    for (int k = 1; k <= n; ++k) {
        s.Ux[k] = 0; s.Uy[k] = 0; s.Uz[k] = 0;
        s.NewUx[k] = 0; s.NewUy[k] = 0; s.NewUz[k] = 0;
    }
}

void ResetWorkingCopy(TaonState& s) {
    for (int k = 1; k <= kMaxTaons; ++k) {
        s.NewX[k] = s.X[k]; s.NewY[k] = s.Y[k]; s.NewZ[k] = s.Z[k];
        s.NewUx[k] = s.Ux[k]; s.NewUy[k] = s.Uy[k]; s.NewUz[k] = s.Uz[k];
    }
}

void AdoptCommittedCopies(TaonState& s) {
    for (int k = 1; k <= kMaxTaons; ++k) {
        if (!s.Present(k)) continue;
        s.ViewX[k] = s.NewX[k] = s.X[k];
        s.ViewY[k] = s.NewY[k] = s.Y[k];
        s.ViewZ[k] = s.NewZ[k] = s.Z[k];
        s.NewUx[k] = s.Ux[k];
        s.NewUy[k] = s.Uy[k];
        s.NewUz[k] = s.Uz[k];
    }
}

}  // namespace sphaeron
