#pragma once
// The choices the window offers for a run: the function of the group "Name of
// strukture", the two-gravon switch and the hand-brake. The step reads them
// afresh at every pass.
#include <optional>
#include <string>
#include <string_view>

namespace duoplex {

enum class FunctionChoice { F_PE, F_PES, GravoNew, F_PE1, F_PE2, F_PES_Swi, F_PE_PES };

constexpr FunctionChoice kAllFunctions[] = {
    FunctionChoice::F_PE,  FunctionChoice::F_PES,     FunctionChoice::GravoNew, FunctionChoice::F_PE1,
    FunctionChoice::F_PE2, FunctionChoice::F_PES_Swi, FunctionChoice::F_PE_PES,
};

// The control name ("F_PE", "GravoNew", ...) and the radio button's caption.
const char* FunctionName(FunctionChoice f);
const char* FunctionCaption(FunctionChoice f);
std::optional<FunctionChoice> FunctionFromName(std::string_view name);

// Gravons moved by the function pass: 3 for GravoNew, F_PE1 and F_PE2, else 2.
int MovedGravons(FunctionChoice f);

// The law a moved gravon feels.
enum class Law { None, PE, PES };
Law LawFor(FunctionChoice f, int gravon);

constexpr int kBrakeCount = 5;
const char* BrakeCaption(int brake);  // brake 1..5: "Brake-0%" .. "Brake-10%"

struct StepSettings {
    FunctionChoice function = FunctionChoice::F_PE;
    bool twoGravonPass = true;  // `TwoGravons` checked
    int brake = 1;              // 1..5, `Brake1`..`Brake5`
};

}  // namespace duoplex
