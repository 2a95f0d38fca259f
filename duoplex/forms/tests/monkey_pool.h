#pragma once
// The documents and names the monkey test's scripted dialogs answer with:
// good documents (values no text carries included), short and empty files,
// a folder, missing and too long names, read-only targets, a relative name,
// a file that is no document, and the cancel.
#include <sys/stat.h>

#include <cfloat>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "duoplex/core/planar_step.h"
#include "duoplex/core/tests/test_files.h"

namespace duoplex::forms::monkey {

using testing::Bytes;
using testing::WriteBytes;

enum class Kind { Good, Short, Folder, Missing, LongName, ReadOnlyFile, ReadOnlyFolder, Relative, NotADocument, Cancel };

struct FileChoice {
    std::string path;
    Kind kind;
};

inline std::string LongName(const std::string& docs) { return docs + "/monkey" + std::string(300, 'n') + ".grav"; }

inline std::vector<FileChoice> MakeOpenChoices(const std::string& d, std::mt19937& rng) {
    auto write = [](const std::string& path, PlanarState s, std::size_t extra = 0) {
        GravRecord r = RecordOfState(s);
        WriteBytes(path, Bytes(EncodeGravRecord(r)) + std::string(extra, '+'));
    };
    using L = std::numeric_limits<long double>;
    PlanarState s;
    ResetToStartValues(s);
    s.Snapshot[250] = 0xAB;  // unused bytes that must be carried
    for (int i = 0; i < 30; ++i) DoStep(s, {FunctionChoice::F_PE, true, 1});
    write(d + "/stepped.grav", s);
    ApplyConfiguration(s, *RefreshConfiguration(FunctionChoice::F_PES, false));
    s.DT = 0.005L;
    write(d + "/pes-long.grav", s, 44);
    PlanarState e = s;
    e.X[2] = L::quiet_NaN();
    write(d + "/nan.grav", e);
    e = s;
    e.B[1] = L::infinity();
    e.A[2] = L::quiet_NaN();
    write(d + "/inf.grav", e);
    e = s;
    e.DT = LDBL_MAX;
    e.SpeedX[1] = -LDBL_MAX;
    write(d + "/largest.grav", e);
    e = s;
    e.SpeedY[1] = L::denorm_min();
    e.X[3] = LDBL_MIN;
    write(d + "/denormal.grav", e);
    WriteBytes(d + "/zero.grav", std::string(256, '\0'));
    std::string random(256, '\0');
    for (char& c : random) c = static_cast<char>(rng());
    WriteBytes(d + "/random.grav", random);
    WriteBytes(d + "/short.grav", std::string(255, '\x01'));
    WriteBytes(d + "/empty.grav", "");
    std::filesystem::create_directories(d + "/folder.grav");
    return {
        {d + "/stepped.grav", Kind::Good},   {d + "/pes-long.grav", Kind::Good}, {d + "/nan.grav", Kind::Good},
        {d + "/inf.grav", Kind::Good},       {d + "/largest.grav", Kind::Good},  {d + "/denormal.grav", Kind::Good},
        {d + "/zero.grav", Kind::Good},      {d + "/random.grav", Kind::Good},   {d + "/short.grav", Kind::Short},
        {d + "/empty.grav", Kind::Short},    {d + "/folder.grav", Kind::Folder}, {d + "/none.grav", Kind::Missing},
        {d + "/no/doc.grav", Kind::Missing}, {LongName(d), Kind::LongName},       {"", Kind::Cancel},
    };
}

inline std::vector<FileChoice> MakeSaveChoices(const std::string& d) {
    WriteBytes(d + "/readonly.grav", std::string(256, 'r'));
    ::chmod((d + "/readonly.grav").c_str(), 0444);
    std::filesystem::create_directories(d + "/locked");
    WriteBytes(d + "/locked/doc.grav", std::string(256, 'l'));
    ::chmod((d + "/locked").c_str(), 0555);
    return {
        {d + "/out1.grav", Kind::Good},           {d + "/out2.grav", Kind::Good},
        {"relative.grav", Kind::Relative},        {d + "/readonly.grav", Kind::ReadOnlyFile},
        {d + "/locked/doc.grav", Kind::ReadOnlyFolder}, {d + "/locked/new.grav", Kind::ReadOnlyFolder},
        {d + "/folder.grav", Kind::Folder},       {d + "/no/doc.grav", Kind::Missing},
        {LongName(d), Kind::LongName},             {d + "/notes.md", Kind::NotADocument},
        {"", Kind::Cancel},
    };
}

// What "Save as" over the notes asks.
inline const char* const kNotesQuestion =
    "'notes.md' is 11 bytes long and is not a Duoplex document. Replace it?";
inline const char* const kNotes = "just notes\n";

}  // namespace duoplex::forms::monkey
