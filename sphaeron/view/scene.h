#pragma once
// The two pictures of the 3D program: the taon scene (coloured blocks,
// numbers and the diagnostic overlays of the Shelloscope and Libration modes)
// and the spiral figure. Every pass redraws the whole picture.
#include <array>
#include <functional>
#include <string>

#include "common/canvas.h"
#include "sphaeron/core/taon_state.h"
#include "sphaeron/view/colour_by.h"
#include "sphaeron/view/view_state.h"

namespace sphaeron {

// Texts of the fields EditA1, EditB1, EditC1, EditD1, EditF1, EditG1, in
// this order.
using ShellFieldTexts = std::array<std::string, 6>;
// Supplied by the window: returns the six texts as they stand. Called once
// per pass, when the Shelloscope chart is drawn.
using ShellFieldSource = std::function<ShellFieldTexts()>;

// The six values the chart works with, converted from the texts.
struct ShellFields {
    long double A1 = 0, B1 = 0, C1 = 0, D1 = 0, F1 = 0, G1 = 0;
};

// The window's switches that the taon scene reads when it draws.
struct SceneSwitches {
    bool stopL = false;        // taons 7 .. 100 frozen: 7 .. 50 hidden, no Shelloscope overlays
    bool shelloscope = false;  // mode 1: the Shelloscope overlays
    bool libration = false;    // mode 2: the Libration line
    // Texts of the six group 1 fields; when empty, the texts the panel would
    // show for the stored parameters (ParameterTexts) are used.
    ShellFieldSource ShellFields;
    char DecimalSeparator = ',';  // of the field texts
    // When given (View, Colour By other than Group): the colours of the
    // taons' blocks and a legend in the corner; the numbers and overlays
    // keep their colours. Not owned.
    const TaonColouring* Colouring = nullptr;
};

// What a redraw needs; built by the window for each handler.
struct Picture {
    TaonState& state;
    ViewState& view;
    common::Canvas& canvas;
    SceneSwitches switches;
};

// The texts the panel shows for A1 .. G1 (general number format).
ShellFieldTexts ParameterTexts(const TaonState& s, char separator);
// Converts the six texts in order; throws ConvertError
// "'<text>' is not a valid floating point value" at the first bad one.
ShellFields ConvertShellFields(const ShellFieldTexts& texts, char separator);

// lime for k <= N - 50, yellow for N - 50 < k <= N - 20, red above.
common::Rgb GroupColour(int k, int taonCount);

// The four pixels (x, y), (x + 1, y), (x, y + 1), (x + 1, y + 1).
void TaonBlock(common::Canvas& c, int x, int y, common::Rgb colour);

// x-z distance of taons p and q from the committed positions.
long double XZDistance(const TaonState& s, int p, int q);

// The overlays, each at the anchor given (a taon's current screen position),
// at 60 pixels per length unit, from the committed X and Z of taons 1 .. 4.
// They throw FloatError or ConvertError as the drawing pass would.
void LibrationLine(common::Canvas& c, const TaonState& s, int sx, int sy);
// Reads the field texts once, after the horizontal axis dots. Where
// |2j - q| is 0 the tail takes its limit Round(A1 * 10).
void ShellProfileChart(common::Canvas& c, int sx, int sy, const ShellFieldSource& fields, char separator);
// The chart's column for one j from converted values (y offset from the
// anchor, the sum of the four terms and the tail).
std::int32_t ShellProfileOffset(const ShellFields& f, int j);
void ShellRays(common::Canvas& c, const TaonState& s, int sx, int sy);
void DistanceMarker(common::Canvas& c, const TaonState& s, int p, int q, int ax, int ay);
void DistanceBars(common::Canvas& c, const TaonState& s, int ax, int ay);

// The taon picture: ProjectTaons, ClearDrawingArea, blocks and overlays in
// slot order, then the numbers. Leaves the state unchanged.
void DrawTaonScene(const TaonState& s, ViewState& v, common::Canvas& c, const SceneSwitches& sw);
// The spiral picture: ComputeStepMatrix, ClearDrawingArea, then (FigureKind
// 1 only) ProjectFigure(19), edges and numbers. Turns the figure by the
// step angles.
void DrawFigureScene(TaonState& s, ViewState& v, common::Canvas& c);
// DrawFigureScene while SpiralMode is on, else DrawTaonScene.
void RedrawPicture(TaonState& s, ViewState& v, common::Canvas& c, const SceneSwitches& sw);

inline void DrawTaonScene(Picture& p) { DrawTaonScene(p.state, p.view, p.canvas, p.switches); }
inline void DrawFigureScene(Picture& p) { DrawFigureScene(p.state, p.view, p.canvas); }
inline void RedrawPicture(Picture& p) { RedrawPicture(p.state, p.view, p.canvas, p.switches); }

}  // namespace sphaeron
