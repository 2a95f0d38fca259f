// The monkey's file commands: the pool of documents and names the scripted
// dialogs answer with, Open, Save, Save As, the velocity reset's save and
// the "Taons" and "Spiral" commands.
#include "monkey.h"

namespace sphaeron::forms::testing::monkey {

namespace {

std::string LongName() { return gFolders.docs + "/monkey" + std::string(300, 'n') + ".ato"; }

}  // namespace

std::string SaveText(Kind k) {
    switch (k) {
        case Kind::ReadOnlyFile:
        case Kind::ReadOnlyFolder:
        case Kind::Folder: return "File access denied";
        case Kind::Missing: return "File not found";
        case Kind::LongName: return "Invalid filename";
        default: return "";
    }
}
std::string OpenText(Kind k) {
    switch (k) {
        case Kind::Short: return "Read beyond end of file";
        case Kind::Folder: return "File access denied";
        case Kind::Missing: return "File not found";
        case Kind::LongName: return "Invalid filename";
        default: return "";
    }
}

namespace {

TaonState LatticeState(int count) {
    TaonState s = SquareState(0.005L);
    for (int k = 1; k <= count; ++k) {
        s.GravonPresent[k] = 1;
        s.X[k] = s.NewX[k] = s.ViewX[k] = 0.9L * ((k - 1) % 4) - 1.2L;
        s.Y[k] = s.NewY[k] = s.ViewY[k] = 0.9L * ((k - 1) / 4 % 4) - 1.2L;
        s.Z[k] = s.NewZ[k] = s.ViewZ[k] = 0.9L * ((k - 1) / 16) - 1.2L;
    }
    return s;
}

}  // namespace

// (Re)writes the documents of the pool; saves overwrite some of them.
void WritePool(std::mt19937& rng) {
    const std::string& d = gFolders.docs;
    std::error_code ec;
    fs::permissions(d + "/readonly.ato", fs::perms::owner_read | fs::perms::owner_write, ec);
    WriteState(d + "/square.ato", SquareState(0.01L));
    WriteState(d + "/lattice.ato", LatticeState(40));
    {
        auto bytes = WriteState(d + "/long.ato", SquareState(0.02L));
        bytes.insert(bytes.end(), 77, '+');
        WriteBytes(d + "/long.ato", std::string(bytes.begin(), bytes.end()));
    }
    {
        auto bytes = WriteState(d + "/pad.ato", SquareState(0.01L));
        bytes[190] = 0xAB;
        bytes[6295] = 0xCD;
        bytes[kPresentOffset + 6] = 2;  // present, and kept as 2
        WriteBytes(d + "/pad.ato", std::string(bytes.begin(), bytes.end()));
    }
    TaonState e = SquareState(0.01L);
    e.X[2] = e.NewX[2] = e.ViewX[2] = L::quiet_NaN();
    WriteState(d + "/nan.ato", e);
    e = SquareState(0.01L);
    e.Uz[3] = e.NewUz[3] = L::infinity();
    e.B2 = -L::infinity();
    WriteState(d + "/inf.ato", e);
    e = SquareState(0.01L);
    e.DT = LDBL_MAX;
    e.Ux[1] = e.NewUx[1] = -LDBL_MAX;
    WriteState(d + "/largest.ato", e);
    e = SquareState(0.01L);
    e.X[4] = e.NewX[4] = e.ViewX[4] = L::denorm_min();
    e.G1 = LDBL_MIN;
    WriteState(d + "/denormal.ato", e);
    e = SquareState(0.01L);
    e.C1 = 0;  // division by zero at the first step
    WriteState(d + "/zero-c1.ato", e);
    WriteBytes(d + "/zero.ato", std::string(kDocumentSize, '\0'));
    std::string random(kDocumentSize, '\0');
    for (char& c : random) c = static_cast<char>(rng());
    WriteBytes(d + "/random.ato", random);
    WriteState(d + "/readonly.ato", LatticeState(6));
    ::chmod((d + "/readonly.ato").c_str(), 0444);
}

std::vector<FileChoice> MakeOpenChoices(std::mt19937& rng) {
    const std::string& d = gFolders.docs;
    WritePool(rng);
    WriteBytes(d + "/short.ato", std::string(kDocumentSize - 1, '\x01'));
    WriteBytes(d + "/empty.ato", "");
    fs::create_directories(d + "/folder.ato");
    return {
        {d + "/square.ato", Kind::Good},   {d + "/lattice.ato", Kind::Good},  {d + "/long.ato", Kind::Good},
        {d + "/pad.ato", Kind::Good},      {d + "/nan.ato", Kind::Good},      {d + "/inf.ato", Kind::Good},
        {d + "/largest.ato", Kind::Good},  {d + "/denormal.ato", Kind::Good}, {d + "/zero-c1.ato", Kind::Good},
        {d + "/zero.ato", Kind::Good},     {d + "/random.ato", Kind::Good},   {d + "/readonly.ato", Kind::Good},
        {d + "/short.ato", Kind::Short},   {d + "/empty.ato", Kind::Short},   {d + "/folder.ato", Kind::Folder},
        {d + "/none.ato", Kind::Missing},  {d + "/no/doc.ato", Kind::Missing}, {LongName(), Kind::LongName},
        {"", Kind::Cancel},
    };
}

namespace {

std::string NotADocumentQuestion(const std::string& path, const std::string& question) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return "";
    const std::uintmax_t size = fs::file_size(path, ec);
    if (size == kDocumentSize || (question != "Replace it?" && size < kDocumentSize)) return "";
    std::string grouped = std::to_string(size);
    for (std::size_t i = grouped.size(); i > 3; i -= 3) grouped.insert(i - 3, ",");
    return "'" + fs::path(path).filename().string() + "' is " + grouped + (size == 1 ? " byte" : " bytes") +
           " long and is not a Sphaeron document. " + question;
}

}  // namespace

