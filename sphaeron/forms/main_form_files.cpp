#include "sphaeron/forms/main_form.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QStringDecoder>

#include "common/numtext.h"
#include "sphaeron/forms/about_box.h"
#include "sphaeron/forms/dialogs.h"
#include "sphaeron/forms/edit_dlg.h"
#include "sphaeron/view/view.h"

// The main window's file and help commands, the velocity reset's save, the
// "Taons" command, the time step field and the commentary memo. The work is
// the session's; the handlers ask, pass the answers on and show the outcome.
namespace sphaeron::forms {

namespace {

const char* const kSaveQuestion = "The text was changed. Save now?";
const char* const kStartFileMissingText = "The start File not found.";

}  // namespace

std::optional<std::string> AskDocumentToOpen(common::qt::Dialogs& dialogs, QWidget* parent) {
    std::optional<QString> chosen = dialogs.OpenFileName(parent, QString::fromLatin1(kDocumentFilter),
                                                         QString::fromLatin1(kDocumentExtension));
    if (!chosen) return std::nullopt;
    return common::qt::FilePath(*chosen);
}

std::optional<std::string> AskDocumentToSave(common::qt::Dialogs& dialogs, QWidget* parent) {
    std::optional<QString> chosen = dialogs.SaveFileName(parent, QString::fromLatin1(kDocumentFilter),
                                                         QString::fromLatin1(kDocumentExtension));
    if (!chosen) return std::nullopt;
    std::string path = common::qt::FilePath(*chosen);
    if (!MayReplace(dialogs, parent, path)) return std::nullopt;
    return path;
}

bool MayReplace(common::qt::Dialogs& dialogs, QWidget* parent, const std::string& path) {
    std::optional<std::string> question = ReplaceQuestion(path);
    return !question || dialogs.Confirm(parent, QString::fromStdString(*question));
}

// ---------------------------------------------------------------------------
// Documents

void TMainForm::ShowDocumentName() { FName->setText(common::qt::DisplayPath(session_.DocumentName())); }

void TMainForm::FillParameterFields() {
    ShowParameterTexts();
    PlotsRefresh();
}

void TMainForm::ShowParameterTexts() {
    const auto texts = session_.ParameterTexts(Separator());
    for (std::size_t i = 0; i < texts.size(); ++i) ParameterFields[i]->setText(QString::fromLatin1(texts[i]));
}

void TMainForm::New1Click() {
    if (!EditDlg) return;
    if (dialogs_.ExecModal(*EditDlg) != QDialog::Accepted) return;
    session_.AdoptNewTaons();
    Go->setEnabled(true);
    // During a run the velocity reset stays off until Stop.
    Null00->setEnabled(State().Stopped);
    ShowDocumentName();
    LTime->setText(QStringLiteral("0"));
    ShowTimeline();
    FillListing();
    FillParameterFields();
    DrawTaonScene();
}

void TMainForm::Open1Click() {
    std::optional<QString> chosen = dialogs_.OpenFileName(this, QString::fromLatin1(kDocumentOrRunFilter),
                                                          QString::fromLatin1(kDocumentExtension));
    if (chosen) OpenDocument(common::qt::FilePath(*chosen));
}

void TMainForm::OpenDocument(const std::string& path) {
    if (IsRunPath(path)) {
        OpenRun(path);
        return;
    }
    // A file that is neither a record nor the JSON form is read only when
    // the user says so (No is the default).
    if (std::optional<std::string> question = OpenQuestion(path))
        if (!dialogs_.ConfirmDefaultNo(this, QString::fromStdString(*question))) return;
    // All or nothing: the session changes nothing unless the record is read
    // and the start file written.
    std::optional<std::string> commentary = session_.OpenDocument(path);
    Go->setEnabled(true);
    Null00->setEnabled(State().Stopped);
    LTime->setText(QStringLiteral("0"));
    ShowTimeline();  // the session started it afresh
    FillListing();
    FillParameterFields();
    if (commentary) SetCommentText(*commentary);
    DrawTaonScene();
}

void TMainForm::Save1Click() {
    // A run's state has no document yet: Save asks for its name.
    if (session_.NameFromRun()) {
        SaveAs1Click();
        return;
    }
    if (!State().SpiralMode && MayReplace(dialogs_, this, session_.DocumentName())) session_.SaveDocument();
}

void TMainForm::SaveAs1Click() {
    if (State().SpiralMode) return;
    if (std::optional<std::string> path = AskDocumentToSave(dialogs_, this)) session_.SaveDocumentAs(*path);
}

void TMainForm::Null00Click() {
    if (!session_.NullVelocities()) return;
    ShowNull00(QStringLiteral("Yes Null"));
    FillListing();
    // Cancelled: the velocities stay zero in memory.
    if (std::optional<std::string> path = AskDocumentToSave(dialogs_, this)) session_.SaveDocumentAs(*path);
}

void TMainForm::Daons1Click() {
    Go->setEnabled(true);
    Null00->setEnabled(true);
    switch (session_.ShowTaons()) {
        case RememberedDocument::NoStartFile:
            dialogs_.Information(this, QString::fromLatin1(kStartFileMissingText));
            break;
        case RememberedDocument::NoneRemembered:
            FillListing();
            DrawTaonScene();
            break;
        case RememberedDocument::Unreadable:
            break;
        case RememberedDocument::Loaded:
            // The field shows the time step in force.
            EditDT->setText(QString::fromLatin1(common::FormatReal(State().DT, Separator())));
            DrawTaonScene();
            FillListing();
            break;
    }
    ShowTimeline();
}

void TMainForm::Exit1Click() { close(); }

// ---------------------------------------------------------------------------
// Help

void TMainForm::EnglishHelp1Click() {}

void TMainForm::RussianHelp1Click() {
    HelpFile = QStringLiteral("HlpArtRu.hlp");
    ShowHelpContents();
}

void TMainForm::PolandHelp1Click() {
    HelpFile = QStringLiteral("HlpArtPl.hlp");
    ShowHelpContents();
}

void TMainForm::ShowHelpContents() {
    QString path = QDir(HelpFolder).filePath(HelpFile);
    QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo(path).isFile()) {
        dialogs_.Information(this, QStringLiteral("The help file %1 was not found.").arg(shown));
        return;
    }
    if (!dialogs_.OpenHelpFile(path))
        dialogs_.Information(this, QStringLiteral("The help file %1 could not be opened.").arg(shown));
}

