// Serial line facility (defined with the UPS link). Declared here so that the Platform bundle
// can carry it.
#pragma once

namespace platform {

class SerialFactory;

SerialFactory& SystemSerialFactory();

}  // namespace platform
