// A seeded random sequence of user actions on the Sphaeron window and its
// edit dialog under the offscreen platform: the run buttons, the nine view
// buttons, the amplitude bar, drags with every mouse button, the mode
// buttons and check boxes, menu commands and their keys (the hidden Manager
// items too), good and bad texts typed into every field, the commentary
// memo, documents opened and saved through scripted dialogs (bad files and
// names included), and in the edit dialog the grid, "&Yes", "Save As",
// "OK", "Cancel" and the four calculators. Runs are a few steps long: an
// action between two steps ends them through the Stop button.
//
// After every action: no failure escaped its handler to the application
// object, no exception reached the failure handler that is not one of the
// program's failures, every box shows one of the system's texts, the
// outcome of a command is the one it must have, the window's run look
// matches the state, the working copy equals the committed copy between
// steps (but for the slots the edit dialog's "&Yes" has changed and nothing
// has copied yet), and no file was written outside the test's temporary
// folder, which also stands in for the home, configuration and working
// folders.
//
// SPHAERON_MONKEY_SEED chooses the sequence (a failure prints it), and
// SPHAERON_MONKEY_ACTIONS its length.
#include "monkey.h"

namespace sphaeron::forms::testing::monkey {

testsupport::Sandbox gFolders;

namespace {

// The application object: a failure that reaches it escaped its handler.
class MonkeyApplication : public SphaeronApplication {
public:
    MonkeyApplication(int& argc, char** argv) : SphaeronApplication(argc, argv, Escaped()) {}
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(
    new testsupport::SandboxedApplication<MonkeyApplication>(gFolders, "sphaeron-monkey"));

const char* const kFileTexts[] = {"File not found",    "File access denied",      "Invalid filename",
                                  "Too many open files", "Read beyond end of file", "Disk full"};

std::size_t OpenDescriptors() {
    std::error_code ec;
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd", ec), {}));
}

}  // namespace

// Names the program writes: documents, commentaries, the start file, the
// temporary files beside them, and the titles that stand in for names.
bool OneOfOurNames(const std::string& name) {
    auto ends = [&](const char* e) {
        std::size_t n = std::strlen(e);
        return name.size() >= n && name.compare(name.size() - n, n, e) == 0;
    };
    return name.rfind(".sphaeron-", 0) == 0 || ends(".ato") || ends(".txt") || name == "Start.-as-" ||
           name == "Sphaeron" || name.rfind("ThetraSp", 0) == 0 || name.rfind("This is a stabil", 0) == 0 ||
           name.rfind("The easy", 0) == 0 || name.rfind("monkey", 0) == 0;
}

bool NumberBetween(const std::string& text, const std::string& head, const std::string& tail) {
    if (text.size() <= head.size() + tail.size() || text.compare(0, head.size(), head) != 0 ||
        text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const std::string number = text.substr(head.size(), text.size() - head.size() - tail.size());
    return number.find_first_not_of("0123456789") == std::string::npos;
}
bool IsFileText(const std::string& t) {
    for (const char* f : kFileTexts)
        if (t == f) return true;
    return NumberBetween(t, "I/O error ", "");
}
bool IsArithmeticText(const std::string& t) {
    return t == "Invalid floating point operation" || t == "Floating point overflow" ||
           t == "Floating point division by zero";
}

Monkey::Monkey(unsigned seed, int actions) : seed_(seed), target_(actions), rng_(seed) {
    Escaped().Texts.clear();
    openChoices_ = MakeOpenChoices(rng_);
    saveChoices_ = MakeSaveChoices();
    for (const FileChoice& c : saveChoices_)
        if (c.kind != Kind::Cancel) saveKind_[c.path] = c.kind;
    WriteBytes(gFolders.docs + "/HlpArtPl.hlp", "help");

    program_ = std::make_unique<SphaeronProgram>(*this);
    Data().SetStepThreads(2);
    TMainForm& f = Form();
    f.HelpFolder = QString::fromStdString(gFolders.docs);
    // The 300 ms spin timer ticks when the sequence says so, so that a
    // seed repeats the same run whatever the speed of the build.
    f.Timer->stop();
    for (QLineEdit* field : f.ParameterFields) field->installEventFilter(&watch_);
    watch_.monkey = this;
    f.show();
    f.activateWindow();
    (void)QTest::qWaitForWindowActive(&f);
    feeder_.setInterval(0);
    QObject::connect(&feeder_, &QTimer::timeout, [this] { Feed(); });
}

Monkey::~Monkey() {
    feeder_.stop();
    program_.reset();
}

std::string Monkey::Run() {
    if (!outside_.Watching()) return "no folder outside could be watched";
    Require(messages_.empty(), "the start-up showed a message");
    RequireNoneEscaped();
    const std::size_t descriptors = OpenDescriptors();
    feeder_.start();
    while (done_ < target_ && failure_.empty()) {
        inRun_ = false;
        Act(false);
        RequireNoneEscaped();
        if (failure_.empty()) CheckIdle();
        if (done_ >= nextPool_) {  // saves overwrite the pool's documents now and then
            WritePool(rng_);
            nextPool_ += 1000;
        }
    }
    feeder_.stop();
    if (failure_.empty()) {
        // Every file is closed within its command.
        const std::size_t now = OpenDescriptors();
        Require(now <= descriptors + 8, "files were left open: " + std::to_string(descriptors) +
                                            " descriptors at the start, " + std::to_string(now) + " at the end");
    }
    return failure_;
}

std::string Monkey::Summary() const {
    int file = 0, arithmetic = 0, questions = 0;
    for (const Box& m : messages_) {
        file += IsFileText(m.text);
        arithmetic += IsArithmeticText(m.text);
        questions += m.box == 'Q';
    }
    std::ostringstream out;
    out << "seed " << seed_ << ": " << done_ << " actions, " << betweenSteps_ << " of them between the steps of "
        << runs_ << " runs (" << steps_ << " steps); " << dialogSessions_ << " edit dialog sessions; "
        << messages_.size() << " boxes (" << file << " file, " << arithmetic << " arithmetic, " << questions
        << " questions, " << messages_.size() - file - arithmetic - questions << " other); " << opened_
        << " documents opened, " << saved_ << " saved";
    return out.str();
}

std::optional<QString> Monkey::OpenFileName(QWidget*, const QString& filter, const QString& ext) {
    return Answer(filter, ext);
}

std::optional<QString> Monkey::SaveFileName(QWidget*, const QString& filter, const QString& ext) {
    return Answer(filter, ext);
}

void Monkey::Information(QWidget*, const QString& text) {
    const std::string t = text.toStdString();
    bool known = t == kStartFileMissing;
    for (const char* file : {"/HlpArtRu.hlp", "/HlpArtPl.hlp"})
        for (const char* end : {" was not found.", " could not be opened."})
            known = known || t == "The help file " + gFolders.docs + file + end;
    Record('I', t, known);
}

bool Monkey::Confirm(QWidget*, const QString& text) {
    const std::string t = text.toStdString();
    if (!opening_.empty() && t == OpenQuestionFor(opening_)) {
        Record('Q', t, true);
        return true;
    }
    const bool replace = !writing_.empty() && t == ReplaceQuestionFor(Where(writing_));
    Record('Q', t, text == QLatin1String(kSaveQuestion) || replace);
    const bool yes = Chance(60);
    if (replace)
        replaceRefused_ = !yes;
    else if (yes)
        commentary_ = {CommentaryName(Data().DocumentName()), Form().CommentText()};
    return yes;
}

void Monkey::Failure(QWidget*, const QString& text) {
    const std::string t = text.toStdString();
    // The failure being handled must be one of the program's own.
    if (std::exception_ptr e = std::current_exception()) {
        try {
            std::rethrow_exception(e);
        } catch (const common::AppError&) {
        } catch (const std::exception& other) {
            Require(false, std::string("an unexpected exception reached the failure handler: ") + other.what());
        } catch (...) {
            Require(false, "an exception of no standard type reached the failure handler");
        }
    }
    const bool negative =
        NumberBetween(t, "The gravon number -", " is negative; gravons are numbered from 1 to 100.");
    Record('F', t, IsFileText(t) || IsArithmeticText(t) || NamesAText(t) || negative);
}

int Monkey::ExecModal(QDialog& dialog) {
    if (program_ && &dialog == program_->EditDlg.get()) return EditSession();
    if (program_ && &dialog == program_->AboutBox.get()) {
        Note("About box");
        dialog.show();
        if (Chance(50))
            QTest::mouseClick(program_->AboutBox->OKButton, Qt::LeftButton);
        else
            dialog.reject();
        Require(!dialog.isVisible(), "the About box stayed open");
        EnsureActive();
        return dialog.result();
    }
    Require(false, "an unknown modal dialog: " + dialog.windowTitle().toStdString());
    return QDialog::Rejected;
}

std::string Monkey::Log() const {
    std::ostringstream out;
    QWidget* active = QApplication::activeWindow();
    QWidget* focus = QApplication::focusWidget();
    out << "seed " << seed_ << " (repeat with SPHAERON_MONKEY_SEED=" << seed_ << "), action " << done_
        << " (active window '" << (active ? active->windowTitle().toStdString() : "none") << "', focus on "
        << (focus ? focus->metaObject()->className() : "nothing") << "); the last actions:";
    for (const std::string& a : recent_) out << "\n  " << a;
    return out.str();
}

void Monkey::Require(bool ok, const std::string& what) {
    if (!ok && failure_.empty()) failure_ = what + "\n" + Log();
}

void Monkey::RequireNoneEscaped() {
    for (const QString& text : Escaped().Texts)
        Require(false, "a failure escaped its handler: '" + text.toStdString() + "'");
    Escaped().Texts.clear();
}

void Monkey::Note(const std::string& action) {
    const char* where = Dlg().isVisible() ? " dialog: " : State().Stopped ? " idle: " : " running: ";
    recent_.push_back(std::to_string(done_) + where + action);
    if (recent_.size() > 30) recent_.pop_front();
}

void Monkey::Record(char box, const std::string& text, bool known) {
    messages_.push_back({box, text});
    recent_.push_back(std::string("    box '") + text + "'");
    if (recent_.size() > 30) recent_.pop_front();
    Require(known, "not one of the system's texts: '" + text + "'");
}

std::optional<QString> Monkey::Answer(const QString& filter, const QString& ext) {
    ++asked_;
    Require((filter == QLatin1String(kDocumentFilter) || filter == QLatin1String(kDocumentOrRunFilter)) &&
                ext == QLatin1String(kDocumentExtension),
            "a file dialog with another filter");
    if (answers_.empty()) return std::nullopt;
    FileChoice c = answers_.front();
    answers_.pop_front();
    if (c.kind == Kind::Cancel) return std::nullopt;
    return QString::fromStdString(c.path);
}

bool Monkey::NamesAText(const std::string& t) {
    if (t.rfind('\'', 0) != 0) return false;
    std::vector<QString> texts = {QString()};  // the cells beyond the grid's last row
    for (QLineEdit* e : Form().findChildren<QLineEdit*>()) texts.push_back(e->text());
    for (QLineEdit* e : Dlg().findChildren<QLineEdit*>()) texts.push_back(e->text());
    texts.push_back(Dlg().NumberOfTaon->text());
    for (int row = 0; row < Dlg().Grid->RowCount(); ++row)
        for (int col = 0; col < Dlg().Grid->ColCount(); ++col) texts.push_back(Dlg().Grid->Cell(col, row));
    for (const QString& q : texts) {
        const std::string s = q.toStdString();
        if (t == common::InvalidRealText(s) || t == common::InvalidIntText(s)) return true;
    }
    return false;
}

void Monkey::Left(QObject* field) {
    for (int i = 0; i < kParameterCount; ++i) {
        QLineEdit* edit = Form().ParameterFields[static_cast<std::size_t>(i)];
        if (field != edit) continue;
        try {
            paramLeft_[static_cast<std::size_t>(i)] = common::ParseReal(edit->text().toStdString(), TMainForm::Separator());
        } catch (const common::ConvertError& e) {
            paramBadText_.push_back(e.what());
        }
    }
}

void Monkey::Feed() {
    if (State().Stopped || feeding_) return;
    feeding_ = true;
    const bool first = !inRun_;
    if (first) {
        ++runs_;
        stepsLeft_ = 1 + static_cast<int>(Pick(6));
    }
    // The zero timer may fire more than once in one dispatch: a step
    // happened when the count moved since the last visit.
    const bool stepped = first || State().StepCount != stepCountSeen_;
    inRun_ = true;
    ++betweenSteps_;
    steps_ += stepped;
    CheckBetweenSteps(stepped);
    if (done_ >= target_ || !failure_.empty() || --stepsLeft_ <= 0) {
        Note("Stop");
        if (Chance(50))
            QTest::mouseClick(Form().Go, Qt::LeftButton);
        else
            Form().Go->click();
        Require(State().Stopped, "Stop did not stop the run");
    } else {
        Act(true);
        if (!State().Stopped && failure_.empty()) CheckRunningLook();
    }
    stepCountSeen_ = State().StepCount;
    feeding_ = false;
}

void Monkey::Act(bool running) {
    ++done_;
    TMainForm& f = Form();
    if (!running && !f.isVisible()) {  // after "Exit": the window again
        Note("show the window again");
        f.show();
    }
    if (!running) EnsureActive();
    firstMessage_ = messages_.size();
    before_ = State();
    paramLeft_.fill(std::nullopt);
    paramBadText_.clear();
    commentary_.reset();
    writing_.clear();
    replaceRefused_ = false;

    try {
        const unsigned what = Pick(100);
        if (what < 16) {
            TypeIntoField();
        } else if (what < 21) {
            MoveFocus();
        } else if (what < 24) {
            TypeIntoMemo();
        } else if (what < 34) {
            GoButton();
        } else if (what < 45) {
            ViewCommand();
        } else if (what < 48) {
            TimelineMove();
        } else if (what < 54) {
            Switch();
        } else if (what < 57) {
            DoubleClick();
        } else if (what < 64) {
            NewCommand();
        } else if (what < 72) {
            OpenCommand();
        } else if (what < 77) {
            SaveCommand();
        } else if (what < 83) {
            SaveAsCommand();
        } else if (what < 87) {
            NullCommand();
        } else if (what < 92) {
            TaonsOrSpiral();
        } else if (what < 95) {
            HelpCommand();
        } else if (what < 98) {
            PaintOrResize();
        } else {
            ExitCommand();
        }
    } catch (const std::exception& e) {
        Require(false, std::string("an exception escaped: ") + e.what());
    }

    // Leaving a parameter field: its number is the parameter, or its text
    // was shown.
    for (const std::string& t : paramBadText_)
        Require(Shows(t), "leaving a parameter field with a bad text did not show '" + t + "'");
    if (commentary_ && NoFileMessageSince(firstMessage_)) {
        std::vector<unsigned char> bytes = FileBytes(commentary_->first);
        Require(std::string(bytes.begin(), bytes.end()) == commentary_->second,
                "the commentary written is not the memo's text");
    }
    for (const std::string& w : outside_.Drain()) Require(false, "written outside the test's folder: " + w);
}

TaonState Monkey::Unchanged() const {
    TaonState s = before_;
    for (int i = 0; i < kParameterCount; ++i)
        if (const auto& v = paramLeft_[static_cast<std::size_t>(i)]) *ParameterField(s, i) = *v;
    return s;
}

std::string Monkey::CoreImage(TaonState s) {
    for (int k = 1; k <= kMaxTaons; ++k) s.ViewX[k] = s.ViewY[k] = s.ViewZ[k] = 0;
    return StateImage(s);
}

bool Monkey::Shows(const std::string& text) const {
    for (std::size_t i = firstMessage_; i < messages_.size(); ++i)
        if (messages_[i].text == text) return true;
    return false;
}

bool Monkey::NoFileMessageSince(std::size_t first) const {
    for (std::size_t i = first; i < messages_.size(); ++i)
        if (IsFileText(messages_[i].text)) return false;
    return true;
}

std::vector<std::string> Monkey::FileMessagesSince(std::size_t first) {
    std::vector<std::string> files;
    for (std::size_t i = first; i < messages_.size(); ++i) {
        const Box& m = messages_[i];
        if (IsFileText(m.text))
            files.push_back(m.text);
        else
            Require(m.box != 'F' || IsArithmeticText(m.text) || m.text.rfind('\'', 0) == 0,
                    "a file command showed '" + m.text + "'");
    }
    return files;
}

void Monkey::RequireOnlyIncidentalMessages(const std::string& what) {
    for (std::size_t i = firstMessage_; i < messages_.size(); ++i) {
        const Box& m = messages_[i];
        Require(m.box == 'Q' || IsArithmeticText(m.text) || m.text.rfind('\'', 0) == 0,
                what + " showed '" + m.text + "'");
    }
}

QString Monkey::Shown(long double v) {
    return QString::fromStdString(common::FormatReal(v, TMainForm::Separator()));
}

void Monkey::EnsureActive() {
    TMainForm& f = Form();
    if (QApplication::activeWindow() == &f || !f.isVisible()) return;
    f.activateWindow();
    QApplication::setActiveWindow(&f);
    (void)QTest::qWaitForWindowActive(&f, 1000);
}

void Monkey::Key(QWidget* target, Qt::Key key, Qt::KeyboardModifiers mods) {
    EnsureActive();
    QTest::keyClick(target, key, mods);
}

void Monkey::CheckCopies(const std::string& when) {
    std::set<int> differ;
    for (int k : WorkingCopyDiffers(State())) differ.insert(k);
    for (auto it = dirty_.begin(); it != dirty_.end();) it = differ.count(*it) ? std::next(it) : dirty_.erase(it);
    for (int k : differ)
        Require(dirty_.count(k) != 0, when + ": the working copy differs from the committed one in slot " +
                                          std::to_string(k));
}

void Monkey::CheckIdle() {
    TMainForm& f = Form();
    Require(State().Stopped, "idle, but Stopped is false");
    if (f.isVisible())
        Require(f.Go->text() == "Go" && f.ShapeLime->BrushColor() == QColor(0, 255, 0) &&
                    f.ShapeRed->BrushColor() == QColor(128, 0, 0) && f.Images->menuAction()->isEnabled(),
                "idle, but the window does not look idle");
    Require(f.Go->isEnabled() == !State().SpiralMode, "Go is enabled in the spiral or disabled with taons");
    Require(!Dlg().isVisible(), "the edit dialog is open while idle");
    CheckCopies("idle");
}

void Monkey::CheckRunningLook() {
    TMainForm& f = Form();
    Require(f.Go->text() == "Stop" && f.ShapeLime->BrushColor() == QColor(0, 128, 0) &&
                f.ShapeRed->BrushColor() == QColor(255, 0, 0) && !f.Images->menuAction()->isEnabled() &&
                !f.Daons1->isEnabled() && !f.Spiral1->isEnabled() && !f.Null00->isEnabled(),
            "running, but the window does not look it");
}

void Monkey::CheckBetweenSteps(bool stepped) {
    CheckRunningLook();
    if (stepped && State().TimeDisplayOn)
        Require(Form().LTime->text() == QString::number(State().StepCount),
                "the time display " + Form().LTime->text().toStdString() + " is not the step count " +
                    std::to_string(State().StepCount));
    CheckCopies("between steps");
}

namespace {

unsigned EnvNumber(const char* name, unsigned fallback) {
    const char* v = std::getenv(name);
    return v && *v ? static_cast<unsigned>(std::strtoul(v, nullptr, 10)) : fallback;
}

TEST(SphaeronMonkey, RandomUserActions) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const unsigned seed = EnvNumber("SPHAERON_MONKEY_SEED", 20250611);
    const int actions = static_cast<int>(EnvNumber("SPHAERON_MONKEY_ACTIONS", 10000));
    std::string failure, summary;
    int done = 0;
    {
        Monkey monkey(seed, actions);
        failure = monkey.Run();
        done = monkey.Done();
        summary = monkey.Summary();
    }
    if (!failure.empty()) ADD_FAILURE() << failure;
    EXPECT_GE(done, actions);
    std::printf("%s\n", summary.c_str());
    RecordProperty("seed", static_cast<int>(seed));
    QLocale::setDefault(QLocale::c());
}

}  // namespace

}  // namespace sphaeron::forms::testing::monkey
