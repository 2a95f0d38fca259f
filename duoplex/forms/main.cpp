// Duoplex: the planar gravon simulator.
#include "duoplex/forms/dialogs.h"
#include "duoplex/forms/main_form.h"

int main(int argc, char** argv) {
    duoplex::forms::DuoplexApplication app(argc, argv);
    duoplex::forms::TMainForm form;
    form.show();
    return app.exec();
}
