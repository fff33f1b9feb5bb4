#pragma once
// Send, Receive and Verify: the three exchanges that move a calibration
// between the grids and the module over the transport's buffers. Each reaches
// the cells by moving the grids' current cells, reads a cell only when its
// byte is due, and makes exactly the transport's fixed waits through Misc.
#include "calibrationtables.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class Misc;

namespace Transfer {

// A field whose value its encoding cannot carry; the send stopped there.
struct FieldError {
    QString place;        // "map row 3, column 5", "brake column 4" or a parameter label
    QString problem;      // what the field holds and what it may hold
    int reportsWritten{}; // reports this send had written before it stopped
    QString message() const;
};

struct SendResult {
    std::optional<FieldError> error;
    // How the link fared; the window goes by `error` alone.
    int reports{};    // reports the send wrote or tried to write
    int unwritten{};  // of those, the ones the transport could not hand over
    int unanswered{}; // acknowledgement reads, one per block, that found no whole report
    bool complete() const { return !error; }
    bool linkLost() const { return unwritten > 0 || unanswered > 0; }
    // What the window shows when the send ends.
    QString message() const;
};

// Every field Send would stop at, in the order Send reaches them, each with
// reportsWritten 0: lets a caller refuse a calibration before its first report.
// Reads the cells where they stand, moving no current cell.
QList<FieldError> Unsendable(const CalibrationTables &tables);

// Writes the tables block, pauses, then the setup block. The pause between the
// blocks lets window events run; `beforeLastRead` runs when the send is over
// but for taking the module's last answer (the window gives back the pointer there).
SendResult Send(CalibrationTables &tables, Misc &misc, const std::function<void()> &beforeLastRead = {});

struct ReceiveResult {
    enum Outcome {
        Complete,
        NoAnswer,       // the first table report never came: nothing changed, nothing to say
        TablesCut,      // a later table report never came
        ScalingMissing, // the scaling report never came
        NameCut,        // a name report never came
        NameTooLong,    // the name did not end within MaxBoardNameLength characters
    };
    Outcome outcome = Complete;
    int tableReports{}; // table reports that arrived
    // The scaling parameters were written, so the headings must follow them.
    bool scalingReceived() const { return outcome == Complete || outcome == NameCut || outcome == NameTooLong; }
    // Empty when there is nothing to tell the user.
    QString message() const;
};

// Reads the module's calibration into the grids.
ReceiveResult Receive(CalibrationTables &tables, Misc &misc);

// What the module sent during a Verify, for naming the fields that differ.
struct ModuleAnswer {
    CalibrationTables *tables = nullptr; // set up as the window's; takes each field as it is compared
    bool whole = true;                   // every answer report arrived
};

// Compares the module's calibration with the grids, changing no cell. True
// when every field matches exactly and every answer report arrived.
bool Verify(CalibrationTables &tables, Misc &misc, ModuleAnswer *answer = nullptr);

} // namespace Transfer
