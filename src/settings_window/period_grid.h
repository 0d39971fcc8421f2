#pragma once

#include <QStringList>
#include <QTableWidget>

namespace periodix {

// The period grid in the terms the settings window works in: row 0 is the
// header row and counts in the row count; rows 1.. are the periods. The
// current row is 0 while no period row is selected.
class PeriodGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit PeriodGrid(QWidget *parent = nullptr);

    int rows() const { return rowCount() + 1; }
    void setRows(int rows); // adds or drops rows at the end
    void setFixedRows(int fixedRows);
    void setCols(int cols);
    void setFixedCols(int fixedCols);
    void setFormatString(const QString &format); // "|Period Descr|Time"
    void setColWidth(int col, int twips);
    int colWidth(int col) const { return colWidths_.value(col); }
    void setColAlignment(int col, Qt::Alignment alignment);

    int row() const;
    void setRow(int row);
    void setCol(int col);
    void setColSel(int col);

    QString textMatrix(int row, int col) const;
    QString headerText(int col) const;

    // Adds a row with these cells; with index i it is inserted before row i.
    void addItem(const QStringList &cells, int index = -1);
    void removeItem(int index);

private:
    void checkRow(int row) const;
    void highlight();

    QList<int> colWidths_;
    QList<Qt::Alignment> alignments_;
    int col_ = 0;
    int colSel_ = 0;
};

} // namespace periodix
