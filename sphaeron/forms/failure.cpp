#include "sphaeron/forms/failure.h"

namespace sphaeron::forms {

SphaeronApplication::SphaeronApplication(int& argc, char** argv, common::qt::Dialogs& dialogs)
    : GuardedApplication(argc, argv, QStringLiteral("Sphaeron"), dialogs) {}

}  // namespace sphaeron::forms
