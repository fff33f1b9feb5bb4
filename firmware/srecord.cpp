#include "srecord.h"

#include <QFileInfo>
#include <QtNumeric>

#include <algorithm>
#include <cstring>

namespace {

// Every field the reader takes lies within the first 13 + 2 * 252 characters
// of a line; whatever a line holds beyond is read past, never kept, so a file
// with no line ends at all costs no more memory than a short one.
constexpr qsizetype KeptLineChars = 600;
constexpr qint64 ChunkBytes = 64 * 1024;

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Two characters read as hexadecimal, stopping at the first that is not hex.
int pairValue(QStringView pair) { return int(ReadHexField(pair)); }

// Characters pos to pos + n - 1 of a line, fewer or none where the line is short.
QByteArrayView field(QByteArrayView line, qsizetype pos, qsizetype n)
{
    const qsizetype from = qMin(pos, line.size());
    return line.sliced(from, qMin(n, line.size() - from));
}

// Latin-1 prefix and bytes into text, in the storage text already has.
void setLatin1(QString &text, QByteArrayView prefix, QByteArrayView bytes)
{
    text.resize(prefix.size() + bytes.size());
    QChar *out = text.data();
    for (const char c : prefix)
        *out++ = QChar(uchar(c));
    for (const char c : bytes)
        *out++ = QChar(uchar(c));
}

// The first CR or LF from `from` on, or `size`. memchr runs many times faster
// than a loop over the bytes; the searches go a window at a time, so that in a
// file with one kind of line end (or none) neither looks far past the line.
qsizetype lineEnd(const char *data, qsizetype from, qsizetype size)
{
    constexpr qsizetype Window = 512;
    for (qsizetype at = from; at < size; at += Window) {
        const auto span = size_t(qMin(Window, size - at));
        const auto *cr = static_cast<const char *>(std::memchr(data + at, '\r', span));
        const auto *lf = static_cast<const char *>(std::memchr(data + at, '\n', span));
        if (cr || lf)
            return (cr && lf ? qMin(cr, lf) : cr ? cr : lf) - data;
    }
    return size;
}

QString recordRefusal(const QString &addressText, const char *why)
{
    return QStringLiteral("Line ") + addressText + QLatin1String(why) + QStringLiteral("  Please recreate s19 file");
}

} // namespace

QString MakeLen8(QString &value)
{
    value = value.rightJustified(8, u'0');
    return value;
}

qint32 HexStrToDec(QStringView value, bool *ok)
{
    qint32 result = 0;
    if (ok)
        *ok = true;
    for (qsizetype i = 2; i <= value.size(); i += 2) {
        // Only the shift can overflow: what it leaves has room for any pair.
        if (qMulOverflow(result, qint32(256), &result)) {
            if (ok)
                *ok = false;
            return 0;
        }
        result += pairValue(value.mid(i - 2, 2));
    }
    return result;
}

qint64 ReadHexField(QStringView text)
{
    constexpr qint64 Max = 0xFFFFFFFFLL;
    qint64 value = 0;
    for (const QChar c : text) {
        const int d = hexDigit(c);
        if (d < 0)
            break;
        value = qMin(value * 16 + d, Max);
    }
    return value;
}

qint64 FlashEnd(Micro micro)
{
    switch (micro) {
    case Micro::JM32: return 0x7FFF;
    case Micro::AC256: return 0x3FFFF;
    case Micro::AC128: return 0x1FFFF;
    case Micro::JM64: break;
    }
    return 0xFFFF;
}

AddressWindow AddressWindow::fromFields(QStringView flashStart, QStringView bootloaderStart, QStringView bootloaderEnd,
                                        Micro micro)
{
    return {ReadHexField(flashStart), ReadHexField(bootloaderStart), ReadHexField(bootloaderEnd), FlashEnd(micro)};
}

std::uint8_t S19Record::dataByte(int k) const
{
    if (k > n)
        return 0;
    return std::uint8_t(pairValue(QStringView(dataText).mid(2 * (k - 1), 2)));
}

QByteArray S19Record::data() const
{
    QByteArray bytes;
    for (int k = 1; k <= n && 2 * k <= dataText.size(); ++k)
        bytes.append(char(dataByte(k)));
    return bytes;
}

