// Programs the service starts: the seven slot programs of upstab.ini and the mail and trap
// command lines of upsrc.ini, all through StartProgram (hidden, optionally waited for).
#pragma once

#include <string>
#include <vector>

namespace wardend {

class ProgramStarter {
 public:
  // The longest a caller waits for one program (four waits of 5 s), and for programs started
  // together.
  static constexpr int kProgramWaitMs = 20000;

  virtual ~ProgramStarter() = default;
  // Reads [mail] and [trap] of upsrc.ini into empty tables; false (after a diagnostic line) when
  // upsrc.ini cannot be read. An empty section is an empty table, told once.
  virtual bool LoadMailTrapTables() = 0;
  // Reads upsrc1..upsrc7 and forpreprocess of upstab.ini; false when the section is missing.
  virtual bool LoadSlotPrograms() = 0;
  // Runs the command line of slot 1..7 when one is configured, waiting up to 20 s for it.
  virtual void RunSlotProgram(int slot) = 0;
  // Starts commandLine hidden; host empty means none. With wait, blocks up to 20 s.
  virtual bool StartProgram(const std::string& commandLine, const std::string& host,
                            bool wait) = 0;
  // The template of kind "Mail" or "Trap" (kind contains the word) for an event, from the
  // event's key in the mail or trap table; empty when the event has none.
  virtual std::string SlotCommand(const std::string& kind, int event) = 0;
  // The trap action's command lines for a template: one per TrapTo destination, in order, the
  // template's first two "%s" filled with destination and community, installation directory in
  // front; none when TrapTo is empty.
  virtual std::vector<std::string> TrapCommandLines(const std::string& templateText) = 0;
  // The trap action: each of TrapCommandLines started and waited for in turn.
  virtual void SendTraps(const std::string& templateText) = 0;
  // Starts every command line hidden at once and waits for them up to kProgramWaitMs in all.
  virtual void RunTogether(const std::vector<std::string>& commandLines) = 0;
  // The service stops: every wait for a program ends at once, and none is waited for from now
  // on (the programs themselves run on). Any thread.
  virtual void StopWaiting() {}
};

}  // namespace wardend
