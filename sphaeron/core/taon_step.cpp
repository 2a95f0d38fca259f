#include "sphaeron/core/taon_step.h"

#include <atomic>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <vector>

#include "common/errors.h"
#include "common/fpcheck.h"
#include "sphaeron/core/literal_step.h"
#include "sphaeron/core/observables.h"
#include "sphaeron/core/observables_sum.h"
#include "sphaeron/core/worker_pool.h"
#include "sphaeron/core/zero_ranges.h"

namespace sphaeron {

// ---------------------------------------------------------------------------
// Plain evaluation, as written.

long double CoreSlope(long double r) { return literal::CoreSlope<long double>(r); }
long double LayerSlope(long double b, long double r) { return literal::LayerSlope<long double>(b, r); }
long double ShellSlope(long double r, long double a1, long double g1) {
    return literal::ShellSlope<long double>(r, a1, g1);
}
long double GroupSlope(const TaonState& s, int g, long double r, bool mode1) {
    return literal::GroupSlope<long double>(s, literal::ReachFactors<long double>(s), g, r, mode1);
}
long double ForceX(const TaonState& s, int i, const StepSwitches& sw) { return literal::Force<long double>(s, i, 0, sw); }
long double ForceY(const TaonState& s, int i, const StepSwitches& sw) { return literal::Force<long double>(s, i, 1, sw); }
long double ForceZ(const TaonState& s, int i, const StepSwitches& sw) { return literal::Force<long double>(s, i, 2, sw); }

void LiteralTaonStep(TaonState& s, const StepSwitches& sw) {
    common::ClearFpFlags();
    try {
        literal::TaonStep<common::CheckedReal>(s, sw);
    } catch (...) {
        common::ClearFpFlags();
        throw;
    }
}

// ---------------------------------------------------------------------------
// The fast step.
//
// It performs the operations of the written procedure with identical inputs
// (so with identical results), but each distinct operation only once: one
// pair factor per pair, shared by the three components and by both taons of
// the pair when their groups coincide; the core term once per pair; ln w and
// the powers of r and of 0.1 b once. Work is skipped only where its result is
// an exact zero that no sum can feel and that cannot hide a fault: an
// exponential of an argument far below the smallest subnormal, and a whole
// term whose exponential factor is such a zero while its other factor is
// provably finite (see zero_ranges.h). A zero term may come out as
// +0 where the written one is -0: the force sum starts at +0 and adds each
// summand to it, and x + (+-0) is x for x != 0 while -0 + +0 is +0, so the
// sign of a zero never reaches a force. Faults are read from the status
// flags of every thread; when one is seen, the written procedure is replayed
// with a check after every operation to find the first fault and its text.

using detail::CoreIsZero;
using detail::LayerIsZero;
using detail::ReachZeroable;

namespace {

constexpr long double kZeroExpBelow = -11500.0L;  // expl(y) == +0 for y below about -11399.5

inline long double ExpZ(long double y) {
    if (std::isless(y, kZeroExpBelow)) return 0.0L;
    return std::exp(y);
}

constexpr int kLayers = 15;  // five reach factors per group, groups 1 .. 3

struct ReachConst {
    long double b;     // 1.029 / P
    long double p01b;  // Power(0.1 b, -1)
    long double b200;  // b * 200
    long double b01;   // 0.1 b
    int faults;        // flags raised while forming p01b and b200
    int canon;         // first reach factor with the same bits
    bool zeroable;     // b within the range where the layer's zero range holds
};

long double ShellK() {
    static const long double k = literal::ShellK<long double>();
    return k;
}

// The evaluation of the pair factors of one pair of taons at distance r.
struct PairEval {
    PairEval(const ReachConst* reach, long double dist, long double shellA1, long double shellG1)
        : rc(reach), r(dist), a1(shellA1), g1(shellG1) {}

    const ReachConst* rc;
    long double r;
    long double a1, g1;
    int faults = 0;
    bool haveR2 = false, haveCore = false;
    long double r2 = 0, core = 0;
    bool have[kLayers] = {};
    // Set where have[] is set (the layer's term and its exponential factor,
    // which is the layer potential); left uninitialised otherwise.
    long double value[kLayers];
    long double evalue[kLayers];
    long double coreE = 0, shellE = 0;  // the core potential, the shell's exponential

    long double R2() {
        if (!haveR2) {
            r2 = std::exp(-2.0L * std::log(r));
            haveR2 = true;
        }
        return r2;
    }