std::string ReplaceQuestionFor(const std::string& path) { return NotADocumentQuestion(path, "Replace it?"); }

std::string OpenQuestionFor(const std::string& path) {
    return NotADocumentQuestion(path, "Open its first 6296 bytes anyway?");
}

std::vector<FileChoice> MakeSaveChoices() {
    const std::string& d = gFolders.docs;
    fs::create_directories(d + "/locked");
    WriteBytes(d + "/locked/doc.ato", std::string(kDocumentSize, 'l'));
    ::chmod((d + "/locked").c_str(), 0555);
    return {
        {d + "/out1.ato", Kind::Good},           {d + "/out2.ato", Kind::Good},
        {"rel.ato", Kind::Relative},             {d + "/readonly.ato", Kind::ReadOnlyFile},
        {d + "/locked/doc.ato", Kind::ReadOnlyFolder}, {d + "/locked/new.ato", Kind::ReadOnlyFolder},
        {d + "/folder.ato", Kind::Folder},       {d + "/no/doc.ato", Kind::Missing},
        {LongName(), Kind::LongName},            {"", Kind::Cancel},
    };
}

void Monkey::RequireUnchangedLook(const WindowLook& before, const std::string& what) {
    WindowLook now = LookOf(Form());
    WindowLook expect = before;
    expect.state = StateImage(Unchanged());
    if (Data().Controls().SpinOn || messages_.size() != firstMessage_) expect.picture = now.picture;
    Require(now == expect, what + " changed something: " + now.Difference(expect));
}

void Monkey::OpenCommand() {
    TMainForm& f = Form();
    FileChoice c = openChoices_[Pick(static_cast<unsigned>(openChoices_.size()))];
    if (Chance(20)) {  // now and then a document this run saved
        for (const char* name : {"/out1.ato", "/out2.ato"})
            if (fs::is_regular_file(gFolders.docs + name)) c = {gFolders.docs + name, Kind::Good};
        if (fs::is_regular_file(gFolders.cwd + "/rel.ato") && Chance(50)) c = {"rel.ato", Kind::Good};
    }
    const bool byKey = Chance(50);
    Note(std::string(byKey ? "F3 " : "Open ") + (c.kind == Kind::Cancel ? "(cancel)" : c.path.substr(0, 70)));
    const WindowLook before = LookOf(f);
    std::vector<unsigned char> bytes;
    if (c.kind == Kind::Good) bytes = FileBytes(c.path);
    answers_ = {c};
    opening_ = c.path;  // a file that is no document brings a question, answered Yes
    const int asked = asked_;
    if (byKey)
        Key(&f, Qt::Key_F3);
    else
        f.Open1->trigger();
    Require(asked_ == asked + 1, "Open did not ask for a file");
    answers_.clear();
    opening_.clear();
    const std::vector<std::string> files = FileMessagesSince(firstMessage_);
    if (c.kind != Kind::Good) {
        std::vector<std::string> expected;
        if (c.kind != Kind::Cancel) expected.push_back(OpenText(c.kind));
        Require(files == expected, "Open of a bad file or a cancel: not its text");
        RequireUnchangedLook(before, "a failed or cancelled Open");
        return;
    }
    Require(files.empty(), "Open of a good document showed a file text");
    TaonsDocument doc;
    Require(bytes.size() >= kDocumentSize, "a pool document is short");
    std::copy(bytes.begin(), bytes.begin() + kDocumentSize, doc.bytes.begin());
    TaonState expect = Unchanged();
    DistributeDocument(doc, expect);
    expect.SpiralMode = false;
    expect.StepCount = 0;
    Require(StateImage(State()) == StateImage(expect), "Open: the state is not the document");
    Require(Data().Document().bytes == doc.bytes, "Open: the record buffer is not the document");
    Require(Data().DocumentName() == c.path && f.FName->text() == QString::fromStdString(c.path) &&
                ReadStartFile() == c.path,
            "Open: the names are not the document's");
    Require(f.LTime->text() == "0" && f.Go->isEnabled(), "Open: step label or Go");
    Require(f.EditDT->text() == Shown(expect.DT), "Open: EditDT does not show the document's time step");
    ++opened_;
}

