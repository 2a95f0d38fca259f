#include "sphaeron/forms/listing_model.h"

#include <QApplication>
#include <QHeaderView>
#include <QLocale>
#include <QPainter>
#include <QStyledItemDelegate>

#include "common/qt/dialogs.h"

namespace sphaeron::forms {

namespace {

// Draws a cell's number cut so that it still reads as that number (the
// exponent and the whole part stay); the tooltip has the whole text.
class NumberCells : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const int width = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).width() - 2 * margin;
        opt.text = FitCell(opt.text, width, opt.fontMetrics);
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    }
};

}  // namespace

QString FitCell(const QString& text, int width, const QFontMetrics& metrics) {
    return QString::fromStdString(FitNumber(
        text.toStdString(), width,
        [&metrics](const std::string& t) { return metrics.horizontalAdvance(QString::fromStdString(t)); },
        common::qt::DecimalSeparator()));
}

GridModel::GridModel(int columns, int rows, QObject* parent)
    : QAbstractTableModel(parent), columns_(columns), rows_(rows), cells_(static_cast<std::size_t>(columns) * rows) {}

void GridModel::SetCell(int col, int row, const QString& text) {
    QString& cell = cells_[Index(col, row)];
    if (cell == text) return;
    cell = text;
    if (row == 0 && col > 0)
        columnHeadDirty_ = true;
    else if (col == 0 && row > 0)
        rowHeadDirty_ = true;
    else if (row > 0)
        itemsDirty_ = true;
}

void GridModel::Publish() {
    if (columnHeadDirty_) emit headerDataChanged(Qt::Horizontal, 0, columns_ - 2);
    if (rowHeadDirty_) emit headerDataChanged(Qt::Vertical, 0, rows_ - 2);
    if (itemsDirty_) emit dataChanged(index(0, 0), index(rows_ - 2, columns_ - 2), {Qt::DisplayRole});
    itemsDirty_ = columnHeadDirty_ = rowHeadDirty_ = false;
}

void GridModel::ShowListing(const ListingCells& cells, int rows) {
    for (std::size_t c = 0; c < 3; ++c) SetCell(static_cast<int>(c) + 1, 0, QString::fromLatin1(cells.Heads[c]));
    for (int k = 1; k <= rows; ++k) {
        SetCell(0, k, QString::number(k));
        for (std::size_t c = 0; c < 3; ++c)
            SetCell(static_cast<int>(c) + 1, k, QString::fromLatin1(cells.Rows[static_cast<std::size_t>(k)][c]));
    }
    Publish();
}

int GridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_ - 1; }

int GridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_ - 1; }

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    const QString& cell = Cell(index.column() + 1, index.row() + 1);
    if (role == Qt::DisplayRole || role == Qt::EditRole) return cell;
    // The whole number, also where the cell shows it cut.
    if (role == Qt::ToolTipRole && !cell.isEmpty()) return cell;
    return QVariant();
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Horizontal) return section + 1 < columns_ ? Cell(section + 1, 0) : QString();
    return section + 1 < rows_ ? Cell(0, section + 1) : QString();
}

QTableView* MakeGridView(QWidget* parent, GridModel* model) {
    auto* view = new QTableView(parent);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setWordWrap(false);
    view->setCornerButtonEnabled(false);
    view->setItemDelegate(new NumberCells(view));
    for (QHeaderView* h : {view->horizontalHeader(), view->verticalHeader()}) {
        h->setSectionResizeMode(QHeaderView::Fixed);
        h->setHighlightSections(false);
        h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return view;
}

}  // namespace sphaeron::forms
