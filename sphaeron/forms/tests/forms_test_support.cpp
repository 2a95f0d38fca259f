#include "forms_test_support.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/ext80.h"
#include "sphaeron/document/document.h"
#include "sphaeron/forms/failure.h"
#include "sphaeron/forms/listing_model.h"
#include "sphaeron/forms/main_form.h"

namespace sphaeron::forms::testing {

namespace {

// The next scripted answer of a file dialog with the document filter (File
// > Open: documents and runs), or the run filter for a run archive.
std::optional<QString> Take(std::deque<std::optional<QString>>& answers, const QString& filter,
                            const QString& defaultExt, const char* which) {
    const bool run = filter == QString::fromLatin1(kRunFilter);
    if (!run && filter != QString::fromLatin1(kDocumentOrRunFilter)) {
        EXPECT_EQ(QStringLiteral("Taons files (*.ato)|*.ato"), filter);
    }
    EXPECT_EQ(run ? QStringLiteral("atorun") : QStringLiteral("ato"), defaultExt);
    if (answers.empty()) {
        ADD_FAILURE() << which << " dialog not scripted";
        return std::nullopt;
    }
    const bool given = answers.front().has_value();
    QString name = given ? *answers.front() : QString();
    answers.pop_front();
    if (!given) return std::nullopt;
    return name;
}

}  // namespace

std::optional<QString> ScriptedDialogs::OpenFileName(QWidget*, const QString& filter, const QString& defaultExt) {
    return Take(OpenAnswers, filter, defaultExt, "open");
}

std::optional<QString> ScriptedDialogs::SaveFileName(QWidget*, const QString& filter, const QString& defaultExt) {
    return Take(SaveAnswers, filter, defaultExt, "save");
}

bool ScriptedDialogs::Confirm(QWidget*, const QString& text) {
    Questions.push_back(text);
    if (ConfirmAnswers.empty()) {
        ADD_FAILURE() << "question not scripted: " << text.toStdString();
        return false;
    }
    bool a = ConfirmAnswers.front();
    ConfirmAnswers.pop_front();
    return a;
}

void ScriptedDialogs::Failure(QWidget*, const QString& text) {
    Failures.push_back(text);
    if (OnFailure) OnFailure(text);
}

int ScriptedDialogs::ExecModal(QDialog& dialog) {
    ModalTitles.push_back(dialog.windowTitle());
    if (ModalActions.empty()) {
        ADD_FAILURE() << "modal dialog not scripted: " << dialog.windowTitle().toStdString();
        return QDialog::Rejected;
    }
    auto action = std::move(ModalActions.front());
    ModalActions.pop_front();
    return action(dialog);
}

std::optional<QString> EscapedFailures::OpenFileName(QWidget*, const QString&, const QString&) {
    ADD_FAILURE() << "the application asked for a file to open";
    return std::nullopt;
}

std::optional<QString> EscapedFailures::SaveFileName(QWidget*, const QString&, const QString&) {
    ADD_FAILURE() << "the application asked for a file to save";
    return std::nullopt;
}

void EscapedFailures::Information(QWidget*, const QString& text) {
    ADD_FAILURE() << "the application showed: " << text.toStdString();
}

bool EscapedFailures::Confirm(QWidget*, const QString& text) {
    ADD_FAILURE() << "the application asked: " << text.toStdString();
    return false;
}

int EscapedFailures::ExecModal(QDialog& dialog) {
    ADD_FAILURE() << "the application ran a dialog: " << dialog.windowTitle().toStdString();
    return QDialog::Rejected;
}

bool EscapedFailures::OpenHelpFile(const QString& path) {
    ADD_FAILURE() << "the application opened help: " << path.toStdString();
    return false;
}

EscapedFailures& Escaped() {
    static EscapedFailures escaped;
    return escaped;
}

void EnsureApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "forms_tests";
    static char* argv[] = {name, nullptr};
    // Lives until the process ends.
    new SphaeronApplication(argc, argv, Escaped());
}

void FormsTest::SetUp() {
    EnsureApplication();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    temp_ = std::make_unique<testsupport::TempDir>("sphaeron-forms");
    dir_ = temp_->Path();
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
    char cwd[4096];
    oldCwd_ = getcwd(cwd, sizeof cwd) ? cwd : "/tmp";
    // Titles standing in for names are written relative to the current
    // folder: keep them in the test's folder.
    ASSERT_EQ(0, chdir(dir_.c_str()));
}

