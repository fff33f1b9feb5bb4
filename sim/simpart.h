#pragma once
// What each part of the virtual module shares: a payload and a way to answer.
#include <QtGlobal>
#include <array>
#include <cstdint>
#include <functional>

using SimPayload = std::array<std::uint8_t, 8>;
using SimReply = std::function<void(const SimPayload &)>;
