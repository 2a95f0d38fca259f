#include "sphaeron/view/scene.h"

#include <cmath>
#include <string>

#include "common/fpcheck.h"
#include "common/numtext.h"
#include "common/checked_real.h"
#include "sphaeron/core/taon_step.h"
#include "sphaeron/view/figures.h"

namespace sphaeron {

namespace {

using R = common::CheckedReal;
using common::Canvas;
using common::Rgb;

// Pixel sums wrap at 32 bits, as the pixel positions do.
std::int32_t Add(std::int64_t a, std::int64_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(a) +
                                                                static_cast<std::uint64_t>(b)));
}

std::int32_t Sub(std::int64_t a, std::int64_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(a) -
                                                                static_cast<std::uint64_t>(b)));
}

// Round of a checked value: the operations before it were checked.
std::int64_t Round(R value) { return common::Round64(value.value()); }

// t(j) = j * 0.01 * 60
R T(int j) { return R(static_cast<long double>(j)) * R(0.01L) * R(60.0L); }

R Distance(const TaonState& s, int p, int q) {
    R dx = R(s.X[p]) - R(s.X[q]);
    R dz = R(s.Z[p]) - R(s.Z[q]);
    return Sqrt(dx * dx + dz * dz);
}

bool Differ(long double a, long double b) { return !(R(a) == R(b)); }

int SlotLimit(const TaonState& s) { return s.TaonCount < kMaxTaons ? s.TaonCount : kMaxTaons; }

}  // namespace

ShellFieldTexts ParameterTexts(const TaonState& s, char separator) {
    return {common::FormatReal(s.A1, separator), common::FormatReal(s.B1, separator),
            common::FormatReal(s.C1, separator), common::FormatReal(s.D1, separator),
            common::FormatReal(s.F1, separator), common::FormatReal(s.G1, separator)};
}

ShellFields ConvertShellFields(const ShellFieldTexts& t, char separator) {
    ShellFields f;
    f.A1 = common::ParseReal(t[0], separator);
    f.B1 = common::ParseReal(t[1], separator);
    f.C1 = common::ParseReal(t[2], separator);
    f.D1 = common::ParseReal(t[3], separator);
    f.F1 = common::ParseReal(t[4], separator);
    f.G1 = common::ParseReal(t[5], separator);
    return f;
}

Rgb GroupColour(int k, int taonCount) {
    if (k <= taonCount - 50) return common::kLime;
    if (k <= taonCount - 20) return common::kYellow;
    return common::kRed;
}

void TaonBlock(Canvas& c, int x, int y, Rgb colour) {
    c.SetPixel(x, y, colour);
    c.SetPixel(Add(x, 1), y, colour);
    c.SetPixel(x, Add(y, 1), colour);
    c.SetPixel(Add(x, 1), Add(y, 1), colour);
}

long double XZDistance(const TaonState& s, int p, int q) {
    common::ClearFpFlags();
    return Distance(s, p, q).value();
}

void LibrationLine(Canvas& c, const TaonState& s, int sx, int sy) {
    common::ClearFpFlags();
    for (int j = 1; j <= 100; ++j) {
        if (!(Differ(s.X[1], s.X[4]) && Differ(s.Z[1], s.Z[4]))) continue;
        R x1(s.X[1]), x4(s.X[4]), z1(s.Z[1]), z4(s.Z[4]), four(4.0L);
        R e = x1 + (x1 - x4) * four;
        R g = x4 - (x1 - x4) * four;
        R f = z1 + (z1 - z4) * four;
        R h = z4 - (z1 - z4) * four;
        std::int64_t dx = Round(T(j) * (e - g));
        std::int64_t dy = Round(T(j) * (f - h));
        c.SetPixel(Add(sx, dx), Add(sy, dy), common::kYellow);
        c.SetPixel(Sub(sx, dx), Sub(sy, dy), common::kYellow);
    }
}

std::int32_t ShellProfileOffset(const ShellFields& f, int j) {
    common::ClearFpFlags();
    R a1(f.A1);
    R q = R(f.G1) * R(60.0L) - R(1.0L);
    R rj(static_cast<long double>(j));
    std::int64_t sum = 0;
    for (long double v : {f.B1, f.C1, f.D1, f.F1}) {
        R scale = R(v) * R(360.0L) / R(6.0L);
        R b = (rj * R(2.058L)) / scale;
        R u = common::Power(b, R(20.0L));
        R e = (R(2.5L) - u) / ((rj * R(0.12348L)) / scale);
        sum = Add(sum, Round(common::Power(b, e) * (a1 * R(4.0L))));
    }
    R gap = R(static_cast<long double>(2 * j)) - q;
    long double gapValue = gap.value();
    std::int64_t tail;
    if (gapValue == 0.0L) {
        // The limit of the tail at |2j - q| -> 0: Power(2.73, -infinity) is 0.
        tail = Round((R(1.0L) - R(0.0L)) * (a1 * R(10.0L)));
    } else {
        R absGap(std::fabs(gapValue));
        tail = Round((R(1.0L) - common::Power(R(2.73L), -(R(59.0L) / absGap))) * (a1 * R(10.0L)));
    }
    return Add(sum, tail);
}

