#pragma once
// Colouring the taons by their structure instead of their group: the colour
// of each taon's block and a small legend in the top-left corner of the
// picture. The group colouring is the picture as described, untouched.
#include <array>
#include <string>
#include <vector>

#include "common/canvas.h"
#include "sphaeron/structure/structure.h"

namespace sphaeron {

enum class ColourBy { Group, Coordination, Q6, Cluster };

struct LegendEntry {
    common::Rgb colour;
    std::string text;
};

struct TaonColouring {
    std::array<common::Rgb, kSlots> colours{};  // by slot, for the blocks
    std::vector<LegendEntry> legend;
};

// The colours of the blocks and the legend for `by` (not Group):
//   Coordination: one colour per number of neighbours, grey for none, then
//     blue (few) to red (12 and more), the numbers that occur in the legend
//     with their counts;
//   Q6: blue (0) to red (0.7 and more) in seven steps, grey where q6 is
//     undefined;
//   Cluster: the largest cluster green, then by size in eight further
//     colours (the ninth and smaller share grey), each with its size.
TaonColouring ColourTaons(ColourBy by, const structure::StructureResult& r);

// The legend: per line a 7 x 7 square in the colour and the text in white
// on black, from (4, 4) down, 14 pixels a line.
void DrawLegend(common::Canvas& c, const std::vector<LegendEntry>& legend);

}  // namespace sphaeron
