// The S-record reader: field rules, the address window, both passes.
#include "srecord.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
void hexRow(const char *name, const char *function, const char *text, const char *result)
{
    QTest::newRow(name) << QString::fromLatin1(function) << QString::fromLatin1(text) << QString::fromLatin1(result);
}

// A file of one S3 record of 4 bytes at `address`, read through the given window fields.
void windowRow(const char *name, const char *flashStart, const char *bootEnd, Micro micro, int address, bool accepted)
{
    QTest::newRow(name) << "S309" + QByteArray::number(address, 16).toUpper().rightJustified(8, '0') + "0000000000"
                        << QString::fromLatin1(flashStart) << QString::fromLatin1(bootEnd) << int(micro)
                        << QString::fromLatin1(accepted ? "4/1" : "0/0");
}

// A file read through the default window.
void fileRow(const char *name, const QByteArray &file, const QString &outcome)
{
    QTest::newRow(name) << file << QStringLiteral("410") << QStringLiteral("3FFF") << int(Micro::JM64) << outcome;
}
} // namespace

class TestSRecord : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    // A reader open on a file holding `content`.
    void open(S19Reader &reader, const QByteArray &content)
    {
        QFile f(dir.filePath(QStringLiteral("image.s19")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size());
        f.close();
        QVERIFY(reader.open(f.fileName()));
    }

private slots:
    void hexTextReadsAsTheRunNeedsIt_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result"); // HexStrToDec in decimal, "overflow" when it clears ok
        hexRow("six digits", "HexStrToDec", "004000", "16384");
        hexRow("odd length drops the last digit", "HexStrToDec", "3FF", "63");
        hexRow("pair stops at a non-hex character", "HexStrToDec", "4G", "4");
        hexRow("pair starting non-hex", "HexStrToDec", "G4", "0");
        hexRow("lower case", "HexStrToDec", "1f", "31");
        hexRow("largest address", "HexStrToDec", "7FFFFFFF", "2147483647");
        hexRow("beyond 32 bits signed", "HexStrToDec", "80000000", "overflow");
        hexRow("pads six digits", "MakeLen8", "004000", "00004000");
        hexRow("keeps eight digits", "MakeLen8", "0001F000", "0001F000");
        hexRow("keeps longer text", "MakeLen8", "123456789", "123456789");
    }
    void hexTextReadsAsTheRunNeedsIt()
    {
        QFETCH(QString, function);
        QFETCH(QString, text);
        if (function == u"HexStrToDec") {
            bool ok = false;
            const qint32 value = HexStrToDec(text, &ok);
            QTEST(ok ? QString::number(value) : QStringLiteral("overflow"), "result");
            QVERIFY(ok || value == 0);
        } else {
            QTEST(MakeLen8(text), "result");
            QTEST(text, "result"); // stored back in place
        }
    }

    void validationChecksAcceptedRecords_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("flashStart");
        QTest::addColumn<QString>("bootEnd");
        QTest::addColumn<int>("micro");
        QTest::addColumn<QString>("outcome"); // "total/records", or the message refusing the file
        // Only a record's start address is tested against the window.
        windowRow("flash start", "200", "3FFF", Micro::JM64, 0x200, true);
        windowRow("below flash start", "200", "3FFF", Micro::JM64, 0x1FF, false);
        windowRow("bootloader start", "410", "3FFF", Micro::JM64, 0x410, false);
        windowRow("bootloader end", "410", "3FFF", Micro::JM64, 0x3FFF, false);
        windowRow("JM64 flash end", "410", "3FFF", Micro::JM64, 0xFFFF, true);
        windowRow("beyond JM64", "410", "3FFF", Micro::JM64, 0x10000, false);
        windowRow("JM32 flash end", "410", "3FFF", Micro::JM32, 0x7FFF, true);
        windowRow("beyond JM32", "410", "3FFF", Micro::JM32, 0x8000, false);
        windowRow("AC256 flash end", "410", "3FFF", Micro::AC256, 0x3FFFF, true);
        windowRow("beyond AC256", "410", "3FFF", Micro::AC256, 0x40000, false);
        windowRow("AC128 flash end", "410", "3FFF", Micro::AC128, 0x1FFFF, true);
        windowRow("beyond AC128", "410", "3FFF", Micro::AC128, 0x20000, false);
        // Fields read unsigned: "8000" neither widens nor empties the window, and
        // more than 32 bits of digits stay beyond every flash.
        windowRow("bootloader end 8000 is 0x8000", "410", "8000", Micro::JM64, 0x8000, false);
        windowRow("after bootloader end 8000", "410", "8000", Micro::JM64, 0x8001, true);
        windowRow("bootloader end beyond 32 bits", "410", "FFFFFFFFFFFFFFFFF", Micro::JM64, 0x4000, false);
        windowRow("field stops at a non-hex character", "2G0", "3FFF", Micro::JM64, 0x2, true);
        windowRow("empty field reads 0", "", "3FFF", Micro::JM64, 0x0, true);
        const QByteArray s16 = "S113400000112233445566778899AABBCCDDEEFF00";
        const QByteArray s15At8000 = "S1128000000102030405060708090A0B0C0D0E00";
        fileRow("sixteen bytes pass", s16, "16/1");
        fileRow("fifteen bytes at 8000 fail", s16 + "\r\n" + s15At8000,
                "Line 8000 not multiple of 4.  Please recreate s19 file");
        fileRow("skipped record is not checked", QByteArray(s15At8000).replace(4, 1, "1"), "0/0");
        fileRow("no data adds nothing", "S1034000B8", "0/1");
        fileRow("record past flash end accepted whole", QByteArray(s16).replace(4, 4, "FFF8"), "16/1");
        fileRow("more than 32 bytes", "S1274000" + QByteArray(72, '0'),
                "Line 4000 has more than 32 data bytes.  Please recreate s19 file");
        fileRow("address beyond 32 bits", "S30980000000AABBCCDD00",
                "Line 80000000 has an address beyond 32 bits.  Please recreate s19 file");
        fileRow("count too small", "S200004000",
                "Line 004000 has a byte count too small for its address.  Please recreate s19 file");
        fileRow("lone LF ends lines", s16 + "\n" + s16 + "\n" + s16, "48/3");
        fileRow("mixed line ends", s16 + "\r\n\r\n" + s16 + "\n\r" + s16, "48/3");
        fileRow("long line across chunks", s16 + QByteArray(100000, 'F') + "\n" + s16, "32/2");
    }
    void validationChecksAcceptedRecords()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, flashStart);
        QFETCH(QString, bootEnd);
        QFETCH(int, micro);
        S19Reader reader;
        open(reader, file);
        const auto v = reader.validate(AddressWindow::fromFields(flashStart, u"410", bootEnd, Micro(micro)));
        QCOMPARE(v.ok, v.message.isEmpty());
        QTEST(v.ok ? QStringLiteral("%1/%2").arg(v.total).arg(v.records) : v.message, "outcome");
    }

    void sendingPassYieldsAcceptedRecordsInFileOrder()
    {
        // Fields sit at fixed positions: S1 addresses get "00" in front, S2 and
        // S3 keep theirs; other lines, lower-case "s1" among them, never count.
        const auto window = AddressWindow::fromFields(u"410", u"410", u"3FFF", Micro::AC256);
        S19Reader reader;
        open(reader, "S00600004844521B\r\nS107500011223344AA\r\ns107600011223344AA\r\nS10704100000000000\r\n"
                     "S20801F000556677889900\r\nS3090002000099AABBCC00\r\nS1134000AB\r\nS9030000FC\r\n");
        QVERIFY(reader.validate(window).ok && reader.rewind());
        S19Record r;
        QStringList seen;
        while (reader.next(window, r))
            seen << QStringLiteral("%1 %2:%3").arg(r.addressText).arg(r.n).arg(QString::fromLatin1(r.data().toHex()));
        QCOMPARE(seen, QStringList({"005000 4:11223344", "01F000 4:55667788", "00020000 4:99aabbcc", "004000 16:ab"}));
    }
};

QTEST_GUILESS_MAIN(TestSRecord)
#include "test_srecord.moc"
