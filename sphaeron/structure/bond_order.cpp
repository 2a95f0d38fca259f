// Spherical harmonics and the Steinhardt bond order.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "sphaeron/structure/structure.h"

namespace sphaeron::structure {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The coefficients of the recurrences of the normalised associated Legendre
// functions without their factor sin^m θ (that factor goes into (x + iy)/r):
//   Q_0^0 = 1/sqrt(4π), Q_m^m = -sqrt((2m+1)/(2m)) Q_{m-1}^{m-1},
//   Q_{m+1}^m = sqrt(2m+3) cos θ Q_m^m,
//   Q_l^m = a_lm (cos θ Q_{l-1}^m - b_lm Q_{l-2}^m),
//   a_lm = sqrt((4l²-1)/(l²-m²)), b_lm = sqrt(((l-1)²-m²)/(4(l-1)²-1)).
struct Recurrence {
    double diag[kMaxDegree + 1];
    double a[kMaxDegree + 1][kMaxDegree + 1];
    double b[kMaxDegree + 1][kMaxDegree + 1];
    Recurrence() {
        diag[0] = 1 / std::sqrt(4 * kPi);
        for (int m = 1; m <= kMaxDegree; ++m) diag[m] = -std::sqrt((2.0 * m + 1) / (2.0 * m)) * diag[m - 1];
        for (int l = 0; l <= kMaxDegree; ++l)
            for (int m = 0; m <= kMaxDegree; ++m) {
                a[l][m] = b[l][m] = 0;
                if (m + 2 > l) continue;
                double l2 = double(l) * l, m2 = double(m) * m, k2 = double(l - 1) * (l - 1);
                a[l][m] = std::sqrt((4 * l2 - 1) / (l2 - m2));
                b[l][m] = std::sqrt((k2 - m2) / (4 * k2 - 1));
            }
    }
};

const Recurrence& Coefficients() {
    static const Recurrence r;
    return r;
}

// The norm sqrt(4π/(2l+1) Σ_m |q_lm|²) from the m >= 0 half.
double Norm(int l, const double* re, const double* im) {
    double sum = re[0] * re[0] + im[0] * im[0];
    for (int m = 1; m <= l; ++m) sum += 2 * (re[m] * re[m] + im[m] * im[m]);
    return std::sqrt(4 * kPi / (2 * l + 1) * sum);
}

}  // namespace

void SphericalHarmonics(double x, double y, double z, int lmax, Harmonics& h) {
    const Recurrence& c = Coefficients();
    double r = std::sqrt((x * x + y * y) + z * z);
    // Two taons on one spot: the bond is taken along the z axis.
    double ct = r > 0 ? z / r : 1, ur = r > 0 ? x / r : 0, ui = r > 0 ? y / r : 0;
    double pr = 1, pi = 0;  // ((x + iy) / r)^m
    for (int m = 0; m <= lmax; ++m) {
        double q[kMaxDegree + 1];
        q[m] = c.diag[m];
        if (m + 1 <= lmax) q[m + 1] = std::sqrt(2.0 * m + 3) * ct * q[m];
        for (int l = m + 2; l <= lmax; ++l) q[l] = c.a[l][m] * (ct * q[l - 1] - c.b[l][m] * q[l - 2]);
        for (int l = m; l <= lmax; ++l) {
            h.re[l][m] = q[l] * pr;
            h.im[l][m] = q[l] * pi;
        }
        double nr = pr * ur - pi * ui, ni = pr * ui + pi * ur;
        pr = nr;
        pi = ni;
    }
}

void FormBondOrder(const DistanceTable& d, const std::vector<int>& degreesAsked, StructureResult& out) {
    std::vector<int> degrees = {4, 6};
    for (int l : degreesAsked)
        if (l >= 1 && l <= kMaxDegree && std::find(degrees.begin(), degrees.end(), l) == degrees.end())
            degrees.push_back(l);
    int lmax = *std::max_element(degrees.begin(), degrees.end());
    const int stride = lmax + 1;
    out.formed.fill(false);
    for (auto& row : out.q) row.fill(kNaN);
    for (auto& row : out.qAvg) row.fill(kNaN);
    for (int l : degrees) out.formed[l] = true;

    // q_lm of every present slot, m >= 0: [slot][l][m], real and imaginary.
    std::vector<double> re(kSlots * stride * stride, 0.0), im(kSlots * stride * stride, 0.0);
    auto at = [&](int i, int l) { return (i * stride + l) * stride; };
    Harmonics h;
    for (int a = 0; a < d.count; ++a) {
        int i = d.taons[a];
        int nb = out.coordination[i];
        if (nb <= 0) continue;
        for (int t = 0; t < nb; ++t) {
            int j = out.neighbours[i][t];
            SphericalHarmonics(d.pos[j][0] - d.pos[i][0], d.pos[j][1] - d.pos[i][1], d.pos[j][2] - d.pos[i][2], lmax, h);
            for (int l : degrees)
                for (int m = 0; m <= l; ++m) {
                    re[at(i, l) + m] += h.re[l][m];
                    im[at(i, l) + m] += h.im[l][m];
                }
        }
        for (int l : degrees) {
            for (int m = 0; m <= l; ++m) {
                re[at(i, l) + m] /= nb;
                im[at(i, l) + m] /= nb;
            }
            out.q[l][i] = Norm(l, &re[at(i, l)], &im[at(i, l)]);
        }
    }
    // q̄_lm(i): q_lm averaged over i and its neighbours.
    for (int a = 0; a < d.count; ++a) {
        int i = d.taons[a];
        int nb = out.coordination[i];
        if (nb <= 0) continue;
        for (int l : degrees) {
            double sr[kMaxDegree + 1], si[kMaxDegree + 1];
            for (int m = 0; m <= l; ++m) {
                sr[m] = re[at(i, l) + m];
                si[m] = im[at(i, l) + m];
            }
            for (int t = 0; t < nb; ++t) {
                int j = out.neighbours[i][t];
                for (int m = 0; m <= l; ++m) {
                    sr[m] += re[at(j, l) + m];
                    si[m] += im[at(j, l) + m];
                }
            }
            for (int m = 0; m <= l; ++m) {
                sr[m] /= nb + 1;
                si[m] /= nb + 1;
            }
            out.qAvg[l][i] = Norm(l, sr, si);
        }
    }
}

}  // namespace sphaeron::structure
