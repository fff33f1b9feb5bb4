#include "tablediff.h"
#include "cellvalue.h"

#include <QJsonObject>

namespace TableDiff {

namespace {
constexpr int ValueColumn = 1; // the parameter table's values; column 0 holds the labels
}

QString mapPlace(int row, int column) { return QStringLiteral("map row %1, column %2").arg(row).arg(column); }
QString brakePlace(int column) { return QStringLiteral("brake column %1").arg(column); }

QString Difference::place() const
{
    switch (kind) {
    case MapCell: return mapPlace(row, column) + QStringLiteral(" (RPM %1, load %2)").arg(rpm, load);
    case BrakeColumn: return brakePlace(column);
    case Parameter: return name;
    }
    return {};
}

QList<Difference> diff(const CalibrationTables &first, const CalibrationTables &second)
{
    QList<Difference> out;
    auto compare = [&out](const FlexGrid &a, const FlexGrid &b, int row, int col, Difference d) {
        d.first = a.TextMatrix(row, col);
        d.second = b.TextMatrix(row, col);
        const bool same = d.kind == Difference::Parameter && row == BoardName
                              ? d.first == d.second
                              : CellValue(d.first) == CellValue(d.second);
        if (!same)
            out.append(d);
    };
    for (int r = 1; r <= MapSize; ++r)
        for (int c = 1; c <= MapSize; ++c)
            compare(
                first.map(), second.map(), r, c,
                {Difference::MapCell, r, c, first.map().TextMatrix(0, c), first.map().TextMatrix(r, 0), {}, {}, {}});
    for (int c = 1; c <= MapSize; ++c)
        compare(first.brake(), second.brake(), 0, c, {Difference::BrakeColumn, 0, c, {}, {}, {}, {}, {}});
    for (int r = MaxPosition; r <= BoardName; ++r)
        compare(first.params(), second.params(), r, ValueColumn,
                {Difference::Parameter, r, 0, {}, {}, parameterLabel(ParamRow(r)), {}, {}});
    return out;
}

QString toText(const QList<Difference> &differences, const QString &firstLabel, const QString &secondLabel)
{
    QString text;
    for (const Difference &d : differences)
        text += QStringLiteral("%1: %2 %3, %4 %5\n").arg(d.place(), firstLabel, d.first, secondLabel, d.second);
    if (differences.isEmpty())
        return QStringLiteral("No differences\n");
    return text + (differences.size() == 1 ? QStringLiteral("1 difference\n")
                                           : QStringLiteral("%1 differences\n").arg(differences.size()));
}

QJsonArray toJson(const QList<Difference> &differences, const QString &firstKey, const QString &secondKey)
{
    QJsonArray out;
    for (const Difference &d : differences) {
        QJsonObject o;
        switch (d.kind) {
        case Difference::MapCell:
            o = {{"field", "map"}, {"row", d.row}, {"column", d.column}, {"rpm", d.rpm}, {"load", d.load}};
            break;
        case Difference::BrakeColumn: o = {{"field", "brake"}, {"column", d.column}}; break;
        case Difference::Parameter: o = {{"field", "parameter"}, {"name", d.name}}; break;
        }
        o.insert(firstKey, d.first);
        o.insert(secondKey, d.second);
        out.append(o);
    }
    return out;
}

} // namespace TableDiff
