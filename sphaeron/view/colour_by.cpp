#include "sphaeron/view/colour_by.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace sphaeron {

namespace {

constexpr common::Rgb kUndefined = 0x808080;
constexpr int kRampSteps = 7;
constexpr double kQ6Top = 0.7;
constexpr int kCoordinationTop = 12;
// Blue to red through aqua, green and yellow: bright on the black picture.
const common::Rgb kRamp[kRampSteps] = {0x3060FF, 0x00C0FF, 0x00FFA0, 0x80FF00, 0xFFFF00, 0xFF9000, 0xFF2020};
// 0, 1, .. 11 neighbours and 12 or more: grey, then blue to red.
const common::Rgb kCoordinationColours[kCoordinationTop + 1] = {0x808080, 0x3040FF, 0x2080FF, 0x00C0FF, 0x00FFFF,
                                                                0x00FFA0, 0x00FF40, 0x80FF00, 0xC0FF00, 0xFFFF00,
                                                                0xFFC000, 0xFF8000, 0xFF2020};
const common::Rgb kClusterColours[9] = {0x00FF00, 0xFF40FF, 0x00FFFF, 0xFFFF00, 0xFF8000,
                                        0x6080FF, 0xFF4040, 0xFFFFFF, 0xA0FFA0};

common::Rgb RampColour(double t) {
    int i = static_cast<int>(std::lround(std::clamp(t, 0.0, 1.0) * (kRampSteps - 1)));
    return kRamp[i];
}

std::string Text(const char* format, double a, double b = 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

void ByCoordination(const structure::StructureResult& r, TaonColouring& out) {
    std::map<int, int> seen;
    for (int k = 1; k <= kMaxTaons; ++k) {
        if (!r.present[k]) continue;
        int c = r.coordination[k];
        out.colours[k] = kCoordinationColours[std::clamp(c, 0, kCoordinationTop)];
        ++seen[c];
    }
    for (const auto& [c, n] : seen)
        out.legend.push_back({kCoordinationColours[std::clamp(c, 0, kCoordinationTop)], Text("coordination %.0f: %.0f", c, n)});
}

void ByQ6(const structure::StructureResult& r, TaonColouring& out) {
    bool undefined = false;
    for (int k = 1; k <= kMaxTaons; ++k) {
        if (!r.present[k]) continue;
        double q = r.q[6][k];
        undefined = undefined || std::isnan(q);
        out.colours[k] = std::isnan(q) ? kUndefined : RampColour(q / kQ6Top);
    }
    for (int i = 0; i < kRampSteps; ++i)
        out.legend.push_back({kRamp[i], Text(i + 1 < kRampSteps ? "q6 %.2f" : "q6 %.2f and more", kQ6Top * i / (kRampSteps - 1))});
    if (undefined) out.legend.push_back({kUndefined, "q6 undefined"});
}

void ByCluster(const structure::StructureResult& r, TaonColouring& out) {
    const int clusters = r.summary.clusters;
    std::vector<int> size(static_cast<std::size_t>(clusters), 0), rank(static_cast<std::size_t>(clusters), 0);
    for (int k = 1; k <= kMaxTaons; ++k)
        if (r.present[k] && r.cluster[k] >= 0) ++size[static_cast<std::size_t>(r.cluster[k])];
    std::vector<int> order(static_cast<std::size_t>(clusters));
    for (int c = 0; c < clusters; ++c) order[static_cast<std::size_t>(c)] = c;
    // Larger first, the earlier (lower slot) first among equals.
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return size[static_cast<std::size_t>(a)] > size[static_cast<std::size_t>(b)]; });
    for (int i = 0; i < clusters; ++i) rank[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])] = i;
    auto colour = [&](int c) { return kClusterColours[std::min(rank[static_cast<std::size_t>(c)], 8)]; };
    for (int k = 1; k <= kMaxTaons; ++k)
        if (r.present[k] && r.cluster[k] >= 0) out.colours[k] = colour(r.cluster[k]);
    for (int i = 0; i < std::min(clusters, 8); ++i)
        out.legend.push_back({kClusterColours[i], Text("cluster of %.0f", size[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])])});
    if (clusters > 8) out.legend.push_back({kClusterColours[8], Text("%.0f smaller clusters", clusters - 8)});
}

}  // namespace

TaonColouring ColourTaons(ColourBy by, const structure::StructureResult& r) {
    TaonColouring out;
    out.colours.fill(kUndefined);
    switch (by) {
        case ColourBy::Coordination:
            ByCoordination(r, out);
            break;
        case ColourBy::Q6:
            ByQ6(r, out);
            break;
        case ColourBy::Cluster:
            ByCluster(r, out);
            break;
        case ColourBy::Group:
            break;
    }
    return out;
}

void DrawLegend(common::Canvas& c, const std::vector<LegendEntry>& legend) {
    const common::Rgb brush = c.BrushColor(), font = c.FontColor();
    int y = 4;
    for (const LegendEntry& e : legend) {
        c.SetBrushColor(e.colour);
        c.FillRect(4, y + 3, 11, y + 10);
        c.SetBrushColor(common::kBlack);
        c.SetFontColor(common::kWhite);
        c.TextOut(15, y, e.text);
        y += 14;
    }
    c.SetBrushColor(brush);
    c.SetFontColor(font);
}

}  // namespace sphaeron
