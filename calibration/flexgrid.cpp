#include "flexgrid.h"

#include <QStringList>
#include <algorithm>

FlexGrid::FlexGrid(int rows, int cols, int fixedRows, int fixedCols, QObject *parent)
    : QObject(parent), m_rows(rows), m_cols(cols), m_fixedRows(fixedRows), m_fixedCols(fixedCols),
      m_row(std::min(fixedRows, rows - 1)), m_col(std::min(fixedCols, cols - 1)), m_rowSel(m_row), m_colSel(m_col),
      m_text(rows * cols), m_back(rows * cols, GridWhite), m_rowHeights(rows, 240), m_colWidths(cols, 960)
{
}

void FlexGrid::setRow(int row)
{
    if (!inRange(row, 0, m_rows))
        return;
    if (row != m_row)
        emit LeaveCell();
    m_row = row;
    m_rowSel = m_row;
    m_colSel = m_col;
    emit changed();
}

void FlexGrid::setCol(int col)
{
    if (!inRange(col, 0, m_cols))
        return;
    if (col != m_col)
        emit LeaveCell();
    m_col = col;
    m_rowSel = m_row;
    m_colSel = m_col;
    emit changed();
}

void FlexGrid::setRowSel(int row)
{
    if (inRange(row, 0, m_rows) && row != m_rowSel) {
        m_rowSel = row;
        emit changed();
    }
}

void FlexGrid::setColSel(int col)
{
    if (inRange(col, 0, m_cols) && col != m_colSel) {
        m_colSel = col;
        emit changed();
    }
}

QString FlexGrid::TextMatrix(int row, int col) const
{
    return contains(row, col) ? m_text[index(row, col)] : QString();
}

void FlexGrid::setTextMatrix(int row, int col, const QString &text)
{
    if (!contains(row, col))
        return;
    auto &cell = m_text[index(row, col)];
    if (cell != text) {
        cell = text;
        emit changed();
    }
}

void FlexGrid::setCellBackColor(GridColor color)
{
    auto &cell = m_back[index(m_row, m_col)];
    if (cell != color) {
        cell = color;
        emit changed();
    }
}

GridColor FlexGrid::cellBackColor(int row, int col) const
{
    return contains(row, col) ? m_back[index(row, col)] : GridWhite;
}

QString FlexGrid::Clip() const
{
    const int r0 = std::min(m_row, m_rowSel), r1 = std::max(m_row, m_rowSel);
    const int c0 = std::min(m_col, m_colSel), c1 = std::max(m_col, m_colSel);
    QStringList rows;
    for (int r = r0; r <= r1; ++r) {
        QStringList cells;
        for (int c = c0; c <= c1; ++c)
            cells << m_text[index(r, c)];
        rows << cells.join(QLatin1Char('\t'));
    }
    return rows.join(QLatin1Char('\r'));
}

void FlexGrid::setClip(const QString &text)
{
    const int r0 = std::min(m_row, m_rowSel), r1 = std::max(m_row, m_rowSel);
    const int c0 = std::min(m_col, m_colSel), c1 = std::max(m_col, m_colSel);
    // Spreadsheets end rows with CR LF or LF; a trailing row end adds no row.
    QString normal = text;
    normal.replace(QLatin1String("\r\n"), QLatin1String("\r")).replace(QLatin1Char('\n'), QLatin1Char('\r'));
    if (normal.endsWith(QLatin1Char('\r')))
        normal.chop(1);
    const auto lines = normal.split(QLatin1Char('\r'));
    for (int i = 0; i < lines.size() && r0 + i <= r1; ++i) {
        const auto cells = lines[i].split(QLatin1Char('\t'));
        for (int j = 0; j < cells.size() && c0 + j <= c1; ++j)
            setTextMatrix(r0 + i, c0 + j, cells[j]);
    }
}

void FlexGrid::setRowHeight(int row, int twips)
{
    if (inRange(row, 0, m_rows)) {
        m_rowHeights[row] = std::max(0, twips);
        emit changed();
    }
}

void FlexGrid::setColWidth(int col, int twips)
{
    if (inRange(col, 0, m_cols)) {
        m_colWidths[col] = std::max(0, twips);
        emit changed();
    }
}

int FlexGrid::CellLeftTwips(int col) const
{
    int x = 0;
    for (int c = 0; c < std::min(col, m_cols); ++c)
        x += m_colWidths[c];
    return x;
}

int FlexGrid::CellTopTwips(int row) const
{
    int y = 0;
    for (int r = 0; r < std::min(row, m_rows); ++r)
        y += m_rowHeights[r];
    return y;
}
