#pragma once
// The S-record reader: which records of an S19 file are programmed, their
// check and byte total, and the records themselves in file order. There is no
// image in memory: the file is read twice from one open handle, a validation
// pass and, after a rewind, a sending pass that hands over one record at a time.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringView>
#include <cstdint>

// Pads the text with "0" in front to 8 characters, stores the result back and
// returns it; text of 8 or more characters is left as it is.
QString MakeLen8(QString &value);

// Reads the text two characters at a time from the left as hexadecimal bytes,
// most significant first: "004000" is 16384. A pair that is not hex counts as
// the value of its leading hex digit, or 0; an odd last character is dropped.
// A value beyond 32-bit signed range clears *ok and gives 0.
qint32 HexStrToDec(QStringView value, bool *ok = nullptr);

// A Settings field: hex digits from the left up to the first other character,
// empty text 0. Read as an unsigned value, so "8000" is 0x8000 and not a
// negative number that would widen or empty the window; more than 32 bits of
// digits saturate at 0xFFFFFFFF, which lies beyond every flash.
qint64 ReadHexField(QStringView text);

// The micro options, in the order the window shows them.
enum class Micro { JM64 = 0, JM32 = 1, AC256 = 2, AC128 = 3 };
qint64 FlashEnd(Micro micro);

// Which start addresses are programmed: inside the flash and outside the
// bootloader. Only a record's start address is tested.
struct AddressWindow {
    qint64 flashStart = 0x410;
    qint64 bootloaderStart = 0x410;
    qint64 bootloaderEnd = 0x3FFF;
    qint64 flashEnd = 0xFFFF;

    static AddressWindow fromFields(QStringView flashStart, QStringView bootloaderStart, QStringView bootloaderEnd,
                                    Micro micro);
    bool accepts(qint64 address) const
    {
        return flashStart <= address && address <= flashEnd && (address < bootloaderStart || address > bootloaderEnd);
    }
};

// One S1, S2 or S3 line cut at its fixed character positions. A short line
// gives short or empty fields; nothing is diagnosed here.
struct S19Record {
    QString fileAddressText; // the address digits as written: 4, 6 or 8
    QString addressText;     // as the module gets it: S1 addresses carry "00" in front
    qint32 address = 0;
    bool addressFits = true; // false when the address is beyond 32-bit signed range
    int n = 0;               // data byte count; negative when the count field is too small
    QString dataText;        // 2n characters, fewer on a short line

    // Data byte k, 1-based; 0 past the data the line holds.
    std::uint8_t dataByte(int k) const;
    // The record's data bytes as the line holds them (at most n).
    QByteArray data() const;

    // Nothing unless the line starts with "S1", "S2" or "S3" (case matters).
    static bool parse(QByteArrayView line, S19Record &record);
};

class S19Reader {
public:
    // The most data bytes one record can bring: the header has room for any
    // count, but only four data reports of 8 bytes go out per record.
    static constexpr int MaxRecordBytes = 32;

    bool open(const QString &fileName);
    // Why the last open that failed failed.
    QString errorMessage() const { return m_error; }
    bool isOpen() const { return m_file.isOpen(); }
    void close();

    struct Validation {
        bool ok = false;
        qint32 total = 0; // data bytes of the accepted records
        int records = 0;  // accepted records
        QString message;  // why the file is refused
    };
    // Checks every accepted record and sums its data bytes. Records the window
    // skips are not checked at all.
    Validation validate(const AddressWindow &window);

    // Back to the first line for the sending pass.
    bool rewind();
    // The next accepted record in file order; false at end of file.
    bool next(const AddressWindow &window, S19Record &record);

private:
    bool readLine(QByteArray &line);
    Validation refuse(const QString &message);

    QFile m_file;
    QString m_error;
    QByteArray m_chunk;
    QByteArray m_line; // the sending pass's line, kept from record to record
    qsizetype m_pos = 0;
    bool m_readFailed = false;
};
