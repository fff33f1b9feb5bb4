#include "tracinghidapi.h"
#include "misc.h"
#include <cstdio>

TracingHidApi::TracingHidApi(UsbHidApi &inner, const Misc &clock, const QString &path)
    : m_inner(inner), m_clock(clock), m_file(path)
{
    // Unbuffered: one write call per line, microseconds against the protocol's
    // waits of tens of milliseconds.
    m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

int TracingHidApi::Open(int vendorId, int productId, const char *manufacturer, const char *serial,
                        const char *deviceName, int getReportLengths)
{
    const int result = m_inner.Open(vendorId, productId, manufacturer, serial, deviceName, getReportLengths);
    if (result == 1) {
        int out = 0;
        m_inner.GetReportLengths(&m_inputLength, &out);
    }
    return result;
}

void TracingHidApi::GetReportLengths(int *inputLength, int *outputLength)
{
    m_inner.GetReportLengths(inputLength, outputLength);
}

int TracingHidApi::Write(ConstReportBuffer report)
{
    const int result = m_inner.Write(report);
    trace('W', report.data() + 1);
    return result;
}

int TracingHidApi::Read(ReportBuffer report)
{
    const int result = m_inner.Read(report);
    if (result > 0 && result == m_inputLength)
        trace('R', report.data() + 1);
    return result;
}

void TracingHidApi::trace(char direction, const std::uint8_t *payload)
{
    if (!m_file.isOpen())
        return;
    char line[64];
    int len = std::snprintf(line, sizeof line, "%lld %c", static_cast<long long>(m_clock.Now()), direction);
    for (int i = 0; i < 8 && len < int(sizeof line) - 4; ++i)
        len += std::snprintf(line + len, sizeof line - size_t(len), " %02X", payload[i]);
    line[len++] = '\n';
    m_file.write(line, len);
}
