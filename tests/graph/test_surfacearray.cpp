// The surface array the graph is drawn from: where each map cell lands, and
// what a cell's text counts as.
#include "flexgrid.h"
#include "surfacearray.h"

#include <QTest>
#include <cfloat>

namespace {
FlexGrid makeMap() { return FlexGrid(17, 17, 1, 1); }

// Every element that is not 0, as "i,j=value".
QStringList nonZero(const SurfaceArray &a)
{
    QStringList out;
    for (int i = 0; i < SurfaceSize; ++i)
        for (int j = 0; j < SurfaceSize; ++j)
            if (a[i][j] != 0.0f)
                out << QStringLiteral("%1,%2=%3").arg(i).arg(j).arg(double(a[i][j]));
    return out;
}
} // namespace

class TestSurfaceArray : public QObject {
    Q_OBJECT
private slots:
    void placesEachCellReversedOnBothIndices_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("element");
        QTest::newRow("first row, first column") << 1 << 1 << "16,16=7";
        QTest::newRow("first row, last column") << 1 << 16 << "1,16=7";
        QTest::newRow("last row, first column") << 16 << 1 << "16,1=7";
        QTest::newRow("last row, last column") << 16 << 16 << "1,1=7";
        QTest::newRow("row and column differ") << 3 << 9 << "8,14=7";
    }
    void placesEachCellReversedOnBothIndices()
    {
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, element);
        FlexGrid map = makeMap();
        map.setTextMatrix(row, col, QStringLiteral("7"));
        QCOMPARE(nonZero(FillSurfaceArray(map)), QStringList{element});
    }

    void leavesIndexZeroAtZeroAndSkipsTheHeadings()
    {
        FlexGrid map = makeMap();
        for (int r = 0; r <= 16; ++r)
            for (int c = 0; c <= 16; ++c)
                map.setTextMatrix(r, c, r == 0 || c == 0 ? QStringLiteral("3000") : QStringLiteral("40"));
        const SurfaceArray a = FillSurfaceArray(map);
        for (int i = 0; i < SurfaceSize; ++i)
            for (int j = 0; j < SurfaceSize; ++j)
                QCOMPARE(a[i][j], i == 0 || j == 0 ? 0.0f : 40.0f);
    }

    void countsEachCellAsItsCellValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<float>("single");
        QTest::newRow("trailing text") << "50abc" << 50.0 << 50.0f;
        QTest::newRow("empty") << "" << 0.0 << 0.0f;
        QTest::newRow("fraction") << "12.5" << 12.5 << 12.5f;
        QTest::newRow("negative") << "-5" << -5.0 << -5.0f;
        QTest::newRow("over a byte") << "255" << 255.0 << 255.0f;
        QTest::newRow("beyond a single") << "1E300" << 1e300 << FLT_MAX;
        QTest::newRow("beyond a single, negative") << "-1E300" << -1e300 << -FLT_MAX;
    }
    void countsEachCellAsItsCellValue()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(float, single);
        FlexGrid map = makeMap();
        map.setTextMatrix(5, 2, text);
        QCOMPARE(ReadSurfaceValues(map)[15][12], value);
        QCOMPARE(FillSurfaceArray(map)[15][12], single);
    }
};

QTEST_GUILESS_MAIN(TestSurfaceArray)
#include "test_surfacearray.moc"