std::string Monkey::ReadStartFile() {
    std::vector<unsigned char> b = FileBytes(StartFilePath());
    return std::string(b.begin(), b.end());
}

std::string Monkey::Packed() {
    TaonsDocument d = Data().Document();
    PackDocument(State(), d);
    return std::string(d.bytes.begin(), d.bytes.end());
}

std::string Monkey::Contents(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return "<none>";
    std::vector<unsigned char> b = FileBytes(path);
    return std::string(b.begin(), b.end());
}

std::string Monkey::Where(const std::string& path) {
    return path.empty() || path[0] == '/' ? path : gFolders.cwd + "/" + path;
}

std::map<std::string, std::string> Monkey::Documents() {
    auto files = FolderListing(gFolders.docs);
    files.merge(FolderListing(gFolders.cwd));
    return files;
}

bool Monkey::DocumentsAsBefore(std::map<std::string, std::string> files, const std::string& written) {
    auto now = Documents();
    for (const std::string& name : {written, commentary_ ? Where(commentary_->first) : std::string()}) {
        if (name.empty()) continue;
        files.erase(name);
        now.erase(name);
    }
    return now == files;
}

bool Monkey::CheckWrite(const std::string& path, const std::string& text, const std::string& old, const std::map<std::string, std::string>& files, const std::string& what) {
    const std::vector<std::string> got = FileMessagesSince(firstMessage_);
    if (replaceRefused_) {
        Require(got.empty() && Contents(Where(path)) == old && DocumentsAsBefore(files), what + " answered No wrote");
        return false;
    }
    if (text.empty()) {
        Require(got.empty(), what + " to a good name showed a file text");
        Require(Contents(Where(path)) == std::string(Data().Document().bytes.begin(), Data().Document().bytes.end()),
                what + " did not write the record");
        Require(DocumentsAsBefore(files, Where(path)), what + " left another file behind");
        ++saved_;
        return true;
    }
    Require(got == std::vector<std::string>{text}, what + " to a bad name: not its text");
    Require(Contents(Where(path)) == old && DocumentsAsBefore(files), what + " that failed changed a file");
    return false;
}

std::string Monkey::SaveTextOf(const std::string& path) const {
    auto it = saveKind_.find(path);
    return it == saveKind_.end() ? "" : SaveText(it->second);
}

void Monkey::SaveCommand() {
    TMainForm& f = Form();
    const bool byKey = Chance(50);
    const std::string path = Data().DocumentName();
    Note(std::string(byKey ? "Ctrl+S" : "Save") + " to " + path.substr(0, 70));
    const WindowLook before = LookOf(f);
    const auto files = Documents();
    const std::string old = Contents(Where(path));
    const std::string packed = Packed();
    const bool spiral = State().SpiralMode;
    writing_ = path;
    if (byKey)
        Key(&f, Qt::Key_S, Qt::ControlModifier);
    else
        f.Save1->trigger();
    if (spiral) {
        Require(DocumentsAsBefore(files) && FileMessagesSince(firstMessage_).empty(), "Save in the spiral acted");
        RequireUnchangedLook(before, "Save in the spiral");
        return;
    }
    if (CheckWrite(path, SaveTextOf(path), old, files, "Save"))
        Require(Contents(Where(path)) == packed, "Save did not write the committed state");
    RequireUnchangedLook(before, "Save");
}

