// A run saved half way and reopened ends where the unbroken run ends, bit
// for bit, through the record file and through its JSON form.
#include <gtest/gtest.h>

#include "duoplex/core/grav_json.h"
#include "duoplex/core/planar_step.h"
#include "test_files.h"

namespace duoplex {
namespace {

using testing::ScratchDir;

TEST(DuoplexRestart, SavedAndReopenedEqualsUnbroken) {
    const struct {
        FunctionChoice function;
        bool three;
        int brake;
    } cases[] = {
        {FunctionChoice::F_PE, false, 1},      {FunctionChoice::F_PES, false, 3},
        {FunctionChoice::F_PE1, true, 1},      {FunctionChoice::F_PE2, true, 5},
        {FunctionChoice::F_PES_Swi, false, 2}, {FunctionChoice::F_PE_PES, false, 4},
    };
    constexpr int kHalf = 150;
    ScratchDir dir;
    const std::string path = dir.File("half.grav");
    for (const auto& c : cases) {
        SCOPED_TRACE(FunctionName(c.function));
        const StepSettings st{c.function, !c.three, c.brake};
        PlanarState unbroken;
        ApplyConfiguration(unbroken, *RefreshConfiguration(c.function, c.three));
        unbroken.DT = RefreshConfiguration(c.function, c.three)->DT;
        unbroken.Snapshot[253] = 0x42;  // carried by both forms
        PlanarState half = unbroken;
        for (int k = 0; k < 2 * kHalf; ++k) DoStep(unbroken, st);
        for (int k = 0; k < kHalf; ++k) DoStep(half, st);

        half.Snapshot = EncodeGravRecord(RecordOfState(half));
        SaveDocument(path, half);
        PlanarState fromFile, fromJson;
        LoadDocument(path, fromFile);
        TakeRecordValues(fromJson, DecodeGravRecord(GravFromJson(GravToJson(half.Snapshot))));
        for (PlanarState* s : {&fromFile, &fromJson}) {
            s->Snapshot = half.Snapshot;
            for (int k = 0; k < kHalf; ++k) DoStep(*s, st);
            EXPECT_EQ(EncodeGravRecord(RecordOfState(*s)), EncodeGravRecord(RecordOfState(unbroken)));
        }
    }
}

}  // namespace
}  // namespace duoplex
