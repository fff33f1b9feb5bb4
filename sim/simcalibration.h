#pragma once
// The calibration the virtual module holds, and the commands that read and write it.
#include "simpart.h"

#include <QByteArray>

// What the module keeps, in the widths it keeps it in.
struct HeldCalibration {
    std::array<std::uint8_t, 256> map{}; // row by row, row 1 column 1 first
    std::array<std::uint8_t, 16> brake{};
    std::uint8_t maxPosition = 0;
    std::uint8_t maxAdjust = 0;
    std::uint8_t maxBoost = 0;
    quint16 rpmStart = 0;
    quint16 rpmIncrement = 0;
    std::uint8_t loadStart = 0;
    std::uint8_t loadIncrement = 0;
    QByteArray boardName; // the name's bytes, without its zero

    std::uint8_t &cell(int row, int col) { return map[std::size_t((row - 1) * 16 + (col - 1))]; }
    std::uint8_t cell(int row, int col) const { return map[std::size_t((row - 1) * 16 + (col - 1))]; }
    bool operator==(const HeldCalibration &) const = default;

    // What a module leaves the factory with.
    static HeldCalibration factory();
};

class SimCalibration {
public:
    // Test hooks: answers cut short, as a module that stops answering.
    struct Faults {
        int tableReportsSent = 35; // reports of the ReadTables answer that are sent
        int setupReportsSent = -1; // reports of the ReadSetup answer that are sent, scaling first; -1 all
    };
    Faults faults;

    // True while a written block is still arriving: every report belongs to it.
    bool receiving() const { return m_block != Block::None; }
    // The axis scaling the module holds; the operating point follows it.
    int rpmStart() const { return m_held.rpmStart; }
    int rpmIncrement() const { return m_held.rpmIncrement; }
    int loadStart() const { return m_held.loadStart; }
    int loadIncrement() const { return m_held.loadIncrement; }
    // The whole calibration held, for tests and tools.
    const HeldCalibration &held() const { return m_held; }
    void setHeld(const HeldCalibration &calibration) { m_held = calibration; }

    // Handles one report; false when it is not a calibration command.
    bool handle(const SimPayload &in, qint64 now, const SimReply &reply);

private:
    enum class Block { None, Tables, Setup };
    void startBlock(Block block, const SimPayload &in, qint64 now);
    void completeBlock(const SimReply &reply);
    void answerTables(const SimReply &reply) const;
    void answerSetup(const SimReply &reply) const;

    HeldCalibration m_held = HeldCalibration::factory();
    Block m_block = Block::None;
    QByteArray m_stream; // the block arriving, from its command byte
    int m_expected = 0;  // bytes of reports the block takes
    qint64 m_lastAt = 0; // when its last report came
};
