// Which datagrams the command server answers at all. Clients always send from an ephemeral
// port, so a source port of upsport, xupsport or below 1024 is a forged or looping source: an
// answer to another service's port, to our own or to an echo port would start an exchange of
// replies at full speed. And no source gets more than the limit (replylimit) answers a second.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wardend {

class SourceGuard {
 public:
  // Sources whose counts are kept; the oldest is forgotten first.
  static constexpr std::size_t kSourcesKept = 64;
  // A line about forged sources at most this often.
  static constexpr std::int64_t kForgedLinePaceMs = 60000;

  enum class Verdict { Serve, ForgedPort, Limited };

  // nowMs is monotonic; limit is answers a second per source address, 0 for no limit. *tell (when given) is set when the verdict deserves its one line: the
  // first refusal of a burst from a source over its limit, or a forged port at most once a
  // minute.
  Verdict Check(std::uint32_t address, std::uint16_t port, int upsport, int xupsport, int limit,
                std::int64_t nowMs, bool* tell);

 private:
  struct Source {
    std::uint32_t address = 0;
    std::int64_t windowStartMs = 0;
    int count = 0;
    bool overInWindow = false;  // the limit bit in the current one-second window
    bool told = false;          // its line is written; again only after a window under limit
  };
  std::vector<Source> sources_;
  std::int64_t lastForgedLineMs_ = -kForgedLinePaceMs;
  bool forgedLineWritten_ = false;
};

}  // namespace wardend