namespace {

bool SameValue(long double a, long double b) { return a == b && std::signbit(a) == std::signbit(b); }

bool SameFields(const ShellFields& a, const ShellFields& b) {
    return SameValue(a.A1, b.A1) && SameValue(a.B1, b.B1) && SameValue(a.C1, b.C1) && SameValue(a.D1, b.D1) &&
           SameValue(a.F1, b.F1) && SameValue(a.G1, b.G1);
}

// The chart's columns depend on the six values only: the last complete
// profile is kept so that a run, which redraws at every step, evaluates
// the 8100 powers only when a field changes. A pass that fails is not kept.
struct ProfileCache {
    bool valid = false;
    ShellFields fields;
    std::array<std::int32_t, 901> offset{};
};

thread_local ProfileCache profileCache;

}  // namespace

void ShellProfileChart(Canvas& c, int sx, int sy, const ShellFieldSource& fields, char separator) {
    for (int m = 1; m <= 90; ++m) c.SetPixel(Add(sx, 20 * m), sy, common::kYellow);
    // The six texts are the same for every column of one pass.
    ShellFields f = ConvertShellFields(fields(), separator);
    ProfileCache& cache = profileCache;
    if (!(cache.valid && SameFields(cache.fields, f))) {
        cache.valid = false;
        cache.fields = f;
        for (int j = 1; j <= 900; ++j) {
            // Columns before a failing one are drawn, as the pass goes.
            cache.offset[j] = ShellProfileOffset(f, j);
            c.SetPixel(Add(sx, 2 * j), Add(sy, cache.offset[j]), common::kFuchsia);
        }
        cache.valid = true;
    } else {
        for (int j = 1; j <= 900; ++j) c.SetPixel(Add(sx, 2 * j), Add(sy, cache.offset[j]), common::kFuchsia);
    }
    for (int m = 1; m <= 10; ++m) {
        c.SetPixel(Sub(sx, 20 * m), sy, common::kYellow);
        c.SetPixel(sx, Add(sy, 20 * m), common::kYellow);
        c.SetPixel(sx, Sub(sy, 20 * m), common::kYellow);
    }
}

void ShellRays(Canvas& c, const TaonState& s, int sx, int sy) {
    common::ClearFpFlags();
    for (int j = 1; j <= 100; ++j) {
        c.SetPixel(Add(sx, Round(T(j) * (R(s.X[1]) - R(s.X[3])))), Add(sy, Round(T(j) * (R(s.Z[1]) - R(s.Z[3])))),
                   common::kRed);
        c.SetPixel(Add(sx, Round(T(j) * (R(s.X[2]) - R(s.X[3])))), Add(sy, Round(T(j) * (R(s.Z[2]) - R(s.Z[3])))),
                   common::kAqua);
    }
}

void DistanceMarker(Canvas& c, const TaonState& s, int p, int q, int ax, int ay) {
    common::ClearFpFlags();
    // The distance does not change during the pass: one evaluation gives
    // the same dots, and the same failure before the first one.
    std::int32_t x0 = Add(ax, Round(Distance(s, p, q) * R(60.0L)));
    for (int m = 1; m <= 60; ++m) c.SetPixel(x0, Add(ay, 4 * m), common::kYellow);
    for (int w = 1; w <= 2; ++w) {
        for (int r = 1; r <= 10; ++r) {
            c.SetPixel(Add(x0, w), Add(ay, -12 + 24 * r), common::kAqua);
            c.SetPixel(Sub(x0, w), Add(ay, -12 + 24 * r), common::kAqua);
            c.SetPixel(Add(x0, w), Add(ay, 24 * r), common::kRed);
            c.SetPixel(Sub(x0, w), Add(ay, 24 * r), common::kRed);
        }
    }
}

void DistanceBars(Canvas& c, const TaonState& s, int ax, int ay) {
    common::ClearFpFlags();
    for (int j = 1; j <= 100; ++j) {
        c.SetPixel(Sub(ax, Round(T(j) * (R(s.X[1]) - R(s.X[2])))), Sub(ay, Round(T(j) * (R(s.Z[1]) - R(s.Z[2])))),
                   common::kWhite);
        c.SetPixel(Add(ax, Round(T(j) * Distance(s, 1, 2))), Add(ay, 214), common::kWhite);
        c.SetPixel(Add(ax, Round(T(j) * Distance(s, 2, 3))), Add(ay, 218), common::kAqua);
        c.SetPixel(Add(ax, Round(T(j) * Distance(s, 1, 3))), Add(ay, 210), common::kRed);
    }
}

