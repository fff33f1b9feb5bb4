#include "tablesnapshot.h"

#include <algorithm>
#include <array>

namespace {

std::array<FlexGrid *, 3> grids(CalibrationTables &t) { return {&t.map(), &t.brake(), &t.params()}; }
std::array<const FlexGrid *, 3> grids(const CalibrationTables &t) { return {&t.map(), &t.brake(), &t.params()}; }

// The grids' sizes are fixed, so a snapshot index names one cell for good.
constexpr std::array<int, 3> Cols = {17, 17, 2};
constexpr std::array<int, 3> Starts = {0, 17 * 17, 17 * 17 + 17};

CellChanges::Place placeOf(int index)
{
    int g = 2;
    while (index < Starts[g])
        --g;
    const int offset = index - Starts[g];
    return {CellChanges::Grid(g), offset / Cols[g], offset % Cols[g]};
}

} // namespace

TableSnapshot::TableSnapshot(const CalibrationTables &tables)
{
    for (const FlexGrid *grid : grids(tables))
        for (int r = 0; r < grid->Rows(); ++r)
            for (int c = 0; c < grid->Cols(); ++c)
                m_texts.append(grid->TextMatrix(r, c));
}

CellChanges CellChanges::between(const TableSnapshot &before, const TableSnapshot &after)
{
    CellChanges out;
    const qsizetype cells = std::max(before.m_texts.size(), after.m_texts.size());
    for (int i = 0; i < cells; ++i) {
        const QString a = before.m_texts.value(i), b = after.m_texts.value(i);
        if (a == b)
            continue;
        out.m_before += a;
        out.m_after += b;
        out.m_cells.append({i, qint32(out.m_before.size()), qint32(out.m_after.size())});
    }
    out.m_cells.squeeze();
    out.m_before.squeeze();
    out.m_after.squeeze();
    return out;
}

CellChanges::Place CellChanges::place(int i) const { return placeOf(m_cells.at(i).index); }

QString CellChanges::before(int i) const
{
    const qint32 start = i > 0 ? m_cells.at(i - 1).beforeEnd : 0;
    return m_before.mid(start, m_cells.at(i).beforeEnd - start);
}

QString CellChanges::after(int i) const
{
    const qint32 start = i > 0 ? m_cells.at(i - 1).afterEnd : 0;
    return m_after.mid(start, m_cells.at(i).afterEnd - start);
}

void CellChanges::applyBefore(CalibrationTables &tables) const { apply(tables, false); }

void CellChanges::applyAfter(CalibrationTables &tables) const { apply(tables, true); }

void CellChanges::apply(CalibrationTables &tables, bool after) const
{
    const auto targets = grids(tables);
    for (int i = 0; i < count(); ++i) {
        const Place p = place(i);
        targets[int(p.grid)]->setTextMatrix(p.row, p.col, after ? this->after(i) : before(i));
    }
}

qsizetype CellChanges::bytes() const
{
    return qsizetype(sizeof(CellChanges)) + m_cells.capacity() * qsizetype(sizeof(Cell)) +
           (m_before.capacity() + m_after.capacity()) * qsizetype(sizeof(QChar));
}
