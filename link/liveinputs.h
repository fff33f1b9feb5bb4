#pragma once
// Live inputs: the request-inputs exchange and what its reply shows on the
// panel; and Test Turbo, which the module does not answer.
#include <QString>
#include <array>
#include <cstdint>

class Misc;

struct LiveInputs {
    QString rpm;  // "RPM": 16-bit engine speed, high byte first, unscaled
    QString load; // "Load %"
    QString user; // "User"
    bool atIdle = false;
    bool exhaustBrake = false;
};

// What a reply (InBuffer) shows. A switch is on only for the value 1.
LiveInputs DecodeInputs(const std::array<std::uint8_t, 9> &reply);
// One reading; a lost or short reply shows the last whole report again.
LiveInputs RequestInputs(Misc &misc);
// Sends the command and nothing else: no wait, no read.
void TestTurbo();
