// Start-up of the program in its variants: no start file, an empty one, a
// remembered document that is readable, missing or too short, and a start
// file that cannot be created.
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <filesystem>

#include "common/canvas.h"
#include "forms_test_support.h"
#include "tests/support/taon_helpers.h"
#include "sphaeron/document/document.h"
#include "sphaeron/view/view.h"

namespace sphaeron::forms::testing {
namespace {

using StartupTest = FormsTest;

long Count(const QImage& image, QRgb colour) {
    long n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

TEST_F(StartupTest, FirstStartCreatesAnEmptyStartFileAndShowsTheSpiral) {
    ASSERT_FALSE(StartFileExists());
    TMainForm& f = Start();
    EXPECT_TRUE(StartFileExists());
    EXPECT_EQ("", ReadStartFile());

    EXPECT_TRUE(State().SpiralMode);
    EXPECT_TRUE(State().Stopped);
    EXPECT_EQ(kMaxTaons, State().TaonCount);
    EXPECT_EQ("ThetraSpiral", Data().DocumentName());
    EXPECT_EQ(QStringLiteral("File Name"), f.FName->text());
    EXPECT_FALSE(f.Go->isEnabled());
    EXPECT_EQ(QStringLiteral("No Comment"), f.Comment->toPlainText());
    // No document: the time step in force is 0.001 and the field says so.
    EXPECT_EQ(0.001L, State().DT);
    EXPECT_EQ(QStringLiteral("0,001"), f.EditDT->text());
    EXPECT_EQ(QStringLiteral("0"), f.EditA1->text());
    EXPECT_EQ(3.0L, Data().Controls().ZoomStep);
    EXPECT_EQ(0.01L, Data().Controls().AngleStep);
    EXPECT_EQ(120.0L, Data().View().ViewScale);
    EXPECT_EQ(362, Data().View().CenterX);  // Round(725 / 2), the half to the even neighbour
    EXPECT_TRUE(dialogs.Failures.empty());

    // The picture is the spiral: white spine and red edges on black.
    f.show();
    const QImage& image = f.BackBuffer;
    EXPECT_EQ(725, image.width());
    EXPECT_EQ(f.PanTop(), image.height());
    EXPECT_GT(Count(image, 0xFFFFFF), 50);
    EXPECT_GT(Count(image, 0xFF0000), 300);
    EXPECT_EQ(0, Count(image, 0x00FF00));
    // Pixel for pixel the picture the view code draws on a 725 x 289 area
    // (as the picture exports do).
    TaonState s;
    s.SpiralMode = true;
    ViewState v;
    StartView(v, 725, 289);
    BuildStartStructure(s, v);
    common::MemoryCanvas expect(725, 289);
    DrawFigureScene(s, v, expect);
    long differ = 0;
    for (int y = 0; y < 289; ++y)
        for (int x = 0; x < 725; ++x) differ += expect.Pixel(x, y) != (image.pixel(x, y) & 0xFFFFFF);
    EXPECT_EQ(0, differ);

    // Save and Save As are inert in the spiral (no dialog is asked for).
    f.Save1Click();
    f.SaveAs1Click();
    EXPECT_FALSE(std::filesystem::exists(Path("ThetraSpiral")));
}

TEST_F(StartupTest, EmptyStartFileShowsTheSpiral) {
    WriteStartFile("");
    TMainForm& f = Start();
    EXPECT_TRUE(State().SpiralMode);
    EXPECT_EQ("ThetraSpiral", Data().DocumentName());
    EXPECT_FALSE(f.Go->isEnabled());
    EXPECT_EQ("", ReadStartFile());
}

TEST_F(StartupTest, RememberedDocumentKeepsItsTimeStepAndCommentary) {
    TaonState doc = SquareState(0.01L);
    WriteState(Path("ring.ato"), doc);
    WriteBytes(Path("ring.txt"), "first line\r\nsecond line");
    WriteStartFile(Path("ring.ato") + "\r\nmore text");

    TMainForm& f = Start();
    EXPECT_FALSE(State().SpiralMode);
    EXPECT_TRUE(f.Go->isEnabled());
    EXPECT_EQ(Path("ring.ato"), Data().DocumentName());
    EXPECT_EQ(Path("ring.ato"), Data().LastDocumentName());
    EXPECT_EQ(QPath("ring.ato"), f.FName->text());
    // The field and the value in force agree: the document's time step.
    EXPECT_EQ(QStringLiteral("0,01"), f.EditDT->text());
    EXPECT_TRUE(SameBits(0.01L, State().DT));
    EXPECT_EQ(QStringLiteral("2,718"), f.EditB1->text());
    EXPECT_EQ(QStringLiteral("30"), f.EditG3->text());
    EXPECT_EQ(QStringLiteral("0,212"), f.Listing->Cell(1, 1));
    EXPECT_EQ(QStringLiteral("-0,212"), f.Listing->Cell(3, 1));
    EXPECT_EQ(QStringLiteral(""), f.Listing->Cell(1, 5));
    EXPECT_EQ(QStringLiteral("first line\nsecond line"), f.Comment->toPlainText());
    EXPECT_TRUE(Data().CommentModified());  // the loaded text replaced "No Comment"

    // A run started at once steps with the document's time step.
    TaonState expect = State();
    testsupport::StepOnce(expect, {});
    AtPass(f, 1, [&] { f.Go->click(); });
    f.GoClick();
    EXPECT_EQ(1, State().StepCount);
    for (int k = 1; k <= 4; ++k) EXPECT_TRUE(SameBits(expect.X[k], State().X[k])) << k;
}

TEST_F(StartupTest, MissingRememberedDocumentFallsBackToTheEasySquare) {
    WriteStartFile(Path("gone.ato"));
    TMainForm& f = Start();
    EXPECT_FALSE(State().SpiralMode);
    EXPECT_TRUE(f.Go->isEnabled());
    EXPECT_EQ(QStringLiteral("The easy square"), f.FName->text());
    EXPECT_EQ(Path("gone.ato"), Data().DocumentName());
    EXPECT_TRUE(dialogs.Failures.empty());
    EXPECT_EQ(0.001L, State().DT);
    EXPECT_EQ(QStringLiteral("0,001"), f.EditDT->text());
    EXPECT_EQ(QStringLiteral("2,718"), f.EditB2->text());

    // "Save" recreates the document from the easy square.
    f.Save1Click();
    TaonsDocument doc;
    TaonState back;
    LoadDocument(Path("gone.ato"), doc, back);
    EXPECT_EQ(0.001L, back.DT);
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(1, back.GravonPresent[k]);
    EXPECT_EQ(0.212L, back.X[1]);
    EXPECT_EQ(-0.212L, back.Z[1]);
    EXPECT_EQ(30.0L, back.G3);
}

TEST_F(StartupTest, ShortRememberedDocumentIsReportedAndStartUpGoesOn) {
    WriteBytes(Path("short.ato"), std::string(kDocumentSize - 1, '\0'));
    WriteStartFile(Path("short.ato"));
    TMainForm& f = Start();
    ASSERT_EQ(1u, dialogs.Failures.size());
    EXPECT_EQ(QStringLiteral("Read beyond end of file"), dialogs.Failures[0]);
    // A complete window: the easy square, the fields, stopped.
    EXPECT_TRUE(State().Stopped);
    EXPECT_FALSE(State().SpiralMode);
    EXPECT_TRUE(f.Go->isEnabled());
    EXPECT_EQ(QStringLiteral("The easy square"), f.FName->text());
    EXPECT_EQ(QStringLiteral("0,001"), f.EditDT->text());
    EXPECT_EQ(0.001L, State().DT);
    EXPECT_EQ(QStringLiteral("2,718"), f.EditB1->text());
    EXPECT_EQ(QStringLiteral("0,212"), f.Listing->Cell(1, 1));
    // It runs.
    AtPass(f, 2, [&] { f.Go->click(); });
    f.GoClick();
    EXPECT_EQ(2, State().StepCount);
}

TEST_F(StartupTest, StartFileThatCannotBeCreatedIsReportedAndTheSpiralShown) {
    // The configuration folder's parent is a plain file.
    WriteBytes(Path("plain"), "x");
    setenv("XDG_CONFIG_HOME", Path("plain").c_str(), 1);
    TMainForm& f = Start();
    ASSERT_EQ(1u, dialogs.Failures.size());
    EXPECT_EQ(QStringLiteral("File not found"), dialogs.Failures[0]);
    EXPECT_TRUE(State().SpiralMode);
    EXPECT_TRUE(State().Stopped);
    EXPECT_EQ("ThetraSpiral", Data().DocumentName());
    EXPECT_EQ(QStringLiteral("0,001"), f.EditDT->text());
    f.show();
    EXPECT_GT(Count(f.BackBuffer, 0xFF0000), 300);
}

TEST_F(StartupTest, WindowHasTheWrittenSizesAndTexts) {
    TMainForm& f = Start();
    f.show();
    EXPECT_EQ(QStringLiteral("Sphaeron"), f.windowTitle());
    // The drawing area of the default window: 725 x 289, centre (362, 144).
    EXPECT_EQ(725, f.width());
    EXPECT_EQ(289, f.PanTop());
    EXPECT_EQ(QSize(725, 289), f.BackBuffer.size());
    EXPECT_EQ(362, Data().View().CenterX);
    EXPECT_EQ(144, Data().View().CenterY);
    EXPECT_EQ(182, f.Pan->height());
    EXPECT_EQ(243, f.Panel1->width());
    EXPECT_EQ(f.width(), f.Pan->width());
    EXPECT_EQ(f.Pan->y(), f.DrawArea->height());
    EXPECT_EQ(QStringLiteral("Listing"), f.PageControl->tabText(0));
    EXPECT_EQ(QStringLiteral("Commentary"), f.PageControl->tabText(1));
    EXPECT_EQ(QStringLiteral("   0 - AtomStand;   1 - Shelloscope;   2 - Libration;    "), f.RadioButton3->text());
    EXPECT_EQ(QStringLiteral("Make null of velocity"), f.Null00->toolTip());
    EXPECT_EQ(QStringLiteral("Amplitude"), f.TrackBar->toolTip());
    EXPECT_EQ(5, f.TrackBar->value());
    EXPECT_TRUE(f.RB0->isChecked());
    EXPECT_TRUE(f.ShowList->isChecked());
    EXPECT_EQ(300, f.Timer->interval());
    EXPECT_TRUE(f.Timer->isActive());
    EXPECT_EQ(QStringLiteral("Show Images"), f.Images->title());
    EXPECT_FALSE(f.Manager->menuAction()->isVisible() && f.menuBar()->actions().contains(f.Manager->menuAction()));
}

TEST_F(StartupTest, TheMenuKeysDoWhatTheirItemsDo) {
    TMainForm& f = StartWith(SquareState());
    ShowActive();
    auto press = [&](QKeyCombination key) {
        QTest::keyClick(&f, key.key(), key.keyboardModifiers());
        QApplication::processEvents();
    };
    // F2 New: the edit dialog; F3 Open: the open dialog.
    dialogs.ModalActions.push_back([](QDialog&) { return static_cast<int>(QDialog::Rejected); });
    press(Qt::Key_F2);
    EXPECT_EQ(1u, dialogs.ModalTitles.size());
    dialogs.OpenAnswers.push_back(std::nullopt);
    press(Qt::Key_F3);
    EXPECT_TRUE(dialogs.OpenAnswers.empty());
    // F6 and F7: the spin and the numbers.
    press(Qt::Key_F6);
    EXPECT_TRUE(f.ShowSpin->isChecked());
    press(Qt::Key_F7);
    EXPECT_TRUE(Data().View().ShowNumbers);
    // Ctrl+arrows shift the picture by 5 pixels; F8 centres it again.
    press(Qt::CTRL | Qt::Key_Left);
    press(Qt::CTRL | Qt::Key_Left);
    press(Qt::CTRL | Qt::Key_Right);
    press(Qt::CTRL | Qt::Key_Down);
    EXPECT_EQ(-5.0L, Data().View().ShiftX);
    EXPECT_EQ(5.0L, Data().View().ShiftY);
    press(Qt::CTRL | Qt::Key_Up);
    press(Qt::CTRL | Qt::Key_Up);
    EXPECT_EQ(-5.0L, Data().View().ShiftY);
    press(Qt::Key_F8);
    EXPECT_EQ(0.0L, Data().View().ShiftX);
    EXPECT_EQ(0.0L, Data().View().ShiftY);
    // Ctrl+S saves the document; F5 reads the remembered one again.
    State().X[1] = 0.25L;
    press(Qt::CTRL | Qt::Key_S);
    State().X[1] = 0.5L;
    press(Qt::Key_F5);
    EXPECT_EQ(0.25L, State().X[1]);
    // F1 does nothing; Ctrl+F1 and Shift+F1 look for their help files.
    f.HelpFolder = QPath("no-help");
    press(Qt::Key_F1);
    EXPECT_TRUE(dialogs.Informations.empty());
    press(Qt::CTRL | Qt::Key_F1);
    press(Qt::SHIFT | Qt::Key_F1);
    ASSERT_EQ(2u, dialogs.Informations.size());
    EXPECT_TRUE(dialogs.Informations[0].contains(QStringLiteral("HlpArtRu.hlp")));
    EXPECT_TRUE(dialogs.Informations[1].contains(QStringLiteral("HlpArtPl.hlp")));
    // Alt+X: Exit.
    press(Qt::ALT | Qt::Key_X);
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(dialogs.Failures.empty());
}

}  // namespace
}  // namespace sphaeron::forms::testing
