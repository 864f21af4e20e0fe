// The notice the service sends when an event is raised: a command datagram with code 19 whose
// data area starts with '2' and the event number.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/command_datagram.h"

namespace protocol {

constexpr unsigned char kNoticeKind = '2';

// The notice of event (its low 8 bits) sent at now from senderAddress (IPv4, host order).
CommandDatagram BuildNoticeDatagram(int event, std::int64_t now, std::uint32_t senderAddress);

// The event of a received notice; false when the datagram is no notice (wrong code or kind, or
// too short).
bool ReadNoticeEvent(const unsigned char* bytes, std::size_t size, int* event);

}  // namespace protocol
