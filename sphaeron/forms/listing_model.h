#pragma once
// The cells of a string grid with a fixed first row and first column, as a
// model for a table view: row 0 and column 0 are the view's headers, the
// other cells its items. Cells are written one by one and shown together by
// Publish(), so refilling the whole grid costs one update of the view.
#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QTableView>
#include <QString>
#include <vector>

#include "sphaeron/core/listing.h"

namespace sphaeron::forms {

class GridModel : public QAbstractTableModel {
public:
    GridModel(int columns, int rows, QObject* parent = nullptr);

    int ColCount() const { return columns_; }
    int RowCount() const { return rows_; }
    // Cell by column and row, both from 0; row 0 and column 0 are fixed.
    const QString& Cell(int col, int row) const { return cells_[Index(col, row)]; }
    void SetCell(int col, int row, const QString& text);
    // Tells the view about the cells written since the last call.
    void Publish();
    // The listing's headings, the numbers 1 .. rows in column 0 and the
    // cells of rows 1 .. rows; then Publish.
    void ShowListing(const ListingCells& cells, int rows);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::size_t Index(int col, int row) const { return static_cast<std::size_t>(row) * columns_ + col; }

    int columns_, rows_;
    std::vector<QString> cells_;
    bool itemsDirty_ = false, columnHeadDirty_ = false, rowHeadDirty_ = false;
};

// What a cell of `width` pixels shows of its number (see FitNumber).
QString FitCell(const QString& text, int width, const QFontMetrics& metrics);

// A table view of such a grid as both windows show it: read-only, one cell
// selected at a time, no word wrap, fixed sections, headers without
// highlight and aligned left.
QTableView* MakeGridView(QWidget* parent, GridModel* model);

}  // namespace sphaeron::forms
