#include "duoplex/core/settings.h"

namespace duoplex {

const char* FunctionName(FunctionChoice f) {
    switch (f) {
        case FunctionChoice::F_PE: return "F_PE";
        case FunctionChoice::F_PES: return "F_PES";
        case FunctionChoice::GravoNew: return "GravoNew";
        case FunctionChoice::F_PE1: return "F_PE1";
        case FunctionChoice::F_PE2: return "F_PE2";
        case FunctionChoice::F_PES_Swi: return "F_PES_Swi";
        case FunctionChoice::F_PE_PES: return "F_PE_PES";
    }
    return "";
}

const char* FunctionCaption(FunctionChoice f) {
    switch (f) {
        case FunctionChoice::F_PE: return "Functions PE";
        case FunctionChoice::F_PES: return "Functions PES";
        case FunctionChoice::GravoNew: return "GravoNew";
        case FunctionChoice::F_PE1: return "Functions PE1  (2+1 Gr.)";
        case FunctionChoice::F_PE2: return "Functions PE2  (2+1 Gr.)";
        case FunctionChoice::F_PES_Swi: return "Functions PES - Swifter";
        case FunctionChoice::F_PE_PES: return "Functions PE_ PES - Sw.";
    }
    return "";
}

std::optional<FunctionChoice> FunctionFromName(std::string_view name) {
    for (FunctionChoice f : kAllFunctions)
        if (name == FunctionName(f)) return f;
    return std::nullopt;
}

int MovedGravons(FunctionChoice f) {
    switch (f) {
        case FunctionChoice::GravoNew:
        case FunctionChoice::F_PE1:
        case FunctionChoice::F_PE2:
            return 3;
        default:
            return 2;
    }
}

Law LawFor(FunctionChoice f, int gravon) {
    switch (f) {
        case FunctionChoice::F_PE:
        case FunctionChoice::F_PE1:
        case FunctionChoice::F_PE2:
            return Law::PE;
        case FunctionChoice::F_PES:
        case FunctionChoice::F_PES_Swi:
        case FunctionChoice::GravoNew:
            return Law::PES;
        case FunctionChoice::F_PE_PES:
            return gravon == 1 ? Law::PE : (gravon == 2 ? Law::PES : Law::None);
    }
    return Law::None;
}

const char* BrakeCaption(int brake) {
    static const char* const kCaptions[kBrakeCount] = {"Brake-0%", "Brake-0,01%", "Brake-0,1%", "Brake-1%",
                                                       "Brake-10%"};
    return brake >= 1 && brake <= kBrakeCount ? kCaptions[brake - 1] : "";
}

}  // namespace duoplex
