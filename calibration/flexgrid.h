#pragma once
// The grid the calibration lives in: cells of text with fixed heading rows and
// columns, a current cell and a selection end kept apart, per-cell background
// colours, and sizes in twips. The widget that draws it sits in the app; all
// behaviour that the tables, transfers and tracking rely on is here, so it is
// tested without a display.
#include <QObject>
#include <QString>
#include <QVector>

// Cell colours as 0xAARRGGBB, the layout QColor takes, without needing Qt Gui here.
using GridColor = quint32;
constexpr GridColor gridRgb(int red, int green, int blue)
{
    return 0xFF000000u | (GridColor(red & 0xFF) << 16) | (GridColor(green & 0xFF) << 8) | GridColor(blue & 0xFF);
}
inline constexpr GridColor GridWhite = gridRgb(255, 255, 255);
inline constexpr GridColor GridYellow = gridRgb(255, 255, 0);

class FlexGrid : public QObject {
    Q_OBJECT
public:
    FlexGrid(int rows, int cols, int fixedRows, int fixedCols, QObject *parent = nullptr);

    int Rows() const { return m_rows; }
    int Cols() const { return m_cols; }
    int FixedRows() const { return m_fixedRows; }
    int FixedCols() const { return m_fixedCols; }

    // The current cell. Setting either moves the current cell: LeaveCell fires
    // first when the cell changes, and the selection collapses to the new cell.
    // Values outside the grid are ignored.
    int Row() const { return m_row; }
    int Col() const { return m_col; }
    void setRow(int row);
    void setCol(int col);
    void setCurrent(int row, int col)
    {
        setRow(row);
        setCol(col);
    }

    // The selection end; the selection is the rectangle between it and the
    // current cell. Setting it does not move the current cell.
    int RowSel() const { return m_rowSel; }
    int ColSel() const { return m_colSel; }
    void setRowSel(int row);
    void setColSel(int col);

    QString Text() const { return TextMatrix(m_row, m_col); }
    void setText(const QString &text) { setTextMatrix(m_row, m_col, text); }
    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString &text);

    GridColor CellBackColor() const { return cellBackColor(m_row, m_col); }
    void setCellBackColor(GridColor color);
    GridColor cellBackColor(int row, int col) const;

    // Block text of the selection: tab between cells, carriage return between rows.
    QString Clip() const;
    // Distributes tab and carriage-return text over the selection from its
    // top-left cell; text beyond the selection is ignored.
    void setClip(const QString &text);

    int RowHeight(int row) const { return inRange(row, 0, m_rows) ? m_rowHeights[row] : 0; }
    int ColWidth(int col) const { return inRange(col, 0, m_cols) ? m_colWidths[col] : 0; }
    void setRowHeight(int row, int twips);
    void setColWidth(int col, int twips);
    // Position of a cell's top-left corner inside the grid, in twips.
    int CellLeftTwips(int col) const;
    int CellTopTwips(int row) const;

    bool contains(int row, int col) const { return inRange(row, 0, m_rows) && inRange(col, 0, m_cols); }

signals:
    // Fired before the current cell changes, by the user or by code.
    void LeaveCell();
    // Something visible changed: text, colour, size, current cell or selection.
    void changed();

private:
    static bool inRange(int v, int lo, int hiExclusive) { return v >= lo && v < hiExclusive; }
    int index(int row, int col) const { return row * m_cols + col; }
    int m_rows, m_cols, m_fixedRows, m_fixedCols;
    int m_row, m_col, m_rowSel, m_colSel;
    QVector<QString> m_text;
    QVector<GridColor> m_back;
    QVector<int> m_rowHeights, m_colWidths;
};
