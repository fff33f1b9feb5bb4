#pragma once
// The module's bootloader: programming mode, records into a flash image, the verdict.
//
// The start report (eight 0x27) puts it into programming mode and erases its
// application flash. Each record header and the four data reports after it
// program n bytes at the header's address; every record is answered 0x00, or
// 0xFF when any of its bytes would land in the bootloader's own area or beyond
// the flash. The end report (FF FF FF FF 00 00 00 00) is answered 0x55 when
// every record was taken and 0xEE otherwise, and ends programming mode. The
// start report is not answered.
#include "simpart.h"

#include <QByteArray>

class SimBootloader {
public:
    static constexpr std::uint8_t Taken = 0x00;
    static constexpr std::uint8_t Refused = 0xFF;
    static constexpr std::uint8_t ImageGood = 0x55;
    static constexpr std::uint8_t ImageBad = 0xEE;

    SimBootloader();

    // The micro's flash, last address, and the bootloader's own area inside it.
    // Defaults: JM64 (0xFFFF), bootloader 0x410 to 0x3FFF.
    void setFlash(quint32 flashEnd, quint32 bootloaderStart, quint32 bootloaderEnd);

    // Handles one report: the start report, or anything while in programming
    // mode. False when the report is not the bootloader's.
    bool handle(const SimPayload &in, qint64 now, const SimReply &reply);

    bool programming() const { return m_programming; }
    // The flash as programmed: erased bytes read 0xFF.
    const QByteArray &image() const { return m_image; }
    // Bytes of the image programmed since the last start report.
    int bytesProgrammed() const { return m_bytesProgrammed; }
    // Records answered since the last start report, and how many were refused.
    int records() const { return m_records; }
    int refusedRecords() const { return m_refused; }
    int startReports() const { return m_starts; }

    // Test hooks; records count from 1 after each start report.
    struct Faults {
        int refuseRecord = 0;      // this record is refused (0xFF) whatever its address
        int dropReplyToRecord = 0; // this record is handled but its answer never comes
        bool dropEndReply = false; // the end report is handled but not answered
    };
    Faults faults;

private:
    void start();
    void finishRecord(const SimReply &reply);

    quint32 m_flashEnd = 0xFFFF;
    quint32 m_bootStart = 0x410;
    quint32 m_bootEnd = 0x3FFF;
    QByteArray m_image;
    bool m_programming = false;
    int m_dataReports = -1; // data reports of the current record still to come; -1: awaiting a header
    quint32 m_address = 0;
    int m_count = 0;
    QByteArray m_data;
    int m_records = 0;
    int m_refused = 0;
    int m_bytesProgrammed = 0;
    int m_starts = 0;
};
