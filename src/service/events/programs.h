// Programs the service starts: the seven slot programs of upstab.ini and the mail and trap
// command lines of upsrc.ini, all through StartProgram (hidden, optionally waited for).
#pragma once

#include <string>

namespace wardend {

class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;
  // Reads [mail] and [trap] of upsrc.ini; false (after a diagnostic line) when either is missing.
  virtual bool LoadMailTrapTables() = 0;
  // Reads upsrc1..upsrc7 and forpreprocess of upstab.ini; false when the section is missing.
  virtual bool LoadSlotPrograms() = 0;
  // Runs the command line of slot 1..7 when one is configured, waiting up to 20 s for it.
  virtual void RunSlotProgram(int slot) = 0;
  // Starts commandLine hidden; host empty means none. With wait, blocks up to 20 s.
  virtual bool StartProgram(const std::string& commandLine, const std::string& host,
                            bool wait) = 0;
};

}  // namespace wardend
