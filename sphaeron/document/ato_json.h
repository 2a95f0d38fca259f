#pragma once
// The JSON form of the .ato document, exact to the byte:
//
//   {"format": "sphaeron-ato", "dt": "0.001",
//    "groups": [{"A": .., "B": .., "C": .., "D": .., "F": .., "G": ..} x 3],
//    "taons": [{"slot": 1, "present": 1, "x": .., "y": .., "z": ..,
//               "ux": .., "uy": .., "uz": ..}, ...],
//    "padding": {"190": "0000", "6292": "00000000"}}
//
// Every real is a string with its exact text (common/exact_text.h). The
// presence byte keeps its value (0 absent, any other present). Slots that are
// absent with all six values zero are left out and read back as zeros, and
// so is a missing padding member. The padding holds the bytes at offsets 190
// and 6292 in hex. The time step is read as "DT" too, the record's name of
// it.
#include <string>

#include "sphaeron/document/document.h"

namespace sphaeron {

constexpr const char* kAtoJsonFormat = "sphaeron-ato";

std::string AtoToJson(const TaonsDocument& doc);

// Throws common::JsonFieldError naming the field and the problem, such as
// "taons[3].slot: slot 7 is given twice".
TaonsDocument AtoFromJson(const std::string& text);

// Reads a record or its JSON form, told apart by content, into doc (which is
// left as it was on failure); returns true for the JSON form. A record must
// be exactly 6296 bytes unless anySize, which reads the first record as the
// windows do. Throws common::AppError with a text naming the file and the
// problem (see common/document_file.h); errors in a JSON form read
// "'<path>': <field>: <problem>".
bool ReadAnyDocument(const std::string& path, TaonsDocument& doc, bool anySize);

// True when the file holds a JSON text (see common::LooksLikeJson); false
// for a record, any other file and a file that cannot be read (silently).
bool IsJsonDocumentFile(const std::string& path);

// The windows' reading: the JSON form when the file holds one (its errors
// read "'<path>': <field>: <problem>"), else the first 6296 bytes as
// ReadDocument reads them, with its texts ("File not found", "Read beyond
// end of file", ...). doc is left as it was on failure. True for JSON.
bool ReadDocumentOrJson(const std::string& path, TaonsDocument& doc);

}  // namespace sphaeron
