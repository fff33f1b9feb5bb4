#include "hidapibackend.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <hidapi/hidapi.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <unistd.h>

namespace {
// What the transport's 9-byte payload buffers hold, report ID byte included.
constexpr int MaxInputLength = 10;
constexpr int MaxOutputLength = 9;

bool textMatches(const wchar_t *have, const char *wanted)
{
    return !wanted || (have && QString::fromWCharArray(have) == QString::fromLatin1(wanted));
}
} // namespace

HidApiBackend::HidApiBackend(const QString &descriptorFolder) : m_descriptorFolder(descriptorFolder) { hid_init(); }

HidApiBackend::~HidApiBackend()
{
    close();
    hid_exit();
}

void HidApiBackend::close()
{
    if (m_device) {
        hid_close(reinterpret_cast<hid_device *>(m_device));
        m_device = nullptr;
    }
}

int HidApiBackend::Open(int vendorId, int productId, const char *manufacturer, const char *serial,
                        const char *deviceName, int)
{
    hid_device_info *list =
        hid_enumerate(static_cast<unsigned short>(vendorId), static_cast<unsigned short>(productId));
    QByteArray path;
    int seen = 0;
    for (auto *d = list; d && path.isEmpty(); d = d->next) {
        const bool matches = textMatches(d->product_string, deviceName) &&
                             textMatches(d->manufacturer_string, manufacturer) && textMatches(d->serial_number, serial);
        if (matches && seen++ == m_instance)
            path = d->path;
    }
    hid_free_enumeration(list);
    m_problem = OpenProblem::NoDevice;
    if (path.isEmpty())
        return 0;

    ReportLengths lengths;
    // Linux shows the descriptor of /dev/hidraw3 under the node's name, hidraw3.
    const QString node = QFileInfo(QString::fromLocal8Bit(path)).fileName();
    QFile descriptor(QStringLiteral("%1/%2/device/report_descriptor").arg(m_descriptorFolder, node));
    if (descriptor.open(QIODevice::ReadOnly))
        lengths = reportLengthsFromDescriptor(descriptor.readAll());
    if (lengths.input > MaxInputLength || lengths.output > MaxOutputLength)
        return 0; // more than the transport's buffers can carry

    close();
    m_device = reinterpret_cast<hid_device_ *>(hid_open_path(path.constData()));
    if (!m_device) {
        m_problem = problemOpening(path);
        return 0;
    }
    hid_set_nonblocking(reinterpret_cast<hid_device *>(m_device), 1);
    m_inputLength = lengths.input;
    m_outputLength = lengths.output;
    m_problem = OpenProblem::None;
    return 1;
}

std::vector<UsbHidApi::DeviceInfo> HidApiBackend::Enumerate(int vendorId, int productId)
{
    std::vector<DeviceInfo> devices;
    hid_device_info *list =
        hid_enumerate(static_cast<unsigned short>(vendorId), static_cast<unsigned short>(productId));
    for (auto *d = list; d; d = d->next) {
        const QString product = d->product_string ? QString::fromWCharArray(d->product_string) : QString();
        devices.push_back({product.toStdString(), d->path ? d->path : "",
                           !d->path || problemOpening(d->path) != OpenProblem::NotPermitted});
    }
    hid_free_enumeration(list);
    return devices;
}

void HidApiBackend::GetReportLengths(int *inputLength, int *outputLength)
{
    if (inputLength)
        *inputLength = m_inputLength;
    if (outputLength)
        *outputLength = m_outputLength;
}

int HidApiBackend::Write(ConstReportBuffer report)
{
    if (!m_device)
        return -1;
    // hidraw returns the bytes written, other backends add or drop the report
    // ID byte: callers only ever see the output length on success.
    const int result = hid_write(reinterpret_cast<hid_device *>(m_device), report.data(), size_t(m_outputLength));
    return result < 0 ? result : m_outputLength;
}

int HidApiBackend::Read(ReportBuffer report)
{
    if (!m_device)
        return 0;
    const int want = std::min(m_inputLength - 1, ReportBufferSize - 1); // lengths are 1 or more
    const int got = hid_read_timeout(reinterpret_cast<hid_device *>(m_device), report.data() + 1, size_t(want), 0);
    if (got <= 0)
        return 0;
    report[0] = 0;
    return got + 1;
}

UsbHidApi::OpenProblem problemOpening(const QByteArray &devicePath)
{
    // hidapi keeps no errno of its own; asking again is what tells a missing
    // permission from a device that went away.
    if (::access(devicePath.constData(), R_OK | W_OK) == -1 && (errno == EACCES || errno == EPERM))
        return UsbHidApi::OpenProblem::NotPermitted;
    return UsbHidApi::OpenProblem::NoDevice;
}

ReportLengths reportLengthsFromDescriptor(const QByteArray &descriptor)
{
    // Walk the short items, tracking the global Report Size, Report Count and
    // Report ID, and add up the bits each Input and Output item declares per ID.
    QMap<int, int> inputBits, outputBits;
    quint32 reportSize = 0, reportCount = 0;
    int reportId = 0;
    const auto *p = reinterpret_cast<const quint8 *>(descriptor.constData());
    const qsizetype n = descriptor.size();
    for (qsizetype i = 0; i < n;) {
        const quint8 prefix = p[i];
        if (prefix == 0xFE) { // long item: skip it whole
            if (i + 2 >= n)
                break; // cut short before its data
            i += 3 + p[i + 1];
            continue;
        }
        static constexpr int sizes[4] = {0, 1, 2, 4};
        const int size = sizes[prefix & 3];
        if (i + 1 + size > n)
            break;
        quint32 value = 0;
        for (int b = 0; b < size; ++b)
            value |= quint32(p[i + 1 + b]) << (8 * b);
        switch (prefix & 0xFC) {
        case 0x74: reportSize = value; break;
        case 0x94: reportCount = value; break;
        case 0x84: reportId = int(value & 0xFF); break;
        case 0x80: inputBits[reportId] += int(qMin<quint64>(quint64(reportSize) * reportCount, 1u << 20)); break;
        case 0x90: outputBits[reportId] += int(qMin<quint64>(quint64(reportSize) * reportCount, 1u << 20)); break;
        default: break;
        }
        i += 1 + size;
    }
    auto longest = [](const QMap<int, int> &bits, int fallback) {
        if (bits.isEmpty())
            return fallback;
        return (*std::max_element(bits.begin(), bits.end()) + 7) / 8 + 1; // the report ID byte always travels
    };
    return {longest(inputBits, 9), longest(outputBits, 9)};
}
