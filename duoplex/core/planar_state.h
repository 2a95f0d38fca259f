#pragma once
// The planar state of up to three gravons, its start-up and "New" values, the
// built-in start configurations of "Refresh", and the 256-byte `.grav` record.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "duoplex/core/settings.h"

namespace duoplex {

constexpr int kGravons = 3;
constexpr std::size_t kGravRecordSize = 256;
constexpr std::size_t kUnusedOffset = 250;
constexpr std::size_t kUnusedSize = 6;

using GravBytes = std::array<unsigned char, kGravRecordSize>;

// The eight values of one gravon, in record and edit order.
enum class Field { A, B, C, D, X, Y, SpeedX, SpeedY };
constexpr Field kAllFields[] = {Field::A, Field::B, Field::C, Field::D,
                                Field::X, Field::Y, Field::SpeedX, Field::SpeedY};
constexpr int kFieldCount = 8;

// Per-gravon arrays are indexed 1..3; entry 0 is unused.
struct PlanarState {
    long double A[4] = {}, B[4] = {}, C[4] = {}, D[4] = {};
    long double X[4] = {}, Y[4] = {};
    long double SpeedX[4] = {}, SpeedY[4] = {};
    long double DT = 0;
    std::int32_t StepCount = 0;
    bool Stopped = true;
    // Marker offsets from the drawing origin as last drawn. Kept wide so a
    // gravon far outside the picture never wraps round into it.
    std::int64_t PixelX[4] = {}, PixelY[4] = {};
    // What "Save as ..." writes.
    GravBytes Snapshot = {};
};

long double& Value(PlanarState& s, Field f, int k);
long double Value(const PlanarState& s, Field f, int k);

void ResetToStartValues(PlanarState& s);
void ResetToNewValues(PlanarState& s);

// The record as values: per-field arrays indexed 1..3 like the state.
struct GravRecord {
    long double A[4] = {}, B[4] = {}, C[4] = {}, D[4] = {};
    long double X[4] = {}, Y[4] = {};
    long double SpeedX[4] = {}, SpeedY[4] = {};
    long double DT = 0;
    std::array<unsigned char, kUnusedSize> Unused = {};
};

long double& Value(GravRecord& r, Field f, int k);
long double Value(const GravRecord& r, Field f, int k);

GravBytes EncodeGravRecord(const GravRecord& r);
GravRecord DecodeGravRecord(const GravBytes& bytes);

// A record of the state's values with the unused bytes of its snapshot.
GravRecord RecordOfState(const PlanarState& s);
// Takes A .. SpeedY and DT of the record into the state.
void TakeRecordValues(PlanarState& s, const GravRecord& r);

// The state as the timeline of a run records it: the record of its values,
// the unused bytes taken from the snapshot.
GravBytes RecordedState(const PlanarState& s);
// A recorded state made the current one: its values and step count, and the
// document snapshot, so that "Save as ..." writes the state shown.
void ShowRecordedState(PlanarState& s, const unsigned char* recorded, std::int64_t step);

// Reads the document as the window opens it into the snapshot and the
// values into the state: the JSON form (told apart by content), else the
// first 256 bytes of the file (opened read-only). A failure changes nothing.
// (grav_json.cpp)
void LoadDocument(const std::string& path, PlanarState& s);
// Writes the snapshot, replacing the file only once it is completely written.
void SaveDocument(const std::string& path, const PlanarState& s);

// The question to ask before a save replaces the file at path, when it is a
// file whose size is not that of a document: "'README.md' is 11,372 bytes
// long and is not a Duoplex document. Replace it?" (the name without its
// folder). None when there is no such file.
std::optional<std::string> ReplaceQuestion(const std::string& path);
// "'<name>' is <bytes, with thousands commas> bytes long and is not a
// Duoplex document. <ask>"
std::string SizeQuestion(const std::string& path, std::uint64_t bytes, const std::string& ask);

// One start configuration of "Refresh". Speeds are 0 in all of them.
struct StartConfiguration {
    struct Gravon {
        long double A, B, C, D, X, Y;
    };
    Gravon g[kGravons];
    long double DT;
};

// The table configuration for the function (F_PE1 and F_PE2 have a variant
// for `ThreeGravons`); none for GravoNew, which takes the typed values.
std::optional<StartConfiguration> RefreshConfiguration(FunctionChoice f, bool threeGravons);
constexpr long double kGravoNewDT = 0.005L;

// A, B, C, D, X, Y of the three gravons from the configuration, speeds 0;
// DT is left to the caller.
void ApplyConfiguration(PlanarState& s, const StartConfiguration& c);

// The start configuration of the function and its time step, as the tools
// start from it; GravoNew keeps the gravons and takes kGravoNewDT. False for
// GravoNew.
bool LoadStartConfiguration(PlanarState& s, FunctionChoice f, bool threeGravons);

}  // namespace duoplex
