// The trap destinations and the trap template: only two texts are ever filled in.
#include "service/events/trap_template.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SplitTrapTo, SingleSpacesSeparateAndEmptyDestinationsAreLeftOut) {
  struct Case {
    const char* trapTo;
    std::vector<std::string> destinations;
    bool skipped;
  };
  const Case cases[] = {
      {"", {}, false},
      {"10.0.0.1", {"10.0.0.1"}, false},
      {"10.0.0.1 10.0.0.2 nms", {"10.0.0.1", "10.0.0.2", "nms"}, false},
      {"a  b", {"a", "b"}, true},
      {" a", {"a"}, true},
      {"a ", {"a"}, true},
      {" ", {}, true},
  };
  for (const Case& c : cases) {
    bool skipped = !c.skipped;
    EXPECT_EQ(c.destinations, wardend::SplitTrapTo(c.trapTo, &skipped)) << c.trapTo;
    EXPECT_EQ(c.skipped, skipped) << c.trapTo;
  }
}

TEST(FormatTrapTemplate, FillsTheFirstTwoStringsAndLeavesEveryOtherConversionAsWritten) {
  struct Case {
    const char* templateText;
    const char* expected;
  };
  const Case cases[] = {
      {"upstrap.exe %s %s 1", "upstrap.exe 10.0.0.1 public 1"},
      {"upstrap.exe %s", "upstrap.exe 10.0.0.1"},
      {"upstrap.exe", "upstrap.exe"},
      // What printf would read from arguments never given, or write through one.
      {"%s %s %n %d %s", "10.0.0.1 public %n %d %s"},
      {"%n%s%p%x%s%s", "%n10.0.0.1%p%xpublic%s"},
      {"%99999s %.*s %s", "%99999s %.*s 10.0.0.1"},
      {"100%% %s%%s %", "100% 10.0.0.1%s %"},
      {"表%s能%s", "表10.0.0.1能public"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, wardend::FormatTrapTemplate(c.templateText, "10.0.0.1", "public"))
        << c.templateText;
  }
}

}  // namespace
