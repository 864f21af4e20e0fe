#include "platform/process_test_child.h"

namespace vstest {

std::string ProcessChildPath() { return VS_PROCESS_CHILD; }

}  // namespace vstest
