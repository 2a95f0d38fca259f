#pragma once
// The gravon edit dialog: the time step, the eighteen group parameters and,
// particle by particle, the positions, velocities and presence flags of the
// hundred taons; four small distance calculators; a grid of the positions
// or velocities. "&Yes" takes the shown particle into the state, "OK" and
// "Save As" take the parameters in and write a document.
//
// The dialog is created once and kept. It shows nothing of its own between
// uses: whenever it is painted (each time it opens, and after a message box
// of its own has covered it) it refills its fields and its grid from the
// state.
#include <QDialog>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "sphaeron/core/listing.h"
#include "sphaeron/document/document.h"
#include "sphaeron/forms/dialogs.h"
#include "sphaeron/forms/failure.h"
#include "sphaeron/session/session.h"

class QCheckBox;
class QEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;
class QTableView;

namespace sphaeron::forms {

class GridModel;

// The fields and buttons of one distance calculator.
struct DistanceCalculator {
    QGroupBox* Box = nullptr;     // "Calculation of distance n"
    QLineEdit* Part1 = nullptr;   // number of the first particle
    QLineEdit* Part2 = nullptr;   // number of the second particle
    QLineEdit* Result = nullptr;  // "Result n"
    QPushButton* Calculate = nullptr;
    QPushButton* Reset = nullptr;
};

class TEditDlg : public QDialog {
public:
    static constexpr int kClientWidth = 787;
    static constexpr int kClientHeight = 447;
    static constexpr int kGridColumnWidth = 92;
    static constexpr int kGridRowHeight = 18;

    // What the dialog asks the user or shows in a box goes through
    // `dialogs` (not owned).
    TEditDlg(Session& session, Dialogs& dialogs, QWidget* parent = nullptr);

    // The grid shows velocities instead of positions. Kept between uses.
    bool DialogListVelocities = false;

    // ---- controls -------------------------------------------------------
    // Parameters, in document order (DT, A1 .. G1, A2 .. G2, A3 .. G3)
    QLineEdit* EditDT = nullptr;
    QLineEdit *EditA1 = nullptr, *EditB1 = nullptr, *EditC1 = nullptr, *EditD1 = nullptr, *EditF1 = nullptr,
              *EditG1 = nullptr;
    QLineEdit *EditA2 = nullptr, *EditB2 = nullptr, *EditC2 = nullptr, *EditD2 = nullptr, *EditF2 = nullptr,
              *EditG2 = nullptr;
    QLineEdit *EditA3 = nullptr, *EditB3 = nullptr, *EditC3 = nullptr, *EditD3 = nullptr, *EditF3 = nullptr,
              *EditG3 = nullptr;
    std::array<QLineEdit*, kParameterCount> ParameterFields{};
    // The particle ranges of the groups under the columns; nothing reads them.
    QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr;
    QLabel* Note = nullptr;  // "Attention: ..."

    // The shown particle
    QLabel* NumberOfTaon = nullptr;
    QLineEdit *EditX = nullptr, *EditY = nullptr, *EditZ = nullptr;
    QLineEdit *EditV = nullptr, *EditU = nullptr, *EditW = nullptr;  // x, y, z of the velocity
    QCheckBox* DaoTrue = nullptr;                                    // "There is Gravon"
    QPushButton* Submit = nullptr;                                   // "&Yes"
    QPushButton* Saveas = nullptr;                                   // "Save As"

    // The grid: 4 x 101, row 0 and column 0 fixed (the view's headers)
    QTableView* DaonsTable = nullptr;
    GridModel* Grid = nullptr;
    QLabel* GridCorner = nullptr;  // shows cell (0, 0), where the headers meet

    // Distance calculators 1 .. 4
    QLineEdit *EditCal1Part1 = nullptr, *EditCal1Part2 = nullptr, *EditResult1 = nullptr;
    QLineEdit *EditCal2Part1 = nullptr, *EditCal2Part2 = nullptr, *EditResult2 = nullptr;
    QLineEdit *EditCal3Part1 = nullptr, *EditCal3Part2 = nullptr, *EditResult3 = nullptr;
    QLineEdit *EditCal4Part1 = nullptr, *EditCal4Part2 = nullptr, *EditResult4 = nullptr;
    std::array<DistanceCalculator, 4> Calculators{};

    // Bottom
    QLineEdit* EditFileName = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    // ---- operations -----------------------------------------------------
    // Row 0 the headings, column 0 the particle numbers, the other cells the
    // positions (or velocities) of the present particles.
    void FillGravonGrid();
    // The particle of the grid's current row into the particle fields.
    void ShowGravon();
    // The nineteen fields into DT, A1 .. G3, each stored as soon as it
    // converts.
    void ReadDialogParameters();
    // The grid's current row, 1 .. 100.
    int CurrentRow() const;
    // Moves the grid's current cell to row k (1 .. 100), as a click would.
    void SelectRow(int k);

    // ---- handlers -------------------------------------------------------
    void FormPaint();
    void DaonsTableClick();
    void DaonsTableDblClick();
    void SubmitClick();
    void SaveasClick();
    void OKBtnClick();
    void CancelBtnClick();
    // Calculator n (1 .. 4).
    void CalculateClick(int n);
    void ResetClick(int n);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildCalculators();
    void BuildParticleFields();
    void BuildParameterFields();
    void BuildGrid();
    void BuildBottom();
    // Row i of the grid as three numbers; the calculators' reading.
    Point ReadGridRow(const QString& number) const;
    void Confirm();
    // Runs a handler of the dialog. A failure is shown by the failure
    // handler; its box has covered the dialog, which then repaints.
    template <class Handler>
    void Handle(Handler&& handler) {
        if (!Guarded(dialogs_, std::forward<Handler>(handler))) Guarded(dialogs_, [this] { FormPaint(); });
    }

    Session& session_;
    Dialogs& dialogs_;
    QObject* keyFilter_ = nullptr;
};

}  // namespace sphaeron::forms