void DrawTaonScene(const TaonState& s, ViewState& v, Canvas& c, const SceneSwitches& sw) {
    const int n = SlotLimit(s);
    const int N = s.TaonCount;
    ProjectTaons(s, v);
    ClearDrawingArea(c, v);

    ShellFieldSource fields = sw.ShellFields;
    if (!fields) fields = [&s, sep = sw.DecimalSeparator] { return ParameterTexts(s, sep); };
    const char sep = sw.DecimalSeparator;
    auto colour = [&sw](int k, common::Rgb group) { return sw.Colouring ? sw.Colouring->colours[k] : group; };

    for (int k = 1; k <= n; ++k) {
        if (!s.Present(k)) continue;
        const std::int32_t sx = v.ScreenX[k], sy = v.ScreenY[k];
        if (sw.stopL) {
            if (k <= N - 94) {
                TaonBlock(c, sx, sy, colour(k, common::kLime));
                if (sw.libration && k == 4) LibrationLine(c, s, sx, sy);
            }
        } else {
            if (k <= N - 50) TaonBlock(c, sx, sy, colour(k, common::kLime));
            if (sw.libration && k == 4) LibrationLine(c, s, sx, sy);
            if (sw.shelloscope) {
                if (k == 1) {
                    ShellProfileChart(c, sx, sy, fields, sep);
                    DistanceMarker(c, s, 1, 2, v.ScreenX[1], v.ScreenY[1]);
                } else if (k == 3) {
                    ShellRays(c, s, sx, sy);
                    DistanceBars(c, s, v.ScreenX[1], v.ScreenY[1]);
                    DistanceMarker(c, s, 1, 3, v.ScreenX[1], v.ScreenY[1]);
                    DistanceMarker(c, s, 2, 3, v.ScreenX[1], v.ScreenY[1]);
                }
            }
        }
        if (k > N - 50 && k <= N - 20)
            TaonBlock(c, sx, sy, colour(k, common::kYellow));
        else if (k > N - 20)
            TaonBlock(c, sx, sy, colour(k, common::kRed));
    }

    if (v.ShowNumbers) {
        for (int k = 1; k <= n; ++k) {
            if (!s.Present(k)) continue;
            c.SetFontColor(GroupColour(k, N));
            c.TextOut(Add(v.ScreenX[k], 2), Add(v.ScreenY[k], 2), std::to_string(k));
        }
    }
    if (sw.Colouring) DrawLegend(c, sw.Colouring->legend);
}

namespace {

void PenTo(Canvas& c, const ViewState& v, int k) { c.MoveTo(v.ScreenX[k], v.ScreenY[k]); }
void LineTo(Canvas& c, const ViewState& v, int k) { c.LineTo(v.ScreenX[k], v.ScreenY[k]); }

// Chain n <- a, b, cc: edges a-n, b-n and n-cc. The first edge is white for
// the spine chains.
void Chain(Canvas& c, const ViewState& v, int n, int a, int b, int cc, bool spine) {
    PenTo(c, v, a);
    if (spine) c.SetPenColor(common::kWhite);
    LineTo(c, v, n);
    if (spine) c.SetPenColor(common::kRed);
    PenTo(c, v, b);
    LineTo(c, v, n);
    if (n == 6 || n == 7) {
        // The pen goes to Pn first, then to Pc: Pc itself is left unset.
        LineTo(c, v, n);
        LineTo(c, v, cc);
    } else {
        LineTo(c, v, cc);
        LineTo(c, v, n);
    }
}

}  // namespace

void DrawFigureScene(TaonState& s, ViewState& v, Canvas& c) {
    ComputeStepMatrix(v);
    ClearDrawingArea(c, v);
    if (v.FigureKind != kDefaultFigureKind) return;
    ProjectFigure(s, v, kSpiralPoints);

    c.SetPenColor(common::kWhite);
    PenTo(c, v, 1);
    LineTo(c, v, 2);
    c.SetPenColor(common::kRed);
    LineTo(c, v, 3);
    LineTo(c, v, 1);
    Chain(c, v, 4, 1, 2, 3, false);
    Chain(c, v, 5, 1, 2, 3, false);
    for (const SpiralFace& f : kSpiralFaces) Chain(c, v, f.n, f.a, f.b, f.c, f.n == 10 || f.n == 16);

    if (v.ShowNumbers) {
        c.SetFontColor(common::kLime);
        for (int k = 1; k <= kSpiralPoints; ++k) c.TextOut(v.ScreenX[k], v.ScreenY[k], std::to_string(k));
    }
}

void RedrawPicture(TaonState& s, ViewState& v, Canvas& c, const SceneSwitches& sw) {
    if (s.SpiralMode)
        DrawFigureScene(s, v, c);
    else
        DrawTaonScene(s, v, c, sw);
}

}  // namespace sphaeron
