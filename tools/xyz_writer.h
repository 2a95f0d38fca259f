#pragma once
// Extended XYZ trajectory frames of the present taons: the count line, a
// comment line with the box, the column layout, time and step, and one line
// per taon (group as element symbol, position, velocity, slot number). With a
// structure analysis of the frame's state each line also has the taon's
// coordination, q6 and cluster (numbered from 1).
#include <cstdio>
#include <string>

#include "sphaeron/core/taon_state.h"
#include "sphaeron/structure/structure.h"

namespace sphaeron {

class XyzWriter {
public:
    XyzWriter() = default;
    ~XyzWriter();
    XyzWriter(const XyzWriter&) = delete;
    XyzWriter& operator=(const XyzWriter&) = delete;

    void Open(const std::string& path);  // throws FileError
    bool IsOpen() const { return file_ != nullptr; }
    void Frame(const TaonState& s, long long step, const structure::StructureResult* analysis = nullptr);  // throws FileError
    void Close();                                     // throws FileError
    // After a failed write: closes and removes the file, so no truncated
    // trajectory is left behind.
    void Discard();

private:
    std::FILE* file_ = nullptr;
    std::string path_;
};

// The frame as text (for tests).
std::string XyzFrame(const TaonState& s, long long step, const structure::StructureResult* analysis = nullptr);

}  // namespace sphaeron