    long double Core() {
        if (haveCore) return core;
        haveCore = true;
        long double u = 4.725L * r;
        if (CoreIsZero(u)) return core = coreE = 0.0L;
        long double lnu = std::log(u);
        long double u19 = std::exp(19.0L * lnu);
        long double y = (-u19) * lnu;
        long double p = std::exp(18.0L * lnu) * (-4.725L);
        p = (lnu * 19.0L + 1.0L) * p;
        coreE = ExpZ(y);
        return core = coreE * p;
    }

    long double Layer(int index) {
        const ReachConst& c = rc[index];
        int k = c.canon;
        if (have[k]) return value[k];
        have[k] = true;
        faults |= c.faults;
        long double w = c.b * r;
        if (c.zeroable && LayerIsZero(w)) {
            evalue[k] = 0.0L;
            return value[k] = 0.0L;
        }
        long double lnw = std::log(w);
        long double s = 2.5L - std::exp(20.0L * lnw);
        long double px = std::exp(-1.0L * std::log(c.b01 * r));
        long double e = ExpZ((px * s) * lnw);
        evalue[k] = e;
        long double q1 = (s * (R2() * c.p01b)) * (1.0L - lnw);
        long double q2 = std::exp(18.0L * lnw) * c.b200;
        long double q = q1 - lnw * q2;
        return value[k] = e * q;
    }

    long double Shell() {
        long double k = ShellK();
        if (std::isless(r, g1)) {
            long double e = ExpZ(((-k) * g1) / (g1 - r));
            shellE = e;
            long double f = std::exp(-2.0L * std::log(g1 - r)) * (-k);
            f = f * a1;
            f = f * g1;
            return e * f;
        }
        if (std::isgreater(r, g1)) {
            long double e = ExpZ(((-k) * g1) / (r - g1));
            shellE = e;
            long double f = std::exp(-2.0L * std::log(r - g1)) * k;
            f = f * a1;
            f = f * g1;
            return e * f;
        }
        return 0.0L;
    }

    // U_g(r) from the exponential factors of the terms of Group(g, mode1),
    // which must have run. Every factor lies in [0, 3.3] or is a quiet NaN,
    // and a1 e of the shell cannot overflow (e <= 1), so these sums raise
    // no flag the slopes have not raised already.
    long double Potential(int g, bool mode1) {
        int base = (g - 1) * 5;
        long double lay[5];
        for (int l = 0; l < 5; ++l) lay[l] = have[rc[base + l].canon] ? evalue[rc[base + l].canon] : 0.0L;
        long double shell = 0.0L;
        if (g == 1 && mode1 && (std::isless(r, g1) || std::isgreater(r, g1))) shell = a1 * shellE;
        return detail::SumPotential(g, mode1, coreE, lay, shell);
    }

    long double Group(int g, bool mode1) {
        int base = (g - 1) * 5;
        if (g == 1 && mode1) {
            long double a = 0.0L + (-Layer(0));
            long double m = (-Layer(1)) - Layer(2);
            m = m - Layer(3);
            a = a + m;
            return a + Shell();
        }
        long double a = Core() + (-Layer(base));
        long double m = (-Layer(base + 1)) - Layer(base + 2);
        m = m - Layer(base + 3);
        if (g == 1) {
            a = a + m;
            return a + (-Layer(base + 4));
        }
        m = m - Layer(base + 4);
        return a + m;
    }
};

Observables NaNObservables() {
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    return {nan, nan, nan, nan, nan, nan, nan, nan, nan};
}

struct PairJob {
    unsigned char a, b;     // a < b
    bool needAB, needBA;    // force on a from b, on b from a
};

}  // namespace

struct StepEngine::Impl {
    explicit Impl(int threads) : pool(threads), faults(static_cast<std::size_t>(pool.Size()), 0) {}

    WorkerPool pool;
    std::vector<int> faults;  // per worker
    std::vector<PairJob> jobs;
    std::atomic<std::size_t> next{0};
    ReachConst rc[kLayers];
    int group[kSlots];
    long double dist[kSlots][kSlots];
    long double fac[kSlots][kSlots];  // pair factor of the force on i from j
    long double pot[kSlots][kSlots];  // U_g(j)(r_ij), when the observables are asked for
    bool wantPot = false;
    long double newU[3][kSlots], newP[3][kSlots];
    std::fenv_t env;

