// Where the process tests find the program they start (tests/programs/process_child.cpp).
#pragma once

#include <string>

namespace vstest {

// The full path of process_child, as the system under test names files.
std::string ProcessChildPath();

}  // namespace vstest
