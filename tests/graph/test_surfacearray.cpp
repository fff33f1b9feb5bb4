// The surface array the graph is drawn from: where each map cell lands, and
// what a cell's text counts as.
#include "flexgrid.h"
#include "surfacearray.h"

#include <QTest>
#include <cfloat>

class TestSurfaceArray : public QObject {
    Q_OBJECT
private slots:
    // One map cell holds the text; the headings hold 3000 and every other element stays 0,
    // index 0 included.
    void placesEachCellReversedOnBothIndices_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QPoint>("element"); // (i, j)
        QTest::addColumn<double>("value");
        QTest::addColumn<float>("single");
        QTest::newRow("row and column differ") << 3 << 9 << "7" << QPoint(8, 14) << 7.0 << 7.0f;
        QTest::newRow("first row, first column") << 1 << 1 << "12.5" << QPoint(16, 16) << 12.5 << 12.5f;
        QTest::newRow("last row, last column, over a byte") << 16 << 16 << "255" << QPoint(1, 1) << 255.0 << 255.0f;
        QTest::newRow("beyond a single") << 5 << 2 << "1E300" << QPoint(15, 12) << 1e300 << FLT_MAX;
        QTest::newRow("beyond a single, negative") << 5 << 2 << "-1E300" << QPoint(15, 12) << -1e300 << -FLT_MAX;
    }
    void placesEachCellReversedOnBothIndices()
    {
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, text);
        QFETCH(QPoint, element);
        QFETCH(double, value);
        QFETCH(float, single);
        FlexGrid map(17, 17, 1, 1);
        for (int k = 0; k <= 16; ++k) {
            map.setTextMatrix(0, k, QStringLiteral("3000"));
            map.setTextMatrix(k, 0, QStringLiteral("3000"));
        }
        map.setTextMatrix(row, col, text);
        const SurfaceValues values = ReadSurfaceValues(map);
        const SurfaceArray singles = FillSurfaceArray(map);
        for (int i = 0; i < SurfaceSize; ++i) {
            for (int j = 0; j < SurfaceSize; ++j) {
                const bool here = QPoint(i, j) == element;
                QCOMPARE(values[i][j], here ? value : 0.0);
                QCOMPARE(singles[i][j], here ? single : 0.0f);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSurfaceArray)
#include "test_surfacearray.moc"
