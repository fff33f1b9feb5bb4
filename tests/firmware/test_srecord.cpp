// The S-record reader: field rules, the address window, both passes.
#include "srecord.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
QString writeFile(const QTemporaryDir &dir, const QByteArray &content)
{
    const QString path = dir.filePath(QStringLiteral("image.s19"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}
} // namespace

class TestSRecord : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void hexStrToDecReadsPairsFromTheLeft_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("fits");
        QTest::newRow("six digits") << "004000" << 0x4000 << true;
        QTest::newRow("odd length drops the last digit") << "3FF" << 0x3F << true;
        QTest::newRow("empty") << "" << 0 << true;
        QTest::newRow("pair stops at a non-hex character") << "4G" << 4 << true;
        QTest::newRow("pair starting non-hex") << "G4" << 0 << true;
        QTest::newRow("lower case") << "1f" << 0x1F << true;
        QTest::newRow("largest address") << "7FFFFFFF" << 0x7FFFFFFF << true;
        QTest::newRow("beyond 32 bits signed") << "80000000" << 0 << false;
    }
    void hexStrToDecReadsPairsFromTheLeft()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(bool, fits);
        bool ok = false;
        QCOMPARE(HexStrToDec(text, &ok), value);
        QCOMPARE(ok, fits);
    }

    void makeLen8PadsInPlace_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("padded");
        QTest::newRow("six digits") << "004000" << "00004000";
        QTest::newRow("eight digits") << "0001F000" << "0001F000";
        QTest::newRow("longer") << "123456789" << "123456789";
        QTest::newRow("empty") << "" << "00000000";
    }
    void makeLen8PadsInPlace()
    {
        QFETCH(QString, text);
        QFETCH(QString, padded);
        QCOMPARE(MakeLen8(text), padded);
        QCOMPARE(text, padded);
    }

    void settingsFieldsReadAsUnsignedHex_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value");
        QTest::newRow("default") << "3FFF" << qint64(0x3FFF);
        QTest::newRow("four digits from 8000 stay positive") << "8000" << qint64(0x8000);
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("stops at a non-hex character") << "12G4" << qint64(0x12);
        QTest::newRow("more than 32 bits saturate") << "123456789" << qint64(0xFFFFFFFF);
    }
    void settingsFieldsReadAsUnsignedHex()
    {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        QCOMPARE(ReadHexField(text), value);
    }

    void windowTestsStartAddress_data()
    {
        QTest::addColumn<QString>("flashStart");
        QTest::addColumn<QString>("bootEnd");
        QTest::addColumn<int>("micro");
        QTest::addColumn<int>("address");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("flash start") << "200" << "3FFF" << 0 << 0x200 << true;
        QTest::newRow("below flash start") << "200" << "3FFF" << 0 << 0x1FF << false;
        QTest::newRow("bootloader start") << "410" << "3FFF" << 0 << 0x410 << false;
        QTest::newRow("bootloader end") << "410" << "3FFF" << 0 << 0x3FFF << false;
        QTest::newRow("after the bootloader") << "410" << "3FFF" << 0 << 0x4000 << true;
        QTest::newRow("JM64 flash end") << "410" << "3FFF" << 0 << 0xFFFF << true;
        QTest::newRow("beyond JM64") << "410" << "3FFF" << 0 << 0x10000 << false;
        QTest::newRow("JM32 flash end") << "410" << "3FFF" << 1 << 0x7FFF << true;
        QTest::newRow("beyond JM32") << "410" << "3FFF" << 1 << 0x8000 << false;
        QTest::newRow("AC256 flash end") << "410" << "3FFF" << 2 << 0x3FFFF << true;
        QTest::newRow("beyond AC256") << "410" << "3FFF" << 2 << 0x40000 << false;
        QTest::newRow("AC128 flash end") << "410" << "3FFF" << 3 << 0x1FFFF << true;
        QTest::newRow("beyond AC128") << "410" << "3FFF" << 3 << 0x20000 << false;
        QTest::newRow("bootloader end 8000 is 0x8000") << "410" << "8000" << 0 << 0x8000 << false;
        QTest::newRow("after bootloader end 8000") << "410" << "8000" << 0 << 0x8001 << true;
    }
    void windowTestsStartAddress()
    {
        QFETCH(QString, flashStart);
        QFETCH(QString, bootEnd);
        QFETCH(int, micro);
        QFETCH(int, address);
        QFETCH(bool, accepted);
        const auto w = AddressWindow::fromFields(flashStart, u"410", bootEnd, Micro(micro));
        QCOMPARE(w.accepts(address), accepted);
    }

    void validationChecksAcceptedRecords_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("message");
        const QByteArray s16 = "S113400000112233445566778899AABBCCDDEEFF00";
        QTest::newRow("sixteen bytes pass") << s16 + "\r\n" << 16 << 1 << "";
        QTest::newRow("fifteen bytes at 8000 fail")
            << s16 + "\r\nS1128000000102030405060708090A0B0C0D0E00\r\n" << 0 << 0
            << "Line 8000 not multiple of 4.  Please recreate s19 file";
        QTest::newRow("skipped record is not checked") << QByteArray("S1121000000102030405060708090A0B0C0D0E00\r\n") << 0 << 0
                                                       << "";
        QTest::newRow("no data adds nothing") << QByteArray("S1034000B8\r\n") << 0 << 1 << "";
        QTest::newRow("record beyond flash end accepted whole")
            << QByteArray("S113FFF800112233445566778899AABBCCDDEEFF00\r\n") << 16 << 1 << "";
        QTest::newRow("more than 32 bytes") << QByteArray("S1274000") + QByteArray(72, '0') + "\r\n" << 0 << 0
                                            << "Line 4000 has more than 32 data bytes.  Please recreate s19 file";
        QTest::newRow("address beyond 32 bits") << QByteArray("S30980000000AABBCCDD00\r\n") << 0 << 0
                                                << "Line 80000000 has an address beyond 32 bits.  Please recreate "
                                                   "s19 file";
        QTest::newRow("count too small")
            << QByteArray("S200004000\r\n") << 0 << 0
            << "Line 004000 has a byte count too small for its address.  Please recreate s19 file";
        QTest::newRow("lone LF ends lines") << s16 + "\n" + s16 + "\n" + s16 << 48 << 3 << "";
        QTest::newRow("lone CR ends lines") << s16 + "\r" + s16 + "\r" << 32 << 2 << "";
        QTest::newRow("mixed line ends") << s16 + "\r\n\r\n" + s16 + "\n\r" + s16 << 48 << 3 << "";
        QTest::newRow("long line kept short") << s16 + QByteArray(100000, 'F') + "\n" + s16 << 32 << 2 << "";
        QTest::newRow("binary noise") << QByteArray("\x00\xFFS\x01\x02S1\x7F\r\n", 10) + s16 << 16 << 1 << "";
    }
    void validationChecksAcceptedRecords()
    {
        QFETCH(QByteArray, file);
        S19Reader reader;
        QVERIFY(reader.open(writeFile(dir, file)));
        const auto v = reader.validate(AddressWindow{});
        QTEST(v.message, "message");
        QCOMPARE(v.ok, v.message.isEmpty());
        if (v.ok) {
            QTEST(v.total, "total");
            QTEST(v.records, "records");
        }
    }

    void sendingPassYieldsAcceptedRecordsInFileOrder()
    {
        // Fields sit at fixed positions: S1 addresses get "00" in front, S2 and
        // S3 keep theirs; other lines, lower-case "s1" among them, never count.
        const QByteArray file = "S00600004844521B\r\n"
                                "S107500011223344AA\r\n"
                                "s107600011223344AA\r\n"
                                "S10704100000000000\r\n"
                                "S20801F000556677889900\r\n"
                                "S3090002000099AABBCC00\r\n"
                                "S1134000AB\r\n"
                                "S9030000FC\r\n";
        const auto window = AddressWindow::fromFields(u"410", u"410", u"3FFF", Micro::AC256);
        S19Reader reader;
        QVERIFY(reader.open(writeFile(dir, file)));
        QVERIFY(reader.validate(window).ok);
        QVERIFY(reader.rewind());
        S19Record r;
        QStringList seen;
        while (reader.next(window, r))
            seen << QStringLiteral("%1 %2:%3").arg(r.addressText).arg(r.n).arg(QString::fromLatin1(r.data().toHex()));
        QCOMPARE(seen, QStringList({"005000 4:11223344", "01F000 4:55667788", "00020000 4:99aabbcc", "004000 16:ab"}));
    }

    void openNamesAFileItCannotOpen()
    {
        S19Reader reader;
        const QString missing = dir.filePath(QStringLiteral("gone.s19"));
        QVERIFY(!reader.open(missing));
        QVERIFY2(reader.errorMessage().contains(missing), qPrintable(reader.errorMessage()));
        QVERIFY(!reader.open(dir.path()));
        QVERIFY(reader.errorMessage().contains(dir.path()));
    }
};

QTEST_GUILESS_MAIN(TestSRecord)
#include "test_srecord.moc"
