// Documents holding NaN, infinities, the largest values and denormals open
// in the window: the fields show them, the picture and a run over them end
// with the system's texts (or run on where the arithmetic is silent), and
// the window stays usable.
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cfloat>
#include <limits>

#include <gtest/gtest.h>

#include "duoplex/core/tests/test_files.h"
#include "duoplex/forms/main_form.h"
#include "gui_test_support.h"

namespace duoplex::forms {
namespace {

using L = std::numeric_limits<long double>;
using testing::Bytes;
using testing::ScratchDir;
using testing::WriteBytes;
using Texts = std::vector<std::string>;

TEST(DuoplexEdgeValueForm, DocumentsOpenShowAndRunToTheSystemTexts) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    testing::ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    ScratchDir dir;

    // Runs until an error ends it or for a few steps.
    auto run = [&] {
        QTimer timer;
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (form.Session.State().StepCount >= 10 && !form.Session.Stopped()) form.GoClick();
        });
        timer.start();
        form.GoClick();
    };

    const char* const invalid = "Invalid floating point operation";
    const char* const overflow = "Floating point overflow";
    struct Case {
        Field field;  // of gravon 2; SpeedY stands for the time step here
        bool dt;
        long double value;
        const char* shown;
        Texts atOpen, ofRun;
    };
    const Case cases[] = {
        {Field::X, false, L::quiet_NaN(), "NAN", {invalid}, {invalid}},
        {Field::Y, false, -L::infinity(), "-INF", {invalid}, {invalid}},
        {Field::B, false, L::infinity(), "INF", {invalid}, {invalid}},
        {Field::A, false, L::quiet_NaN(), "NAN", {"'NAN' is not a valid floating point value"}, {invalid}},
        {Field::A, false, LDBL_MAX, "1,18973149535723E4932", {overflow}, {overflow}},
        {Field::SpeedX, false, -LDBL_MAX, "-1,18973149535723E4932", {}, {overflow}},
        {Field::SpeedY, true, LDBL_MAX, "1,18973149535723E4932", {}, {overflow}},
        {Field::X, false, L::denorm_min(), "3,64519953188247E-4951", {}, {}},
        {Field::SpeedX, false, LDBL_MIN, "3,36210314311209E-4932", {}, {}},
        {Field::SpeedY, true, L::denorm_min(), "3,64519953188247E-4951", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        PlanarState doc;
        ResetToStartValues(doc);
        (c.dt ? doc.DT : Value(doc, c.field, 2)) = c.value;
        std::string path = dir.File("edge.grav");
        WriteBytes(path, Bytes(EncodeGravRecord(RecordOfState(doc))));

        dialogs.messages.clear();
        dialogs.open.push_back(QString::fromStdString(path));
        form.Open1Click();
        EXPECT_EQ(dialogs.messages, c.atOpen);
        QLineEdit* edit = c.dt ? form.EditDifferent : form.Edit(c.field, 2);
        EXPECT_EQ(edit->text().toStdString(), c.shown);

        dialogs.messages.clear();
        form.Session.SetSteps(0);
        run();
        EXPECT_EQ(dialogs.messages, c.ofRun);
        EXPECT_TRUE(form.Session.Stopped());
        EXPECT_EQ(form.Go->text(), "Go");
        EXPECT_TRUE(form.Refresh->isEnabled());
        if (c.ofRun.empty()) {
            EXPECT_GE(form.Session.State().StepCount, 10);
        }

        // Usable again: a built-in configuration runs without a message.
        dialogs.messages.clear();
        form.F_PE->setChecked(true);
        form.RefreshClick();
        run();
        EXPECT_EQ(dialogs.messages, Texts{});
        EXPECT_GE(form.Session.State().StepCount, 10);
    }
    QLocale::setDefault(QLocale::c());
}

}  // namespace
}  // namespace duoplex::forms