    void Prepare(const TaonState& s, const StepSwitches& sw, int m, int& faultsOut);
    void RunJobs(const TaonState& s, const StepSwitches& sw, int worker);
    void RunSums(const TaonState& s, const StepSwitches& sw, int m, int worker);
};

void StepEngine::Impl::Prepare(const TaonState& s, const StepSwitches& sw, int m, int& faultsOut) {
    int n = std::min<int>(s.TaonCount, kMaxTaons);
    // Reach factors, in the order of the definition.
    common::ClearFpFlags();
    for (int g = 1; g <= 3; ++g) {
        ParamGroup p = GroupParams(s, g);
        const long double lengths[5] = {p.B, p.C, p.D, p.F, p.G};
        for (int l = 0; l < 5; ++l) rc[(g - 1) * 5 + l].b = 1.029L / lengths[l];
    }
    faultsOut |= common::FpFaults();
    // Constants of each reach factor; their faults count only where a term
    // that uses them is evaluated.
    for (int l = 0; l < kLayers; ++l) {
        ReachConst& c = rc[l];
        common::ClearFpFlags();
        c.b01 = 0.1L * c.b;
        c.p01b = std::exp(-1.0L * std::log(c.b01));
        c.b200 = c.b * 200.0L;
        c.faults = common::FpFaults();
        c.zeroable = ReachZeroable(c.b);
        c.canon = l;
        for (int e = 0; e < l; ++e) {
            if (std::memcmp(&rc[e].b, &c.b, 10) == 0) {
                c.canon = rc[e].canon;
                break;
            }
        }
    }
    common::ClearFpFlags();

    for (int j = 1; j <= n; ++j) group[j] = SourceGroup(j, s.TaonCount, sw.StopL);
    jobs.clear();
    for (int a = 1; a <= n; ++a) {
        for (int b = a + 1; b <= n; ++b) {
            bool ab = a <= m && s.Present(b);
            bool ba = b <= m && s.Present(a);
            if (ab || ba) jobs.push_back({static_cast<unsigned char>(a), static_cast<unsigned char>(b), ab, ba});
        }
    }
}

void StepEngine::Impl::RunJobs(const TaonState& s, const StepSwitches& sw, int worker) {
    std::fesetenv(&env);
    common::ClearFpFlags();
    int extra = 0;
    constexpr std::size_t kChunk = 32;
    for (;;) {
        std::size_t begin = next.fetch_add(kChunk, std::memory_order_relaxed);
        if (begin >= jobs.size()) break;
        std::size_t end = std::min(jobs.size(), begin + kChunk);
        for (std::size_t q = begin; q < end; ++q) {
            const PairJob& job = jobs[q];
            int a = job.a, b = job.b;
            long double dz = s.Z[a] - s.Z[b];
            long double dy = s.Y[a] - s.Y[b];
            long double dx = s.X[a] - s.X[b];
            long double r = std::sqrt(dz * dz + (dy * dy + dx * dx));
            dist[a][b] = r;
            dist[b][a] = r;
            int gb = job.needAB ? group[b] : 0;
            int ga = job.needBA ? group[a] : 0;
            if (gb == 0 && ga == 0) continue;
            PairEval ev(rc, r, s.A1, s.G1);
            if (gb) fac[a][b] = ev.Group(gb, sw.Mode1);
            if (ga) fac[b][a] = ga == gb ? fac[a][b] : ev.Group(ga, sw.Mode1);
            if (wantPot) {
                if (gb) pot[a][b] = ev.Potential(gb, sw.Mode1);
                if (ga) pot[b][a] = ga == gb ? pot[a][b] : ev.Potential(ga, sw.Mode1);
            }
            extra |= ev.faults;
        }
    }
    faults[static_cast<std::size_t>(worker)] = common::FpFaults() | extra;
}

void StepEngine::Impl::RunSums(const TaonState& s, const StepSwitches& sw, int m, int worker) {
    std::fesetenv(&env);
    common::ClearFpFlags();
    int n = std::min<int>(s.TaonCount, kMaxTaons);
    const long double A[4] = {0, s.A1, s.A2, s.A3};
    const long double* P[3] = {s.X, s.Y, s.Z};
    const long double* Un[3] = {s.NewUx, s.NewUy, s.NewUz};
    const long double* Pn[3] = {s.NewX, s.NewY, s.NewZ};
    long double cool = CoolFactor(sw.Cool);
    long double dt = s.DT;
    for (;;) {
        int i = static_cast<int>(next.fetch_add(1, std::memory_order_relaxed)) + 1;
        if (i > m) break;
        long double sum[3] = {0.0L, 0.0L, 0.0L};
        for (int j = 1; j <= n; ++j) {
            if (!s.Present(j) || j == i) continue;
            int g = group[j];
            if (g == 0) continue;
            long double r = dist[i][j];
            long double f = fac[i][j];
            for (int axis = 0; axis < 3; ++axis) {
                long double coef = ((P[axis][i] - P[axis][j]) * (-1.0L)) / r;
                coef = coef * A[g];
                sum[axis] = coef * f + sum[axis];
            }
        }
        for (int axis = 0; axis < 3; ++axis) {
            long double t = sum[axis] * dt;
            long double u = cool * Un[axis][i] + t;
            newU[axis][i] = u;
            newP[axis][i] = Pn[axis][i] + u * dt;
        }
    }
    faults[static_cast<std::size_t>(worker)] = common::FpFaults();
}

StepEngine::StepEngine(int threads) : impl_(std::make_unique<Impl>(threads)) {}
StepEngine::~StepEngine() = default;
int StepEngine::Threads() const { return impl_->pool.Size(); }

void StepEngine::Step(TaonState& s, const StepSwitches& sw, Observables* before) {
    Impl& im = *impl_;
    int m = MovingCount(s, sw.StopL);
    // The force evaluation yields the pair potentials when every slot moves;
    // otherwise (StopL) the observables take a pass of their own.
    im.wantPot = before && m > 0 && m == std::min<int>(s.TaonCount, kMaxTaons);
    if (before && !im.wantPot) {
        common::ClearFpFlags();
        *before = detail::ObservablesPass(s, sw);
        if (common::FpFaults()) *before = NaNObservables();
        common::ClearFpFlags();
    }
    if (m == 0) {
        CommitStep(s, sw.StopL);
        return;
    }
    std::fegetenv(&im.env);
    int faults = 0;
    im.Prepare(s, sw, m, faults);

    im.next.store(0, std::memory_order_relaxed);
    std::function<void(int)> task = [&](int w) { im.RunJobs(s, sw, w); };
    im.pool.Run(task);
    for (int f : im.faults) faults |= f;

    // Force sums in the written order, then the velocity-first update, one
    // taon per task.
    im.next.store(0, std::memory_order_relaxed);
    std::function<void(int)> sums = [&](int w) { im.RunSums(s, sw, m, w); };
    im.pool.Run(sums);
    for (int f : im.faults) faults |= f;

    if (faults) {
        // Replay the written procedure on a copy to find the first fault.
        std::string text = common::FpFaultText(faults);
        TaonState replay = s;
        try {
            LiteralTaonStep(replay, sw);
        } catch (const common::FloatError& e) {
            text = e.what();
        }
        common::ClearFpFlags();
        ResetWorkingCopy(s);
        throw common::FloatError(text);
    }
    if (im.wantPot) {
        common::ClearFpFlags();
        *before = detail::SumObservables(s, sw, [&im](int i, int j) { return im.pot[i][j]; });
        if (common::FpFaults()) *before = NaNObservables();
        common::ClearFpFlags();
    }
    long double* Un[3] = {s.NewUx, s.NewUy, s.NewUz};
    long double* Pn[3] = {s.NewX, s.NewY, s.NewZ};
    for (int i = 1; i <= m; ++i) {
        for (int axis = 0; axis < 3; ++axis) {
            Un[axis][i] = im.newU[axis][i];
            Pn[axis][i] = im.newP[axis][i];
        }
    }
    CommitStep(s, sw.StopL);
}

namespace {
std::mutex gEngineMutex;
std::unique_ptr<StepEngine> gEngine;
int gThreads = 1;
}  // namespace

void SetStepThreads(int threads) {
    std::lock_guard<std::mutex> lock(gEngineMutex);
    if (threads < 1) threads = 1;
    if (threads != gThreads || !gEngine) gEngine.reset();
    gThreads = threads;
}

void TaonStep(TaonState& s, const StepSwitches& sw) {
    StepEngine* engine;
    {
        std::lock_guard<std::mutex> lock(gEngineMutex);
        if (!gEngine) gEngine = std::make_unique<StepEngine>(gThreads);
        engine = gEngine.get();
    }
    engine->Step(s, sw);
}

}  // namespace sphaeron
