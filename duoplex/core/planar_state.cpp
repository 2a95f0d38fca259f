#include "duoplex/core/planar_state.h"

#include <sys/stat.h>

#include <cstring>

#include "common/document_file.h"
#include "common/ext80.h"
#include "common/fileio.h"

namespace duoplex {

namespace {

template <class S>
auto& FieldArray(S& s, Field f) {
    switch (f) {
        case Field::A: return s.A;
        case Field::B: return s.B;
        case Field::C: return s.C;
        case Field::D: return s.D;
        case Field::X: return s.X;
        case Field::Y: return s.Y;
        case Field::SpeedX: return s.SpeedX;
        case Field::SpeedY: break;
    }
    return s.SpeedY;
}

void SetGravon(PlanarState& s, int k, long double a, long double b, long double c, long double d, long double x,
               long double y) {
    s.A[k] = a;
    s.B[k] = b;
    s.C[k] = c;
    s.D[k] = d;
    s.X[k] = x;
    s.Y[k] = y;
    s.SpeedX[k] = 0.0L;
    s.SpeedY[k] = 0.0L;
}

}  // namespace

long double& Value(PlanarState& s, Field f, int k) { return FieldArray(s, f)[k]; }
long double Value(const PlanarState& s, Field f, int k) { return FieldArray(s, f)[k]; }
long double& Value(GravRecord& r, Field f, int k) { return FieldArray(r, f)[k]; }
long double Value(const GravRecord& r, Field f, int k) { return FieldArray(r, f)[k]; }

void ResetToStartValues(PlanarState& s) {
    SetGravon(s, 1, 3.0L, 2.0L, 0.424L, 5.0L, -2.0L, 3.0L);
    SetGravon(s, 2, 3.0L, 2.0L, 0.424L, 5.0L, 2.0L, 3.0L);
    SetGravon(s, 3, 0.0L, 3.0L, 0.424L, 2.0L, -4362.0L, 3.8L);
    s.DT = 0.05L;
    s.StepCount = 0;
    s.Stopped = true;
}

void ResetToNewValues(PlanarState& s) {
    SetGravon(s, 1, 1.0L, 3.0L, 0.424L, 5.0L, -1.4L, 3.0L);
    SetGravon(s, 2, 1.0L, 2.9L, 0.424L, 5.0L, 1.4L, 3.0L);
    SetGravon(s, 3, 0.0L, 0.3L, 0.424L, 2.0L, -4362.0L, 3.8L);
    s.DT = 0.005L;
}

// Field f of gravon k lies at (f * 3 + k - 1) * 10; DT at 240.
GravBytes EncodeGravRecord(const GravRecord& r) {
    GravBytes out{};
    for (int f = 0; f < kFieldCount; ++f)
        for (int k = 1; k <= kGravons; ++k)
            common::EncodeExt(Value(r, kAllFields[f], k), out.data() + (f * kGravons + k - 1) * common::kExtSize);
    common::EncodeExt(r.DT, out.data() + 240);
    std::memcpy(out.data() + kUnusedOffset, r.Unused.data(), kUnusedSize);
    return out;
}

GravRecord DecodeGravRecord(const GravBytes& bytes) {
    GravRecord r;
    for (int f = 0; f < kFieldCount; ++f)
        for (int k = 1; k <= kGravons; ++k)
            Value(r, kAllFields[f], k) = common::DecodeExt(bytes.data() + (f * kGravons + k - 1) * common::kExtSize);
    r.DT = common::DecodeExt(bytes.data() + 240);
    std::memcpy(r.Unused.data(), bytes.data() + kUnusedOffset, kUnusedSize);
    return r;
}

GravRecord RecordOfState(const PlanarState& s) {
    GravRecord r;
    for (Field f : kAllFields)
        for (int k = 1; k <= kGravons; ++k) Value(r, f, k) = Value(s, f, k);
    r.DT = s.DT;
    std::memcpy(r.Unused.data(), s.Snapshot.data() + kUnusedOffset, kUnusedSize);
    return r;
}

void TakeRecordValues(PlanarState& s, const GravRecord& r) {
    for (Field f : kAllFields)
        for (int k = 1; k <= kGravons; ++k) Value(s, f, k) = Value(r, f, k);
    s.DT = r.DT;
}

GravBytes RecordedState(const PlanarState& s) { return EncodeGravRecord(RecordOfState(s)); }

void ShowRecordedState(PlanarState& s, const unsigned char* recorded, std::int64_t step) {
    std::memcpy(s.Snapshot.data(), recorded, kGravRecordSize);
    TakeRecordValues(s, DecodeGravRecord(s.Snapshot));
    s.StepCount = static_cast<std::int32_t>(step);
}

void SaveDocument(const std::string& path, const PlanarState& s) {
    common::WriteFileAtomic(path, s.Snapshot.data(), s.Snapshot.size(), "duoplex");
}

std::string SizeQuestion(const std::string& path, std::uint64_t bytes, const std::string& ask) {
    return common::SizeQuestion(path, bytes, "Duoplex", ask);
}

std::optional<std::string> ReplaceQuestion(const std::string& path) {
    return common::ReplaceQuestion(path, kGravRecordSize, "Duoplex");
}

std::optional<StartConfiguration> RefreshConfiguration(FunctionChoice f, bool threeGravons) {
    using G = StartConfiguration::Gravon;
    switch (f) {
        case FunctionChoice::F_PE:
            return StartConfiguration{{G{3.0L, 2.0L, 0.424L, 5.0L, -2.0L, 3.0L},
                                       G{3.0L, 2.0L, 0.424L, 5.0L, 2.0L, 3.0L},
                                       G{0.0L, 3.0L, 0.424L, 2.0L, -4362.0L, 3.8L}},
                                      0.05L};
        case FunctionChoice::F_PES:
            return StartConfiguration{{G{1.0L, 3.0L, 0.424L, 5.0L, -1.575L, 2.0L},
                                       G{1.0L, 3.0L, 0.424L, 5.0L, 1.575L, 2.0L},
                                       G{0.0L, 0.3L, 0.424L, 2.0L, -4362.0L, 3.8L}},
                                      0.005L};
        case FunctionChoice::F_PE1:
            if (threeGravons)
                return StartConfiguration{{G{3.0L, 2.0L, 0.424L, 5.0L, -2.4L, 3.0L},
                                           G{1.0L, 2.0L, 0.424L, 5.0L, 2.4L, 3.0L},
                                           G{1.0L, 2.0L, 0.424L, 5.0L, -7.5L, 3.0L}},
                                          0.05L};
            return StartConfiguration{{G{3.0L, 2.0L, 0.424L, 5.0L, -2.4L, 3.0L},
                                       G{1.0L, 2.0L, 0.424L, 5.0L, 2.4L, 3.0L},
                                       G{0.0L, 2.0L, 0.424L, 5.0L, -7501.0L, 3.0L}},
                                      0.05L};
        case FunctionChoice::F_PE2:
            if (threeGravons)
                return StartConfiguration{{G{3.0L, 2.0L, 0.424L, 5.0L, -2.0L, 3.0L},
                                           G{3.0L, 0.7L, 0.424L, 5.0L, 0.75L, 3.0L},
                                           G{3.0L, 0.7L, 0.424L, 5.0L, -6.0L, 3.0L}},
                                          0.05L};
            return StartConfiguration{{G{3.0L, 2.0L, 0.424L, 5.0L, -2.0L, 3.0L},
                                       G{3.0L, 0.7L, 0.424L, 5.0L, 2.0L, 3.0L},
                                       G{0.0L, 0.7L, 0.424L, 5.0L, -6001.0L, 3.0L}},
                                      0.05L};
        case FunctionChoice::F_PES_Swi:
            return StartConfiguration{{G{1.0L, 3.2L, 0.424L, 5.0L, -1.575L, 2.0L},
                                       G{1.0L, 3.0L, 0.424L, 5.0L, 1.575L, 2.0L},
                                       G{0.0L, 0.3L, 0.424L, 2.0L, -4362.0L, 3.8L}},
                                      0.005L};
        case FunctionChoice::F_PE_PES:
            return StartConfiguration{{G{1.0L, 4.0L, 424.0L, 50.0L, -2.1L, 2.0L},
                                       G{1.0L, 2.0L, 42.4L, 50.0L, 2.1L, 2.0L},
                                       G{0.0L, 3.0L, 0.424L, 2.0L, -4362.0L, 3.8L}},
                                      0.05L};
        case FunctionChoice::GravoNew:
            break;
    }
    return std::nullopt;
}

void ApplyConfiguration(PlanarState& s, const StartConfiguration& c) {
    for (int k = 1; k <= kGravons; ++k) {
        const StartConfiguration::Gravon& g = c.g[k - 1];
        SetGravon(s, k, g.A, g.B, g.C, g.D, g.X, g.Y);
    }
}

bool LoadStartConfiguration(PlanarState& s, FunctionChoice f, bool threeGravons) {
    std::optional<StartConfiguration> c = RefreshConfiguration(f, threeGravons);
    if (c) ApplyConfiguration(s, *c);
    s.DT = c ? c->DT : kGravoNewDT;
    return c.has_value();
}

}  // namespace duoplex
