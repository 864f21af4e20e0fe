// A stable name for the simulator's line: a symbolic link to the pseudo-terminal's slave, so
// that a simulator started anew behind the same name plays a serial adapter plugged back in.
#pragma once

#include <string>

namespace upssim {

// Makes path a symbolic link to target, replacing an existing link in one step (a reader sees
// the old target or the new one, never no link). False with the reason in *error.
bool PublishLink(const std::string& path, const std::string& target, std::string* error);

// Removes path when it is still a symbolic link to target (a later simulator may own it now).
void WithdrawLink(const std::string& path, const std::string& target);

}  // namespace upssim
