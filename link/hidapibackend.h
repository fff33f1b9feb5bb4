#pragma once
// The real HID layer, on hidapi's hidraw backend.
#include "usbhidapi.h"

#include <QByteArray>
#include <QString>

struct hid_device_;

class HidApiBackend final : public UsbHidApi {
public:
    // The report descriptors are read from descriptorFolder/<node>/device/report_descriptor.
    explicit HidApiBackend(const QString &descriptorFolder = QStringLiteral("/sys/class/hidraw"));
    ~HidApiBackend() override;
    HidApiBackend(const HidApiBackend &) = delete;
    HidApiBackend &operator=(const HidApiBackend &) = delete;

    void SetInstance(int instance) override { m_instance = instance; }
    int Open(int vendorId, int productId, const char *manufacturer, const char *serial, const char *deviceName,
             int getReportLengths) override;
    void GetReportLengths(int *inputLength, int *outputLength) override;
    int Write(ConstReportBuffer report) override;
    int Read(ReportBuffer report) override;
    OpenProblem LastOpenProblem() const override { return m_problem; }
    std::vector<DeviceInfo> Enumerate(int vendorId, int productId) override;

private:
    void close();
    QString m_descriptorFolder;
    hid_device_ *m_device = nullptr;
    OpenProblem m_problem = OpenProblem::None;
    int m_instance = 0;
    int m_inputLength = 9;
    int m_outputLength = 9;
};

// Report lengths (report ID byte included) from a HID report descriptor: the
// longest input and output report it declares. Falls back to 9 and 9 when the
// descriptor declares none. Kept apart so it can be tested on plain bytes.
struct ReportLengths {
    int input = 9;
    int output = 9;
};
ReportLengths reportLengthsFromDescriptor(const QByteArray &descriptor);

// Why a device node that was found could not be opened: NotPermitted when
// this user may not read and write it (the udev rule is missing), NoDevice
// for anything else, such as a node that went away in the meantime.
UsbHidApi::OpenProblem problemOpening(const QByteArray &devicePath);
