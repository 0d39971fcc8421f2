#include "settings_window/period_grid.h"

#include "error_reporting/runtime_error.h"
#include "platform/twips.h"

#include <QHeaderView>

namespace periodix {

PeriodGrid::PeriodGrid(QWidget *parent) : QTableWidget(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    setWordWrap(false);
}

void PeriodGrid::checkRow(int row) const
{
    if (row < 0 || row >= rows())
        raiseError(ErrSubscriptOutOfRange);
}

void PeriodGrid::setRows(int rows)
{
    if (rows < 1)
        raiseError(ErrSubscriptOutOfRange);
    setRowCount(rows - 1);
}

void PeriodGrid::setFixedRows(int fixedRows)
{
    // The header row is always the one fixed row.
    if (fixedRows != 1)
        raiseError(ErrSubscriptOutOfRange);
}

void PeriodGrid::setCols(int cols)
{
    setColumnCount(cols);
    colWidths_.resize(cols);
    alignments_.resize(cols, Qt::AlignLeft | Qt::AlignVCenter);
}

void PeriodGrid::setFixedCols(int fixedCols)
{
    if (fixedCols != 0)
        raiseError(ErrSubscriptOutOfRange);
}

void PeriodGrid::setFormatString(const QString &format)
{
    setHorizontalHeaderLabels(format.split(u'|'));
}

void PeriodGrid::setColWidth(int col, int twips)
{
    if (col < 0 || col >= columnCount())
        raiseError(ErrSubscriptOutOfRange);
    colWidths_[col] = twips;
    setColumnWidth(col, twipsToPixels(twips, screenDpi()));
    setColumnHidden(col, twips == 0);
}

void PeriodGrid::setColAlignment(int col, Qt::Alignment alignment)
{
    if (col < 0 || col >= columnCount())
        raiseError(ErrSubscriptOutOfRange);
    alignments_[col] = alignment;
    for (int r = 0; r < rowCount(); ++r) {
        if (QTableWidgetItem *cell = item(r, col))
            cell->setTextAlignment(alignment);
    }
    if (QTableWidgetItem *header = horizontalHeaderItem(col))
        header->setTextAlignment(alignment);
}

int PeriodGrid::row() const
{
    return currentRow() + 1;
}

void PeriodGrid::setRow(int row)
{
    checkRow(row);
    if (row == 0) {
        setCurrentCell(-1, -1);
        return;
    }
    setCurrentCell(row - 1, std::max(0, col_), QItemSelectionModel::NoUpdate);
    highlight();
}

void PeriodGrid::setCol(int col)
{
    col_ = col;
}

void PeriodGrid::setColSel(int col)
{
    colSel_ = col;
    highlight();
}

void PeriodGrid::highlight()
{
    clearSelection();
    if (currentRow() >= 0)
        selectRow(currentRow());
}

QString PeriodGrid::textMatrix(int row, int col) const
{
    checkRow(row);
    if (col < 0 || col >= columnCount())
        raiseError(ErrSubscriptOutOfRange);
    if (row == 0)
        return headerText(col);
    const QTableWidgetItem *cell = item(row - 1, col);
    return cell ? cell->text() : QString();
}

QString PeriodGrid::headerText(int col) const
{
    const QTableWidgetItem *header = horizontalHeaderItem(col);
    return header ? header->text() : QString();
}

void PeriodGrid::addItem(const QStringList &cells, int index)
{
    int at = rowCount();
    if (index >= 0) {
        if (index < 1 || index > rows())
            raiseError(ErrSubscriptOutOfRange); // the header row stays on top
        at = index - 1;
    }
    const int keep = currentRow();
    insertRow(at);
    for (int c = 0; c < columnCount(); ++c) {
        auto *cell = new QTableWidgetItem(c < cells.size() ? cells[c] : QString());
        cell->setTextAlignment(alignments_.value(c, Qt::AlignLeft | Qt::AlignVCenter));
        setItem(at, c, cell);
    }
    // The current row stays the row it was, as a plain grid keeps its index.
    if (keep != currentRow())
        setCurrentCell(keep, std::max(0, col_), QItemSelectionModel::NoUpdate);
}

void PeriodGrid::removeItem(int index)
{
    if (index < 1 || index >= rows())
        raiseError(ErrSubscriptOutOfRange);
    removeRow(index - 1);
}

} // namespace periodix
