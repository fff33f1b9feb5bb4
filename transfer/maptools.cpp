#include "maptools.h"
#include "cellvalue.h"
#include "messageset.h"

#include <QRegularExpression>
#include <QVarLengthArray>
#include <algorithm>
#include <cmath>
#include <optional>

namespace MapTools {

namespace {

struct Span {
    int first, last; // inclusive; empty when first > last
    int size() const { return last - first + 1; }
};

// The range's rows and columns that hold data: inside the grid, past its fixed cells.
std::pair<Span, Span> dataSpans(const FlexGrid &grid, const CellRange &r)
{
    return {
        {std::max(std::min(r.row1, r.row2), grid.FixedRows()), std::min(std::max(r.row1, r.row2), grid.Rows() - 1)},
        {std::max(std::min(r.col1, r.col2), grid.FixedCols()), std::min(std::max(r.col1, r.col2), grid.Cols() - 1)}};
}

QString withoutBlanks(QStringView text)
{
    QString packed;
    for (QChar c : text)
        if (c != u' ' && c != u'\t' && c != u'\n')
            packed += c;
    return packed;
}

// The value of a text that is a number and nothing else, read as every consumer
// reads it; blanks count for nothing anywhere, as they do there.
// A heading may end in "%".
std::optional<double> wholeNumber(QStringView text, bool percent = false)
{
    QString packed = withoutBlanks(text);
    if (percent && packed.endsWith(u'%'))
        packed.chop(1);
    static const QRegularExpression number(QStringLiteral(
        "^(?:[+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[EeDd][+-]?[0-9]+)?|&[Hh][0-9A-Fa-f]+|&[Oo][0-7]+)$"));
    if (!number.match(packed).hasMatch())
        return std::nullopt;
    return CellValue(packed);
}

// The text a result is written as: its module integer within 0..255. The
// result goes through its cell text first, so a sum that only binary fractions
// pushed past a half rounds as the number the user would read.
QString moduleText(double result)
{
    const double integer = MessageSet::CellInteger(CellValue(CellText(result)));
    return QString::number(int(std::clamp(integer, 0.0, 255.0)));
}

// Distances along an axis of the map for cells first..last: the heading values
// when they all are numbers and strictly rise or fall, else the positions.
QVarLengthArray<double, 17> axis(const FlexGrid &map, bool columns, Span span)
{
    QVarLengthArray<double, 17> values;
    for (int i = span.first; i <= span.last; ++i) {
        const auto v = wholeNumber(columns ? map.TextMatrix(0, i) : map.TextMatrix(i, 0), true);
        if (!v)
            break;
        values.append(*v);
    }
    bool monotone = values.size() == span.size();
    for (int i = 1; monotone && i < values.size(); ++i)
        monotone = (values[i] - values[i - 1]) * (values.last() - values.first()) > 0;
    if (!monotone) {
        values.clear();
        for (int i = span.first; i <= span.last; ++i)
            values.append(i);
    }
    // As a fraction of the whole span, 0 at the first cell and 1 at the last. A
    // span of one cell has no such fraction, but then its axis goes unused.
    const double first = values.first(), width = values.last() - first;
    for (double &v : values)
        v = (v - first) / width;
    return values;
}

} // namespace

void apply(FlexGrid &grid, CellRange range, Arithmetic op, double value)
{
    if (!std::isfinite(value))
        return;
    const auto [rows, cols] = dataSpans(grid, range);
    for (int r = rows.first; r <= rows.last; ++r)
        for (int c = cols.first; c <= cols.last; ++c) {
            if (op == Arithmetic::Set) {
                grid.setTextMatrix(r, c, moduleText(value));
                continue;
            }
            const auto v = wholeNumber(grid.TextMatrix(r, c));
            if (!v)
                continue;
            const double result = op == Arithmetic::Add        ? *v + value
                                  : op == Arithmetic::Subtract ? *v - value
                                                               : *v * value / 100;
            grid.setTextMatrix(r, c, moduleText(result));
        }
}

bool interpolate(CalibrationTables &tables, CellRange range, Interpolation how)
{
    FlexGrid &map = tables.map();
    const auto [rows, cols] = dataSpans(map, range);
    const bool across = how != Interpolation::Vertical, down = how != Interpolation::Horizontal;
    if (rows.size() < (down ? 3 : 1) || cols.size() < (across ? 3 : 1))
        return false;
    const auto u = axis(map, true, cols), v = axis(map, false, rows);
    const auto at = [&map](int r, int c) { return CellValue(map.TextMatrix(r, c)); };
    const int r0 = rows.first, r1 = rows.last, c0 = cols.first, c1 = cols.last;
    for (int r = down ? r0 + 1 : r0; r <= (down ? r1 - 1 : r1); ++r)
        for (int c = across ? c0 + 1 : c0; c <= (across ? c1 - 1 : c1); ++c) {
            const double x = u[c - c0], y = v[r - r0];
            const double leftRight = (1 - x) * at(r, c0) + x * at(r, c1);
            const double topBottom = (1 - y) * at(r0, c) + y * at(r1, c);
            double result = how == Interpolation::Horizontal ? leftRight : topBottom;
            if (how == Interpolation::Bilinear) {
                // Both edge blends counted the corners twice: take them out once.
                const double corners = (1 - x) * (1 - y) * at(r0, c0) + x * (1 - y) * at(r0, c1) +
                                       (1 - x) * y * at(r1, c0) + x * y * at(r1, c1);
                result = leftRight + topBottom - corners;
            }
            map.setTextMatrix(r, c, moduleText(result));
        }
    return true;
}

bool smooth(FlexGrid &grid, CellRange range)
{
    // Not a structured binding: the lambda below reads both, which clang 14 refuses for bindings.
    const std::pair<Span, Span> spans = dataSpans(grid, range);
    const Span &rows = spans.first, &cols = spans.second;
    if (rows.size() < 1 || cols.size() < 1 || rows.size() * cols.size() < 2)
        return false;
    QVarLengthArray<std::optional<double>, 256> values;
    for (int r = rows.first; r <= rows.last; ++r)
        for (int c = cols.first; c <= cols.last; ++c)
            values.append(wholeNumber(grid.TextMatrix(r, c)));
    const auto value = [&](int r, int c) {
        const bool inside = r >= rows.first && r <= rows.last && c >= cols.first && c <= cols.last;
        return inside ? values[(r - rows.first) * cols.size() + c - cols.first] : std::nullopt;
    };
    for (int r = rows.first; r <= rows.last; ++r)
        for (int c = cols.first; c <= cols.last; ++c) {
            const auto self = value(r, c);
            double sum = 0;
            int count = 0;
            for (const auto n : {value(r - 1, c), value(r + 1, c), value(r, c - 1), value(r, c + 1)})
                if (n) {
                    sum += *n;
                    ++count;
                }
            if (self && count > 0)
                grid.setTextMatrix(r, c, moduleText((*self + sum / count) / 2));
        }
    return true;
}

bool carriable(const QString &cellText)
{
    if (withoutBlanks(cellText).isEmpty())
        return true;
    const auto v = wholeNumber(cellText);
    return v && MessageSet::ByteField(MessageSet::CellInteger(*v)).has_value();
}

} // namespace MapTools
