// The .dat file: its bytes and order, bad files, and the Open and Save
// commands with their questions and messages.
#include "calibrationfile.h"
#include "rig.h"
#include "simcalibration.h"

#include <QBuffer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

QByteArray record(quint16 tag, double value)
{
    QByteArray bytes(tag == 5 ? 10 : 4, '\0');
    qToLittleEndian<quint16>(tag, bytes.data());
    if (tag == 5)
        qToLittleEndian<double>(value, bytes.data() + 2);
    else
        qToLittleEndian<qint16>(qint16(value), bytes.data() + 2);
    return bytes;
}

// The 279 numbers 1, 2, 3, ... and a name.
QByteArray numberedFile(const QString &name)
{
    QByteArray bytes;
    for (int i = 1; i <= 279; ++i)
        bytes += record(5, i);
    for (QChar ch : name)
        bytes += record(2, ch.unicode());
    return bytes + record(2, 0);
}

QByteArray save(CalibrationTables &tables, FileError *error = nullptr)
{
    SetUpGrids(tables);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const FileError e = CalibrationFile::write(tables, buffer);
    if (error)
        *error = e;
    return buffer.data();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

const QString Filter = QStringLiteral("Data Files (*.dat)|*.dat|All Files (*.*)|*.*");

} // namespace