void FormsTest::TearDown() {
    program_.reset();
    QLocale::setDefault(QLocale::c());
    if (chdir(oldCwd_.c_str()) != 0) ADD_FAILURE() << "chdir back";
    temp_.reset();
    EXPECT_TRUE(dialogs.OpenAnswers.empty()) << "unused open answers";
    EXPECT_TRUE(dialogs.SaveAnswers.empty()) << "unused save answers";
    EXPECT_TRUE(dialogs.ConfirmAnswers.empty()) << "unused confirm answers";
    EXPECT_TRUE(dialogs.ModalActions.empty()) << "unused modal actions";
    EXPECT_EQ(std::vector<QString>{}, Escaped().Texts) << "failures escaped their handlers";
    Escaped().Texts.clear();
}

std::string FormsTest::StartFile() const { return StartFilePath(); }

void FormsTest::WriteStartFile(const std::string& content) {
    std::filesystem::create_directories(dir_ + "/config/Sphaeron");
    WriteBytes(StartFile(), content);
}

std::string FormsTest::ReadStartFile() const {
    std::ifstream in(StartFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool FormsTest::StartFileExists() const { return std::filesystem::exists(StartFile()); }

TMainForm& FormsTest::Start() { return Start(dialogs); }

TMainForm& FormsTest::Start(Dialogs& with) {
    program_ = std::make_unique<SphaeronProgram>(with);
    // Every pass of a run drawn and dispatched, so that a test can act
    // between any two steps.
    program_->MainForm->FrameInterval = {};
    return *program_->MainForm;
}

TMainForm& FormsTest::StartWith(const TaonState& s) {
    WriteState(Path("doc.ato"), s);
    WriteStartFile(Path("doc.ato"));
    return Start();
}

void FormsTest::ShowActive() {
    Form().show();
    QApplication::setActiveWindow(&Form());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&Form()));
}

int FormsTest::RunNew(const std::function<void(TEditDlg&)>& body) {
    int result = -1;
    dialogs.ModalActions.push_back([&](QDialog& d) {
        QTimer::singleShot(0, &d, [&] {
            body(*program_->EditDlg);
            if (d.isVisible()) d.reject();
        });
        result = d.exec();
        return result;
    });
    Form().New1->trigger();
    return result;
}

TaonState SquareState(long double dt) {
    TaonState s;
    for (int k = 1; k <= kMaxTaons; ++k) {
        s.GravonPresent[k] = 0;
        s.X[k] = s.NewX[k] = s.ViewX[k] = 1000.0L + 37.0L * k;
        s.Y[k] = s.NewY[k] = s.ViewY[k] = -500.0L;
    }
    const long double q = 0.212L;
    const long double pos[4][3] = {{q, q, -q}, {q, q, q}, {-q, q, q}, {-q, q, -q}};
    for (int k = 1; k <= 4; ++k) {
        s.GravonPresent[k] = 1;
        s.X[k] = s.NewX[k] = s.ViewX[k] = pos[k - 1][0];
        s.Y[k] = s.NewY[k] = s.ViewY[k] = pos[k - 1][1];
        s.Z[k] = s.NewZ[k] = s.ViewZ[k] = pos[k - 1][2];
        s.Ux[k] = s.NewUx[k] = 0.01L * k;
        s.Uy[k] = s.NewUy[k] = -0.02L * k;
        s.Uz[k] = s.NewUz[k] = 1.5e-7L;
    }
    s.DT = dt;
    for (int g = 1; g <= 3; ++g) SetGroupParams(s, g, {1, 2.718L, 5, 10, 20, 30});
    return s;
}

std::vector<unsigned char> WriteState(const std::string& path, const TaonState& s) {
    TaonsDocument doc;
    PackDocument(s, doc);
    WriteDocument(path, doc);
    return std::vector<unsigned char>(doc.bytes.begin(), doc.bytes.end());
}

std::vector<unsigned char> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool SameBits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

