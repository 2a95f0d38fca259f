#pragma once
// The JSON form of the .grav record, exact to the byte:
//
//   {"format": "duoplex-grav", "dt": "0.05",
//    "gravons": [{"A": .., "B": .., "C": .., "D": .., "X": .., "Y": ..,
//                 "SpeedX": .., "SpeedY": ..} x 3],
//    "unused": "000000000000"}
//
// Every real is a string with its exact text (common/exact_text.h); the six
// unused bytes at the end of the record are in hex and read back as zeros
// when left out. The names are those of the record's fields; the time step
// is "dt" as in the other program's form ("DT", as files written before
// have it, is read too).
#include <cstddef>
#include <optional>
#include <string>

#include "duoplex/core/planar_state.h"

namespace duoplex {

constexpr const char* kGravJsonFormat = "duoplex-grav";

std::string GravToJson(const GravBytes& record);

// Throws common::JsonFieldError naming the field and the problem, such as
// "gravons[2].X: missing".
GravBytes GravFromJson(const std::string& text);

// Reads a record or its JSON form, told apart by content; returns true for
// the JSON form. A record file must be exactly 256 bytes unless anySize,
// which reads the first record as the window does. Throws common::AppError
// with a text naming the file and the problem (common/document_file.h);
// errors in a JSON form read "'<path>': <field>: <problem>".
bool ReadAnyGrav(const std::string& path, GravBytes& record, bool anySize);

// Before the window opens a file longer than a record that is not the JSON
// form: "'big.bin' is 11,372 bytes long and is not a Duoplex document. Open
// its first 256 bytes anyway?" (the name without its folder). None for a
// record, the JSON form, a shorter file (its read fails) or no file.
std::optional<std::string> OpenQuestion(const std::string& path);

// The byte offset of a value in the record: field f of gravon k (1..3).
std::size_t GravOffset(Field f, int k);
constexpr std::size_t kDTOffset = 240;

// The record's field names as the tools take them: "DT", "A1" .. "D3",
// "X1" .. "Y3", "SpeedX1" .. "SpeedY3" (any case); the offset of the
// value, or none.
std::optional<std::size_t> GravFieldOffset(const std::string& name);
extern const char* const kGravFieldNames;  // "DT, A1 .. D3, X1 .. Y3, SpeedX1 .. SpeedY3"

}  // namespace duoplex