class TestCalibrationFile : public QObject {
    Q_OBJECT
private slots:
    void recordsAreTaggedAndLittleEndian_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("tail");
        QTest::newRow("AB") << "AB" << 2802 << QByteArray::fromHex("020041000200420002000000");
        QTest::newRow("empty name") << "" << 2794 << QByteArray::fromHex("02000000");
    }
    void recordsAreTaggedAndLittleEndian()
    {
        QFETCH(QString, name);
        QFETCH(int, size);
        QFETCH(QByteArray, tail);
        CalibrationTables t;
        t.map().setTextMatrix(1, 1, QStringLiteral("45"));
        t.map().setTextMatrix(16, 16, QStringLiteral("12.5"));
        t.brake().setTextMatrix(0, 1, QStringLiteral("abc"));
        t.params().setTextMatrix(BoardName, 1, name);
        const QByteArray bytes = save(t);
        QCOMPARE(bytes.left(10), QByteArray::fromHex("05000000000000804640"));
        QCOMPARE(bytes.mid(2550, 10), record(5, 12.5));
        QCOMPARE(bytes.mid(2560, 10), record(5, 0));
        QCOMPARE(bytes.size(), size);
        QVERIFY(bytes.endsWith(tail));
    }

    void axisParametersKeepTheFileOrder()
    {
        CalibrationTables t;
        for (int r = 0; r < 7; ++r)
            t.params().setTextMatrix(r, 1, QString::number(r + 1));
        const QByteArray bytes = save(t);
        const int rowAt[] = {0, 1, 2, 3, 5, 4, 6}; // "LOAD Start" before "RPM Increment"
        for (int i = 0; i < 7; ++i)
            QCOMPARE(bytes.mid(2720 + 10 * i, 10), record(5, rowAt[i] + 1));

        CalibrationTables back;
        SetUpGrids(back);
        QBuffer in;
        in.setData(numberedFile(QStringLiteral("X")));
        in.open(QIODevice::ReadOnly);
        QVERIFY(!CalibrationFile::read(back, in));
        QCOMPARE(back.param(RpmStart), QStringLiteral("276"));
        QCOMPARE(back.param(LoadStart), QStringLiteral("277"));
        QCOMPARE(back.param(RpmIncrement), QStringLiteral("278"));
        QCOMPARE(back.param(LoadIncrement), QStringLiteral("279"));
    }

    void badFilesStopAtTheFirstBadRecord_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("numbersRead"); // cells filled before the error
        QTest::addColumn<QString>("name");
        const QByteArray whole = numberedFile(QStringLiteral("AB"));
        QTest::newRow("empty") << QByteArray() << 62 << 0 << "";
        QTest::newRow("ends in the map") << whole.left(1000) << 62 << 100 << "";
        QTest::newRow("ends inside a record") << whole.left(1005) << 62 << 100 << "";
        QTest::newRow("ends before the name terminator") << whole.left(2798) << 62 << 279 << "AB";
        QTest::newRow("text file") << QByteArray("Hello, no calibration here\r\n") << 13 << 0 << "";
        QTest::newRow("foreign tag") << whole.left(1000) + QByteArray::fromHex("0300") << 13 << 100 << "";
        QTest::newRow("name code 256") << whole.left(2794) + record(2, 256) << 5 << 279 << "A";
        QTest::newRow("negative name code") << whole.left(2790) + record(2, -1) << 5 << 279 << "";
        QTest::newRow("fractional name code") << whole.left(2790) + record(5, 65.5) << 5 << 279 << "";
        QByteArray endless = whole.left(2790);
        for (int i = 0; i <= CalibrationFile::MaxNameLength; ++i)
            endless += record(2, 'Z');
        QTest::newRow("name without end") << endless << 14 << 279 << QString(CalibrationFile::MaxNameLength, u'Z');
    }
    void badFilesStopAtTheFirstBadRecord()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, number);
        QFETCH(int, numbersRead);
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.dat"));
        writeFile(path, bytes);
        Rig rig;
        auto &t = rig.window->tables;
        for (int r = 0; r < 7; ++r)
            t.params().setTextMatrix(r, 1, QStringLiteral("old"));
        t.map().setTextMatrix(16, 16, QStringLiteral("old"));
        t.map().setTextMatrix(0, 5, QStringLiteral("old heading"));
        rig.dialogs.fileAnswers.enqueue(path);
        rig.window->mnuOpen_Click();
        const QString text = CalibrationFile::errorMessage(CalibrationFile::error(CalibrationFile::ErrorNumber(number)),
                                                           QStringLiteral("Marlow VGT Tuner"));
        QVERIFY(text.startsWith(QStringLiteral("Error # ") + QLatin1Char(' ') + QString::number(number)));
        QCOMPARE(rig.dialogs.messages(), QStringList{text});
        QCOMPARE(rig.dialogs.shown.last().title, QStringLiteral("Error"));
        // The values read before the failure are in their cells, the rest untouched.
        QCOMPARE(t.map().TextMatrix(7, 4), numbersRead >= 100 ? QStringLiteral("100") : QString());
        QCOMPARE(t.map().TextMatrix(7, 5), numbersRead > 100 ? QStringLiteral("101") : QString());
        QCOMPARE(t.map().TextMatrix(16, 16), numbersRead >= 256 ? QStringLiteral("256") : QStringLiteral("old"));
        QCOMPARE(t.param(LoadIncrement), numbersRead >= 279 ? QStringLiteral("279") : QStringLiteral("old"));
        QCOMPARE(t.param(BoardName), name);
        QCOMPARE(t.map().TextMatrix(0, 5), QStringLiteral("old heading"));
    }

    void nameBeyondTheCharacterSetStopsTheSave()
    {
        CalibrationTables t;
        t.params().setTextMatrix(BoardName, 1, QStringLiteral("A\u03a9"));
        FileError e;
        QCOMPARE(save(t, &e).size(), 2790 + 4); // written up to the bad character
        QCOMPARE(e.number, 5);
    }

    void errorTextCarriesNumberComponentAndDescription()
    {
        QCOMPARE(CalibrationFile::errorMessage(CalibrationFile::error(CalibrationFile::FileNotFound),
                                               QStringLiteral("Marlow VGT Tuner")),
                 QStringLiteral("Error #  53 was generated by Marlow VGT Tuner\rFile not found"));
    }

    void saveAndOpenGiveBackTheCellsAndTheHeadings()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cal.dat"));
        Rig rig;
        auto &t = rig.window->tables;
        for (int r = 1; r <= 16; ++r)
            for (int c = 1; c <= 16; ++c)
                t.map().setTextMatrix(r, c, QString::number(r * 3 + c));
        t.map().setTextMatrix(2, 2, QStringLiteral("12.5"));
        t.map().setTextMatrix(2, 3, QStringLiteral("abc"));
        t.map().setTextMatrix(2, 4, QString());
        t.map().setTextMatrix(2, 5, QStringLiteral("50abc"));
        t.brake().setTextMatrix(0, 16, QStringLiteral("88"));
        const QStringList params{"90", "30", "150", "1000", "250", "0", "6.5", "KTRM 2"};
        for (int r = 0; r < 8; ++r)
            t.params().setTextMatrix(r, 1, params[r]);
        rig.dialogs.fileAnswers << path << path;
        rig.window->mnuSave_Click();
        QCOMPARE(QPoint(t.map().Col(), t.map().Row()), QPoint(16, 16));
        QCOMPARE(QPoint(t.params().Col(), t.params().Row()), QPoint(1, 7));
        rig.window->mnuClearTable_Click();
        rig.window->mnuOpen_Click();

        const auto &shown = rig.dialogs.shown;
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[0].kind + '|' + shown[0].title + '|' + shown[0].filter, "Save|Save Calibration As|" + Filter);
        QCOMPARE(shown[1].kind + '|' + shown[1].title + '|' + shown[1].text,
                 QStringLiteral("MsgBox|Marlow VGT Tuner|Save Complete"));
        QCOMPARE(shown[2].kind + '|' + shown[2].title + '|' + shown[2].filter, "Open|Open file to Program|" + Filter);
        QCOMPARE(t.map().TextMatrix(2, 2), QStringLiteral("12.5"));
        QCOMPARE(t.map().TextMatrix(2, 3), QStringLiteral("0"));
        QCOMPARE(t.map().TextMatrix(2, 4), QStringLiteral("0"));
        QCOMPARE(t.map().TextMatrix(2, 5), QStringLiteral("50"));
        QCOMPARE(t.map().TextMatrix(16, 16), QStringLiteral("64"));
        QCOMPARE(t.brake().TextMatrix(0, 16), QStringLiteral("88"));
        for (int r = 0; r < 8; ++r)
            QCOMPARE(t.params().TextMatrix(r, 1), params[r]);
        // The headings are rebuilt though the file does not hold them.
        const QStringList rpm{"0", "1000", "1250", "4500"}, load{"0", "0%", "6.5%", "91%"};
        const int at[] = {1, 2, 3, 16};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(t.map().TextMatrix(0, at[i]), rpm[i]);
            QCOMPARE(t.map().TextMatrix(at[i], 0), load[i]);
        }
        QCOMPARE(QPoint(t.map().Col(), t.map().Row()), QPoint(0, 16));
        QCOMPARE(t.brake().Col(), 16);
        QCOMPARE(QPoint(t.params().Col(), t.params().Row()), QPoint(1, 7));
    }

    void saveAsksBeforeOverwriting_data()
    {
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<bool>("yes");
        const QByteArray longer = QByteArray("an older, longer file that is no calibration at all").repeated(100);
        QTest::newRow("No keeps the file") << longer << false;
        QTest::newRow("Yes replaces it") << longer << true;
        QTest::newRow("an empty file is not asked about") << QByteArray("") << false;
    }
    void saveAsksBeforeOverwriting()
    {
        QFETCH(QByteArray, old);
        QFETCH(bool, yes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cal.dat"));
        writeFile(path, old);
        Rig rig;
        rig.dialogs.fileAnswers.enqueue(path);
        rig.dialogs.yesNoAnswers.enqueue(yes);
        rig.window->mnuSave_Click();
        const bool asked = !old.isEmpty();
        if (asked) {
            QCOMPARE(rig.dialogs.shown[1].kind, QStringLiteral("YesNo"));
            QCOMPARE(rig.dialogs.shown[1].title, QStringLiteral("Confirm Overwrite Operation"));
            QCOMPARE(rig.dialogs.shown[1].text,
                     "The Filename " + path + " already exists.\rWould you like to overwrite this file?");
        }
        const bool saved = yes || !asked;
        QCOMPARE(rig.dialogs.messages(), saved ? QStringList{QStringLiteral("Save Complete")} : QStringList{});
        QCOMPARE(rig.dialogs.shown.size(), 1 + int(asked) + int(saved));
        if (saved)
            QCOMPARE(readFile(path).size(), 2794);
        else
            QCOMPARE(readFile(path), old);
    }

    void cancelledDialogsEndSilently()
    {
        Rig rig;
        rig.window->tables.map().setTextMatrix(3, 3, QStringLiteral("5"));
        rig.window->mnuOpen_Click();
        rig.window->mnuSave_Click();
        QCOMPARE(rig.dialogs.shown.size(), 2); // the two file dialogs and nothing else
        QCOMPARE(rig.window->tables.map().TextMatrix(3, 3), QStringLiteral("5"));
    }

    void pathFailuresShowTheErrorBox_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("file"); // inside a fresh folder
        QTest::addColumn<QString>("text");
        QTest::newRow("open a missing file")
            << "open" << "missing.dat" << " 53 was generated by Marlow VGT Tuner\rFile not found";
        QTest::newRow("open a folder")
            << "open" << "." << " 75 was generated by Marlow VGT Tuner\rPath/File access error";
        QTest::newRow("save into a missing folder")
            << "save" << "no/such/cal.dat" << " 76 was generated by Marlow VGT Tuner\rPath not found";
        QTest::newRow("save over a folder")
            << "save" << "." << " 70 was generated by Marlow VGT Tuner\rPermission denied";
    }
    void pathFailuresShowTheErrorBox()
    {
        QFETCH(QString, command);
        QFETCH(QString, file);
        QFETCH(QString, text);
        QTemporaryDir dir;
        Rig rig;
        rig.dialogs.fileAnswers.enqueue(dir.filePath(file));
        if (command == QLatin1String("open"))
            rig.window->mnuOpen_Click();
        else
            rig.window->mnuSave_Click();
        QCOMPARE(rig.dialogs.shown.size(), 2);
        QCOMPARE(rig.dialogs.shown[1].title, QStringLiteral("Error"));
        QCOMPARE(rig.dialogs.shown[1].text, "Error # " + text);
    }

    void openCommitsAnOpenEditBeforeLoading()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("short.dat"));
        writeFile(path, record(5, 7));
        Rig rig;
        auto &w = *rig.window;
        int code = '9';
        w.GridEdit1(code); // on row 1, column 1
        rig.dialogs.fileAnswers.enqueue(path);
        w.mnuOpen_Click();
        // The edit went in first and the file's one number replaced it; the
        // edit did not land again when Open moved on.
        QCOMPARE(w.tables.map().TextMatrix(1, 1), QStringLiteral("7"));
        QVERIFY(w.Text1->isHidden());
    }

    void factoryExampleHoldsTheVirtualModulesCalibration()
    {
        QFile file(QStringLiteral(EXAMPLES_DIR "/factory-calibration.dat"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        CalibrationTables t;
        SetUpGrids(t);
        QVERIFY(!CalibrationFile::read(t, file));
        const HeldCalibration factory = HeldCalibration::factory();
        for (int r = 1; r <= 16; ++r)
            for (int c = 1; c <= 16; ++c)
                QCOMPARE(t.map().TextMatrix(r, c), QString::number(factory.cell(r, c)));
        QCOMPARE(t.brake().TextMatrix(0, 16), QString::number(factory.brake[15]));
        QCOMPARE(t.param(LoadStart), QString::number(factory.loadStart));
        QCOMPARE(t.param(BoardName), QString::fromLatin1(factory.boardName));
    }
};

QTEST_MAIN(TestCalibrationFile)
#include "test_calibrationfile.moc"
