// The .grav reader: any bytes either load (and encode back to the same record
// bit for bit) or fail with "Read beyond end of file" (a text that starts as
// JSON: with the JSON reader's error naming the file), leaving the state and
// its snapshot untouched. What is loaded shows as texts that read back, and a
// frame and a few steps over it finish or fail with one of the system's
// texts (the unused bytes of the record choose the settings).
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/canvas.h"
#include "common/document_file.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/fpcheck.h"
#include "common/json_fields.h"
#include "common/numtext.h"
#include "duoplex/core/grav_json.h"
#include "duoplex/core/planar_scene.h"
#include "duoplex/core/planar_state.h"
#include "duoplex/core/planar_step.h"

namespace {

using namespace duoplex;

void Check(bool ok) {
    if (!ok) std::abort();
}

// Everything of the state, value bits included, as bytes.
std::string Image(const PlanarState& s) {
    GravBytes values = EncodeGravRecord(RecordOfState(s));
    std::string out(reinterpret_cast<const char*>(values.data()), values.size());
    out.append(reinterpret_cast<const char*>(s.Snapshot.data()), s.Snapshot.size());
    out.append(reinterpret_cast<const char*>(&s.StepCount), sizeof s.StepCount);
    out += s.Stopped ? '1' : '0';
    out.append(reinterpret_cast<const char*>(s.PixelX), sizeof s.PixelX);
    out.append(reinterpret_cast<const char*>(s.PixelY), sizeof s.PixelY);
    return out;
}

// The window after "Open": the A edits show the loaded values.
struct Controls : SceneControls {
    bool sc1 = true, two = true;
    FunctionChoice function = FunctionChoice::F_PE;
    std::string a[4];
    bool DoubleScale() const override { return sc1; }
    bool TwoGravonsChecked() const override { return two; }
    FunctionChoice Function() const override { return function; }
    std::string TypedA(int k) const override { return a[k]; }
    void ShowLiveValue(Field, int, const std::string&) override {}
    char DecimalSeparator() const override { return ','; }
};

bool IsArithmeticText(const char* text) {
    return std::strcmp(text, common::kInvalidOperationText) == 0 ||
           std::strcmp(text, common::kDivisionByZeroText) == 0 || std::strcmp(text, common::kOverflowText) == 0;
}

void StepAndDraw(const PlanarState& loaded, const unsigned char* unused) {
    static common::MemoryCanvas canvas(kClientWidth, kClientHeight);
    PlanarState s = loaded;
    Controls c;
    c.function = kAllFunctions[unused[0] % 7];
    c.two = (unused[1] & 1) != 0;
    c.sc1 = (unused[1] & 2) != 0;
    for (int k = 1; k <= kGravons; ++k) c.a[k] = common::FormatReal(s.A[k], ',');
    StepSettings st{c.function, c.two, 1 + unused[2] % kBrakeCount};
    try {
        ClearCanvas(canvas);
        DrawScene(s, canvas, c);
        for (int i = 0; i < 3; ++i) {
            DoStep(s, st);
            DrawScene(s, canvas, c);
        }
    } catch (const common::FloatError& e) {
        Check(IsArithmeticText(e.what()));
    } catch (const common::ConvertError& e) {
        bool known = false;
        for (int k = 1; k <= kGravons; ++k) known = known || common::InvalidRealText(c.a[k]) == e.what();
        Check(known);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = [] {
        std::string p = "/tmp/fuzz-grav-" + std::to_string(getpid()) + ".grav";
        std::atexit([] { ::unlink(("/tmp/fuzz-grav-" + std::to_string(getpid()) + ".grav").c_str()); });
        return p;
    }();
    common::WriteFileAtomic(path, data, size);

    // The state keeps what the previous input loaded, so "untouched" is
    // tested against a state that is not all zero.
    static PlanarState state;
    state.StepCount = 7;
    const std::string before = Image(state);
    const std::string text(reinterpret_cast<const char*>(data), size);
    const bool json = common::LooksLikeJson(text, kGravRecordSize);
    try {
        LoadDocument(path, state);
    } catch (const common::FileError& e) {
        Check(!json && size < kGravRecordSize && std::strcmp(e.what(), common::kReadBeyondEndText) == 0);
        Check(Image(state) == before);
        return 0;
    } catch (const common::JsonFieldError& e) {
        // A text that starts as JSON is read as JSON; its error names the file.
        Check(json && std::string(e.what()).rfind("'" + path + "': ", 0) == 0);
        Check(Image(state) == before);
        return 0;
    }
    if (json) {
        Check(state.Snapshot == GravFromJson(text));
    } else {
        Check(size >= kGravRecordSize);
        Check(std::memcmp(state.Snapshot.data(), data, kGravRecordSize) == 0);
    }
    GravBytes again = EncodeGravRecord(RecordOfState(state));
    Check(again == state.Snapshot);
    Check(state.StepCount == 7 && state.Stopped);

    // Every value shows as a text that reads back and shows the same.
    for (Field f : kAllFields)
        for (int k = 1; k <= kGravons; ++k) {
            long double v = Value(state, f, k);
            std::string shown = common::FormatReal(v, ',');
            if (!std::isfinite(v)) {
                Check(shown == "NAN" || shown == "INF" || shown == "-INF");
                continue;
            }
            Check(common::FormatReal(common::ParseReal(shown, ','), ',') == shown);
        }

    StepAndDraw(state, state.Snapshot.data() + kUnusedOffset);
    return 0;
}
