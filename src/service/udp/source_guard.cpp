#include "service/udp/source_guard.h"

#include <algorithm>

namespace wardend {

SourceGuard::Verdict SourceGuard::Check(std::uint32_t address, std::uint16_t port, int upsport,
                                        int xupsport, int limit, std::int64_t nowMs,
                                        bool* tell) {
  bool say = false;
  Verdict verdict = Verdict::Serve;
  if (port < 1024 || port == upsport || port == xupsport) {
    if (!forgedLineWritten_ || nowMs - lastForgedLineMs_ >= kForgedLinePaceMs) {
      forgedLineWritten_ = true;
      lastForgedLineMs_ = nowMs;
      say = true;
    }
    verdict = Verdict::ForgedPort;
  } else if (limit > 0) {
    auto it = std::find_if(sources_.begin(), sources_.end(),
                           [address](const Source& s) { return s.address == address; });
    if (it == sources_.end()) {
      if (sources_.size() >= kSourcesKept) {
        sources_.erase(std::min_element(sources_.begin(), sources_.end(),
                                        [](const Source& a, const Source& b) {
                                          return a.windowStartMs < b.windowStartMs;
                                        }));
      }
      Source fresh;
      fresh.address = address;
      fresh.windowStartMs = nowMs;
      sources_.push_back(fresh);
      it = sources_.end() - 1;
    }
    Source& source = *it;
    if (nowMs - source.windowStartMs >= 1000) {
      // A window under the limit ends the burst: its next refusal is told again.
      if (!source.overInWindow) source.told = false;
      source.windowStartMs = nowMs;
      source.count = 0;
      source.overInWindow = false;
    }
    if (source.count >= limit) {
      source.overInWindow = true;
      if (!source.told) {
        source.told = true;
        say = true;
      }
      verdict = Verdict::Limited;
    } else {
      ++source.count;
    }
  }
  if (tell != nullptr) *tell = say;
  return verdict;
}

}  // namespace wardend
