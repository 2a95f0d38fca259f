// The file commands' traps: Save as over a file that is no document asks
// first; a document named on the command line opens as File > Open would;
// after a message box the window has the keyboard again.
#include <sys/wait.h>

#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include "duoplex/core/tests/test_files.h"
#include "duoplex/forms/main_form.h"
#include "gui_test_support.h"

namespace duoplex::forms {
namespace {

using testing::Bytes;
using testing::ReadBytes;
using testing::ScratchDir;
using testing::StateImage;
using testing::WriteBytes;

TEST(DuoplexFileCommands, SaveAsAsksBeforeReplacingWhatIsNoDocument) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    const std::string other(11372, 'x'), document(256, '\x5a');
    const struct {
        std::string name, before;  // before: "" for no file
        bool yes;
        std::string question;  // "" for none
    } cases[] = {
        {"README.md", other, false, "'README.md' is 11,372 bytes long and is not a Duoplex document. Replace it?"},
        {"README.md", other, true, "'README.md' is 11,372 bytes long and is not a Duoplex document. Replace it?"},
        {"folder/empty", std::string(), false, "'empty' is 0 bytes long and is not a Duoplex document. Replace it?"},
        {"folder/x y.grav", std::string(1, 'x'), false, "'x y.grav' is 1 byte long and is not a Duoplex document. Replace it?"},
        {"folder/million", std::string(1000000, 'm'), true,
         "'million' is 1,000,000 bytes long and is not a Duoplex document. Replace it?"},
        {"doc.grav", document, false, ""},
        {"new.grav", std::string(), false, ""},
    };
    testing::ScriptedDialogs dialogs;
    TMainForm form(dialogs);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.File(c.name);
        std::filesystem::remove(path);
        if (c.name == "folder/empty" || !c.before.empty()) WriteBytes(path, c.before);
        dialogs.questions.clear();
        dialogs.confirm = {c.yes};
        dialogs.save.push_back(QString::fromStdString(path));
        form.Save1Click();
        EXPECT_EQ(dialogs.questions, c.question.empty() ? std::vector<std::string>{} : std::vector{c.question});
        bool written = c.question.empty() || c.yes;
        EXPECT_EQ(ReadBytes(path), written ? Bytes(form.Session.State().Snapshot) : c.before);
        EXPECT_TRUE(dialogs.messages.empty());
    }
}

TEST(DuoplexFileCommands, DocumentNamedAtStartOpensLikeOpen) {
    ScratchDir dir;
    PlanarState s;
    ResetToNewValues(s);
    s.SpeedY[2] = -0.75L;
    s.Snapshot[252] = 7;
    std::string record = Bytes(EncodeGravRecord(RecordOfState(s)));
    WriteBytes(dir.File("doc.grav"), record);
    WriteBytes(dir.File("short.grav"), record.substr(0, 255));
    const struct {
        std::string name, message;
    } cases[] = {
        {"missing.grav", "File not found"},
        {"short.grav", "Read beyond end of file"},
        {"doc.grav", ""},
    };
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::ScriptedDialogs dialogs;
        TMainForm form(dialogs);
        const std::string before = StateImage(form.Session.State());
        const QString speed = form.Edit(Field::SpeedY, 2)->text();
        form.OpenDocument(QString::fromStdString(dir.File(c.name)));
        if (c.message.empty()) {
            EXPECT_TRUE(dialogs.messages.empty());
            EXPECT_EQ(form.Edit(Field::SpeedY, 2)->text(), "-0,75");
            EXPECT_EQ(form.EditDifferent->text(), "0,005");
            EXPECT_EQ(Bytes(form.Session.State().Snapshot), record);
        } else {
            EXPECT_EQ(dialogs.messages, std::vector{c.message});
            EXPECT_EQ(StateImage(form.Session.State()), before);
            EXPECT_EQ(form.Edit(Field::SpeedY, 2)->text(), speed);
        }
    }
    QLocale::setDefault(QLocale::c());
}

// The desktop's message boxes, with file names from a script.
struct RealBoxes : common::qt::QtDialogs {
    RealBoxes() : QtDialogs(QStringLiteral("Duoplex"), QMessageBox::Information) {}
    QString name;
    std::optional<QString> OpenFileName(QWidget*, const QString&, const QString&) override { return name; }
    std::optional<QString> SaveFileName(QWidget*, const QString&, const QString&) override { return name; }
};

TEST(DuoplexFileCommands, KeysWorkRightAfterAMessageBox) {
    ScratchDir dir;
    WriteBytes(dir.File("README.md"), "not a document");
    RealBoxes boxes;
    TMainForm form(boxes);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    const struct {
        std::string name;
        std::function<void()> command;
    } commands[] = {
        {"missing.grav", [&] { form.Open1Click(); }},
        {"README.md", [&] { form.Save1Click(); }},  // the question, answered with Enter
        {"missing/x.grav", [&] { form.Save1Click(); }},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.name);
        boxes.name = QString::fromStdString(dir.File(c.name));
        QWidget* parent = nullptr;
        QTimer answer;  // presses Enter in the box once it is up
        answer.setInterval(10);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box) return;
            answer.stop();
            parent = box->parentWidget();
            QTest::keyClick(box, Qt::Key_Return);
        });
        answer.start();
        c.command();
        answer.stop();
        QCoreApplication::processEvents();  // the activation arrives as an event
        EXPECT_EQ(parent, &form);
        EXPECT_EQ(QApplication::activeWindow(), &form);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->window(), &form);
        // F2 ("New") reaches the window's shortcut.
        form.EditDifferent->setText(QStringLiteral("9"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
        EXPECT_EQ(form.EditDifferent->text(), QLocale().toString(0.005));
    }
    form.close();
}

// The program itself: --help and --version print and end before a window.
TEST(DuoplexFileCommands, HelpAndVersionWithoutAWindow) {
    // Without a display a window would fail to start.
    const char* const noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb ";
    const struct {
        const char* env;
        const char* args;
        int code;
        const char* part;
    } cases[] = {
        {noDisplay, "--version", 0, "duoplex " DUOPLEX_PROJECT_VERSION "\n"},
        {noDisplay, "--help", 0, "[FILE]"},
        {noDisplay, "--help", 0, "--timeline-memory MIB"},
        {"QT_QPA_PLATFORM=offscreen ", "a.grav b.grav", 2, "duoplex: unexpected 'b.grav'\nRun 'duoplex --help'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        std::string cmd = std::string(c.env) + DUOPLEX_PATH " " + c.args + " 2>&1";
        FILE* p = ::popen(cmd.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string out;
        char buf[512];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        int status = ::pclose(p);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.code) << out;
        EXPECT_NE(out.find(c.part), std::string::npos) << out;
    }
}

}  // namespace
}  // namespace duoplex::forms