std::string StateImage(const TaonState& s) {
    std::string out;
    auto put = [&out](long double v) {
        unsigned char b[common::kExtSize];
        common::EncodeExt(v, b);
        out.append(reinterpret_cast<const char*>(b), sizeof b);
    };
    const long double* arrays[] = {s.X,     s.Y,     s.Z,     s.Ux,    s.Uy,    s.Uz,    s.NewX,  s.NewY,
                                   s.NewZ,  s.NewUx, s.NewUy, s.NewUz, s.ViewX, s.ViewY, s.ViewZ};
    for (const long double* a : arrays)
        for (int k = 1; k <= kMaxTaons; ++k) put(a[k]);
    for (int i = 0; i < kParameterCount; ++i) put(*ParameterField(s, i));
    out.append(reinterpret_cast<const char*>(s.GravonPresent + 1), kMaxTaons);
    for (std::int32_t n : {s.TaonCount, s.StepCount}) out.append(reinterpret_cast<const char*>(&n), sizeof n);
    for (bool b : {s.Stopped, s.TimeDisplayOn, s.ListVelocities, s.SpiralMode}) out += b ? '1' : '0';
    return out;
}

void ExpectIdleLook(TMainForm& f, const TaonState& s) {
    EXPECT_TRUE(s.Stopped);
    EXPECT_EQ(QStringLiteral("Go"), f.Go->text());
    EXPECT_EQ(QColor(0, 255, 0), f.ShapeLime->BrushColor());
    EXPECT_EQ(QColor(128, 0, 0), f.ShapeRed->BrushColor());
    EXPECT_TRUE(f.Images->menuAction()->isEnabled());
    EXPECT_TRUE(f.Null00->isEnabled());
}

std::vector<int> WorkingCopyDiffers(const TaonState& s) {
    std::vector<int> differ;
    for (int k = 1; k <= kMaxTaons; ++k)
        if (!SameBits(s.X[k], s.NewX[k]) || !SameBits(s.Y[k], s.NewY[k]) || !SameBits(s.Z[k], s.NewZ[k]) ||
            !SameBits(s.Ux[k], s.NewUx[k]) || !SameBits(s.Uy[k], s.NewUy[k]) || !SameBits(s.Uz[k], s.NewUz[k]))
            differ.push_back(k);
    return differ;
}

WindowLook LookOf(TMainForm& f) {
    WindowLook l;
    Session& d = f.Data();
    l.state = StateImage(d.State());
    std::ifstream start(StartFilePath(), std::ios::binary);
    l.names = {d.DocumentName(), d.LastDocumentName(),
               start ? std::string(std::istreambuf_iterator<char>(start), {}) : std::string("<no start file>")};
    l.texts = {f.FName->text(), f.LTime->text(), f.Go->text(),
               QString::number(f.Go->isEnabled()) + QString::number(f.Null00->isEnabled())};
    for (QLineEdit* e : f.ParameterFields) l.texts.push_back(e->text());
    for (int row = 0; row < f.Listing->RowCount(); ++row)
        for (int col = 0; col < f.Listing->ColCount(); ++col) l.texts.push_back(f.Listing->Cell(col, row));
    l.picture = f.BackBuffer.copy();
    return l;
}

std::string WindowLook::Difference(const WindowLook& o) const {
    if (state != o.state) {
        std::size_t i = 0;
        while (i < state.size() && i < o.state.size() && state[i] == o.state[i]) ++i;
        return "the state differs at byte " + std::to_string(i);
    }
    for (std::size_t i = 0; i < names.size() && i < o.names.size(); ++i)
        if (names[i] != o.names[i]) return "name " + std::to_string(i) + ": '" + names[i] + "' vs '" + o.names[i] + "'";
    for (std::size_t i = 0; i < texts.size() && i < o.texts.size(); ++i)
        if (texts[i] != o.texts[i])
            return "text " + std::to_string(i) + ": '" + texts[i].toStdString() + "' vs '" + o.texts[i].toStdString() +
                   "'";
    if (picture != o.picture) return "the picture differs";
    return names.size() != o.names.size() || texts.size() != o.texts.size() ? "different sizes" : "";
}

std::map<std::string, std::string> FolderListing(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::vector<unsigned char> bytes;
        if (it->is_regular_file()) bytes = FileBytes(it->path().string());
        files[it->path().string()] = it->is_regular_file() ? std::string(bytes.begin(), bytes.end()) : "<dir>";
    }
    return files;
}

int WaitForChild(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

void AtPass(TMainForm& form, int pass, std::function<void()> f) {
    auto* timer = new QTimer(&form);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, &form, pass, f = std::move(f)] {
        if (form.Data().State().StepCount < pass) return;
        timer->stop();
        timer->deleteLater();
        f();
    });
    timer->start();
}

}  // namespace sphaeron::forms::testing