void TMainForm::About1Click() {
    if (AboutBox) dialogs_.ExecModal(*AboutBox);
}

// ---------------------------------------------------------------------------
// Fields and memo

void TMainForm::EditDTExit() { session_.ReadParameter(0, EditDT->text().toStdString(), Separator()); }

void TMainForm::GroupFieldExit(int index) {
    session_.ReadParameter(index, ParameterFields[static_cast<std::size_t>(index)]->text().toStdString(), Separator());
}

void TMainForm::CommentChange() { session_.MarkCommentModified(); }

void TMainForm::CommentExit() {
    if (!session_.TakeCommentChange()) return;
    if (dialogs_.Confirm(this, QString::fromLatin1(kSaveQuestion))) session_.SaveComment(CommentText());
}

std::string TMainForm::CommentText() const {
    // Lines separated by CR LF, no line end after the last; one byte per
    // character where the text allows it, UTF-8 otherwise.
    QString text = Comment->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    bool eightBit = true;
    for (QChar c : text)
        if (c.unicode() > 0xFF) {
            eightBit = false;
            break;
        }
    QByteArray bytes = eightBit ? text.toLatin1() : text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void TMainForm::SetCommentText(const std::string& bytes) {
    QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(raw);
    if (utf8.hasError()) text = QString::fromLatin1(raw);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // Replacing the text counts as a change only when it differs.
    if (text != Comment->toPlainText()) Comment->setPlainText(text);
}

}  // namespace sphaeron::forms