bool S19Record::parse(QByteArrayView line, S19Record &record)
{
    if (line.size() < 2 || line[0] != 'S')
        return false;
    int addressDigits = 0;
    switch (line[1]) {
    case '1': addressDigits = 4; break;
    case '2': addressDigits = 6; break;
    case '3': addressDigits = 8; break;
    default: return false;
    }
    // The fields are refilled in place, straight from the line's bytes: a
    // reader parses thousands of lines into the same record, and keeping each
    // string's storage saves several allocations a line.
    const QByteArrayView address = field(line, 4, addressDigits);
    setLatin1(record.fileAddressText, {}, address);
    setLatin1(record.addressText, addressDigits == 4 ? "00" : QByteArrayView(), address);
    record.address = HexStrToDec(record.addressText, &record.addressFits);
    const QByteArrayView count = field(line, 2, 2);
    char16_t countText[2] = {};
    std::copy(count.begin(), count.end(), countText);
    record.n = HexStrToDec(QStringView(countText, count.size())) - (addressDigits / 2 + 1);
    const QByteArrayView data =
        record.n > 0 ? field(line, 4 + addressDigits, 2 * qsizetype(record.n)) : QByteArrayView();
    setLatin1(record.dataText, {}, data);
    return true;
}

bool S19Reader::open(const QString &fileName)
{
    close();
    // A device or a pipe named as the image would never reach an end.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile()) {
        m_error = QStringLiteral("The file %1 could not be opened: it is not a regular file.").arg(fileName);
        return false;
    }
    m_file.setFileName(fileName);
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("The file %1 could not be opened: %2.").arg(fileName, m_file.errorString());
        return false;
    }
    return rewind();
}

void S19Reader::close() { m_file.close(); }

// What is left of the last pass, or of another file, goes: the next read
// starts a chunk afresh, and the end of a pass tells anew whether it failed.
bool S19Reader::rewind()
{
    m_chunk.clear();
    return m_file.seek(0);
}

// A line ends at CR LF, at a lone CR or at a lone LF: S19 files come from
// tools on every platform, and one written with LF ends alone must not read as
// a single line that yields no record. CR and LF each end a line; the empty
// line between the two of a CR LF is no record, like any other.
bool S19Reader::readLine(QByteArray &line)
{
    line.resize(0); // keeps the storage for the next line
    bool any = false;
    for (;;) {
        if (m_pos >= m_chunk.size()) {
            m_chunk = m_file.read(ChunkBytes);
            m_pos = 0;
            if (m_chunk.isEmpty()) {
                m_readFailed = m_file.error() != QFileDevice::NoError;
                return any;
            }
        }
        const char *data = m_chunk.constData();
        const qsizetype size = m_chunk.size();
        any = true;
        const qsizetype end = lineEnd(data, m_pos, size);
        line.append(data + m_pos, qMin(KeptLineChars - line.size(), end - m_pos));
        if (end < size) {
            m_pos = end + 1;
            return true;
        }
        m_pos = end;
    }
}

S19Reader::Validation S19Reader::refuse(const QString &message)
{
    Validation v;
    v.message = message;
    return v;
}

S19Reader::Validation S19Reader::validate(const AddressWindow &window)
{
    qint32 total = 0;
    int records = 0;
    QByteArray line;
    S19Record r;
    while (readLine(line)) {
        if (!S19Record::parse(line, r))
            continue;
        // Addresses are worked on as 32-bit signed numbers, and no micro's flash
        // reaches that far: a file that uses such addresses is not one of ours.
        if (!r.addressFits)
            return refuse(recordRefusal(r.fileAddressText, " has an address above 7FFFFFFF, more than the tuner "
                                                           "can handle."));
        if (!window.accepts(r.address))
            continue;
        if (r.n % 4 != 0)
            return refuse(recordRefusal(r.fileAddressText, " not multiple of 4."));
        if (r.n < 0)
            return refuse(recordRefusal(r.fileAddressText, " has a byte count too small for its address."));
        // Four data reports carry 32 bytes; sending the rest of a longer record
        // would be silently lost while its header announces all of it.
        if (r.n > MaxRecordBytes)
            return refuse(recordRefusal(r.fileAddressText, " has more than 32 data bytes."));
        if (qAddOverflow(total, r.n, &total))
            return refuse(recordRefusal(r.fileAddressText, " takes the file's data beyond 2147483647 bytes, more "
                                                           "than the tuner can count."));
        ++records;
    }
    if (m_readFailed)
        return refuse(
            QStringLiteral("The file %1 could not be read: %2.").arg(m_file.fileName(), m_file.errorString()));
    Validation v;
    v.ok = true;
    v.total = total;
    v.records = records;
    return v;
}

bool S19Reader::next(const AddressWindow &window, S19Record &record)
{
    while (readLine(m_line)) {
        // An address above 7FFFFFFF was refused by the validation pass; should
        // the file have changed since, such a record is never sent.
        if (S19Record::parse(m_line, record) && record.addressFits && window.accepts(record.address))
            return true;
    }
    return false;
}