void Monkey::SaveWithDialog(bool nullVelocity) {
    TMainForm& f = Form();
    FileChoice c = saveChoices_[Pick(static_cast<unsigned>(saveChoices_.size()))];
    const std::string what = nullVelocity ? "velocity reset" : "Save As";
    Note(what + " " + (c.kind == Kind::Cancel ? std::string("(cancel)") : c.path.substr(0, 70)));
    const WindowLook before = LookOf(f);
    const auto files = Documents();
    const std::string old = Contents(Where(c.path));
    const bool acts = !State().SpiralMode && (!nullVelocity || State().Stopped);
    const int asked = asked_;
    answers_ = {c};
    if (c.kind != Kind::Cancel) writing_ = c.path;
    if (nullVelocity) {
        if (Chance(50))
            QTest::mouseClick(f.Null00, Qt::LeftButton);
        else
            f.Null00->click();
    } else {
        f.SaveAs1->trigger();
    }
    answers_.clear();
    if (!acts) {
        Require(asked_ == asked, what + " asked in the spiral or during a run");
        RequireUnchangedLook(before, what + " in the spiral or during a run");
        return;
    }
    Require(asked_ == asked + 1, what + " did not ask for a name");
    TaonState expect = Unchanged();
    if (nullVelocity) {
        ZeroVelocities(expect);
        Require(f.Null00->text() == "Yes Null", "the velocity reset's caption");
    }
    Require(StateImage(State()) == StateImage(expect), what + ": the state is not as it must be");
    if (c.kind == Kind::Cancel) {
        Require(DocumentsAsBefore(files) && FileMessagesSince(firstMessage_).empty(), what + " cancelled wrote");
        return;
    }
    if (CheckWrite(c.path, SaveText(c.kind), old, files, what)) {
        Require(Data().DocumentName() == c.path && Data().LastDocumentName() == c.path &&
                    f.FName->text() == QString::fromStdString(c.path) && ReadStartFile() == c.path,
                what + ": the names are not the new document's");
    } else {
        WindowLook expectLook = before;
        expectLook.state = StateImage(expect);
        WindowLook now = LookOf(f);
        expectLook.picture = now.picture;
        if (nullVelocity) expectLook.texts = now.texts;  // the listing may show the zeros
        Require(now == expectLook, what + " that failed changed something: " + now.Difference(expectLook));
    }
}

void Monkey::TaonsOrSpiral() {
    TMainForm& f = Form();
    const bool running = !State().Stopped;
    if (Chance(50)) {
        const bool byKey = Chance(50);
        Note(byKey ? "F5 (Taons)" : "Taons");
        const std::string remembered = ReadStartFile();
        if (byKey)
            Key(&f, Qt::Key_F5);
        else
            f.Daons1->trigger();
        if (running) {
            Require(CoreImage(State()) == CoreImage(Unchanged()), "Taons acted during a run");
            return;
        }
        Require(!State().SpiralMode && f.Go->isEnabled(), "Taons did not leave the spiral");
        if (remembered.empty()) {
            Require(Data().DocumentName() == kStableStructureTitle, "Taons without a document: the title");
        } else {
            Require(Data().DocumentName() == remembered, "Taons: not the remembered document");
            TaonState expect = Unchanged();
            TaonsDocument doc;
            ReadDocument(Where(remembered), doc);
            DistributeDocument(doc, expect);
            expect.SpiralMode = false;
            Require(StateImage(State()) == StateImage(expect), "Taons: the state is not the remembered document");
            Require(f.EditDT->text() == Shown(expect.DT), "Taons: EditDT does not show the time step");
        }
    } else {
        Note("Spiral");
        f.Spiral1->trigger();
        if (running) {
            Require(!State().SpiralMode, "Spiral acted during a run");
            return;
        }
        Require(State().SpiralMode && !f.Go->isEnabled() && !f.Null00->isEnabled(), "Spiral: mode and buttons");
        Require(CoreImage(State()) == CoreImage([&] {
                    TaonState s = Unchanged();
                    s.SpiralMode = true;
                    return s;
                }()),
                "Spiral changed the taons");
    }
    RequireOnlyIncidentalMessages("Taons or Spiral");
}

}  // namespace sphaeron::forms::testing::monkey
