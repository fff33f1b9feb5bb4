#pragma once
// Wraps either HID layer and appends one line per report written and per
// report read whole: "1234 W 91 00 01 02 03 04 05 06". Each line is handed to
// the system as it is made, so a tuner that crashes, is killed or hangs leaves
// the trace complete up to that moment.
#include "usbhidapi.h"

#include <QFile>

class Misc;

class TracingHidApi final : public UsbHidApi {
public:
    TracingHidApi(UsbHidApi &inner, const Misc &clock, const QString &path);
    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_file.errorString(); }

    void SetInstance(int instance) override { m_inner.SetInstance(instance); }
    int Open(int vendorId, int productId, const char *manufacturer, const char *serial, const char *deviceName,
             int getReportLengths) override;
    void GetReportLengths(int *inputLength, int *outputLength) override;
    int Write(ConstReportBuffer report) override;
    int Read(ReportBuffer report) override;
    OpenProblem LastOpenProblem() const override { return m_inner.LastOpenProblem(); }
    std::vector<DeviceInfo> Enumerate(int vendorId, int productId) override
    {
        return m_inner.Enumerate(vendorId, productId);
    }

private:
    void trace(char direction, const std::uint8_t *payload);
    UsbHidApi &m_inner;
    const Misc &m_clock;
    QFile m_file;
    int m_inputLength = 0;
};
