// Distances and the three neighbour rules.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "sphaeron/structure/structure.h"

namespace sphaeron::structure {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The others of slot i by distance, ties by slot number: the first `head`
// of them in order (all when head >= their number), or, with a cutoff, those
// closer than it. Returns how many are in order.
int SortedOthers(const DistanceTable& d, int i, std::pair<double, int>* order, int head, double closer) {
    int n = 0;
    for (int a = 0; a < d.count; ++a) {
        int j = d.taons[a];
        if (j != i && d.r[i][j] < closer) order[n++] = {d.r[i][j], j};
    }
    if (head >= n) {
        std::sort(order, order + n);
        return n;
    }
    std::partial_sort(order, order + head, order + n);
    return head;
}

// SANN rarely needs more than a few dozen candidates: they are sorted first,
// and all of them only when no m below that count satisfies the rule.
constexpr int kSannHead = 32;

}  // namespace

void FormDistances(const TaonState& s, DistanceTable& d) {
    d.count = 0;
    for (int k = 1; k <= kMaxTaons; ++k) {
        if (!s.Present(k)) continue;
        d.taons[d.count++] = k;
        d.pos[k] = {static_cast<double>(s.X[k]), static_cast<double>(s.Y[k]), static_cast<double>(s.Z[k])};
    }
    for (int a = 0; a < d.count; ++a) {
        int i = d.taons[a];
        d.r[i][i] = 0;
        for (int b = a + 1; b < d.count; ++b) {
            int j = d.taons[b];
            long double dx = s.X[j] - s.X[i], dy = s.Y[j] - s.Y[i], dz = s.Z[j] - s.Z[i];
            double r = static_cast<double>(std::sqrt((dx * dx + dy * dy) + dz * dz));
            if (!std::isfinite(r)) r = kInfinity;  // never a neighbour
            d.r[i][j] = d.r[j][i] = r;
        }
    }
}

int SannCount(const double* sorted, int n) {
    double sum = 0;
    for (int m = 1; m <= n; ++m) {
        sum += sorted[m - 1];
        if (m >= 3 && m < n && sum / (m - 2) < sorted[m]) return m;
    }
    return n;
}

void FindNeighbours(const DistanceTable& d, const NeighbourChoice& choice, StructureResult& out) {
    out.present.fill(false);
    out.coordination.fill(-1);
    std::pair<double, int> order[kMaxTaons];
    double sorted[kMaxTaons];
    for (int a = 0; a < d.count; ++a) {
        int i = d.taons[a];
        out.present[i] = true;
        int m = 0;
        switch (choice.rule) {
            case NeighbourRule::Sann: {
                int n = SortedOthers(d, i, order, kSannHead, kInfinity);
                for (int t = 0; t < n; ++t) sorted[t] = order[t].first;
                m = SannCount(sorted, n);
                if (m == n && n == kSannHead) {
                    n = SortedOthers(d, i, order, kMaxTaons, kInfinity);
                    for (int t = 0; t < n; ++t) sorted[t] = order[t].first;
                    m = SannCount(sorted, n);
                }
                break;
            }
            case NeighbourRule::Cutoff:
                m = SortedOthers(d, i, order, kMaxTaons, choice.cutoff);
                break;
            case NeighbourRule::Nearest:
                m = SortedOthers(d, i, order, std::max(choice.k, 0), kInfinity);
                break;
        }
        for (int t = 0; t < m; ++t) out.neighbours[i][t] = static_cast<std::uint8_t>(order[t].second);
        out.coordination[i] = m;
    }
}

NeighbourChoice ParseNeighbourChoice(const std::string& text) {
    std::string t = text;
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    NeighbourChoice c;
    if (t == "sann") return c;
    auto bad = [&]() { return std::invalid_argument("neighbours must be sann, cutoff:R or nearest:K, not '" + text + "'"); };
    std::size_t colon = t.find(':');
    if (colon == std::string::npos) throw bad();
    std::string name = t.substr(0, colon);
    const char* first = t.data() + colon + 1;
    const char* last = t.data() + t.size();
    std::from_chars_result got{};
    if (name == "cutoff") {
        c.rule = NeighbourRule::Cutoff;
        got = std::from_chars(first, last, c.cutoff);
        if (!(c.cutoff > 0) || !std::isfinite(c.cutoff)) throw bad();
    } else if (name == "nearest") {
        c.rule = NeighbourRule::Nearest;
        got = std::from_chars(first, last, c.k);
        if (c.k < 1 || c.k >= kMaxTaons) throw bad();
    } else {
        throw bad();
    }
    if (got.ec != std::errc() || got.ptr != last || first == last) throw bad();
    return c;
}

std::string NeighbourChoiceText(const NeighbourChoice& choice) {
    switch (choice.rule) {
        case NeighbourRule::Cutoff: {
            char buf[64];
            auto end = std::to_chars(buf, buf + sizeof buf, choice.cutoff).ptr;
            return "cutoff:" + std::string(buf, end);
        }
        case NeighbourRule::Nearest:
            return "nearest:" + std::to_string(choice.k);
        case NeighbourRule::Sann:
            break;
    }
    return "sann";
}

}  // namespace sphaeron::structure
