// An automation command split into the action's name and parameters, and the action
// Dorvane_Message as a console message.
#include "action_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_message_action.h"
#include "raf.h"
#include "trace_capture.h"

namespace {

TEST(ActionCommandTest, ANameInSingleQuotesOrAFirstWordAndTheParametersAsReceived) {
  struct SplitCase {
    const char* command;
    const char* name;
    bool hasParms;
    const char* parms;
  };
  const SplitCase cases[] = {
      {"'RESTART' -f now", "\"RESTART\"", true, "-f now"},
      {"'RESTART'", "\"RESTART\"", false, ""},
      {"LOG disk full", "LOG", true, "disk full"},
      {"LOG", "LOG", false, ""},
      {"  LOG   disk", "LOG", true, "disk"},
      // Quotes among the parameters belong to them, and the name ends at its own quote.
      {"'CMD' -x 'y z'", "\"CMD\"", true, "-x 'y z'"},
      {"'CMD'x", "\"CMD\"", true, "x"},
      {"'two words' a\"b", "\"two words\"", true, "a\"b"},
  };
  for (const SplitCase& splitCase : cases) {
    SCOPED_TRACE(splitCase.command);
    ActionCommand split;
    ASSERT_EQ(splitActionCommand(splitCase.command, &split), 0);
    EXPECT_EQ(split.name, splitCase.name);
    EXPECT_EQ(split.hasParms, splitCase.hasParms);
    EXPECT_EQ(split.parms, splitCase.parms);
  }
}

TEST(ActionCommandTest, ACommandWithoutANameIsRefused) {
  struct RefusedCase {
    const char* command;
    const char* traced;
  };
  const RefusedCase cases[] = {
      {"'ABC with no closing quote", "Error: Invalid action command string. No closing single quote was found."},
      {"''", "Error: Action command string is empty."},
      {"'' parms", "Error: Action command string is empty."},
      {"", "Error: cannot determine actionName from command string <>"},
      {"   ", "Error: cannot determine actionName from command string <   >"},
  };
  for (const RefusedCase& refused : cases) {
    SCOPED_TRACE(refused.command);
    TraceCapture trace;
    ActionCommand split;
    EXPECT_EQ(splitActionCommand(refused.command, &split), 1);
    EXPECT_TRUE(trace.contains(refused.traced)) << trace.take();
  }
  ActionCommand split;
  EXPECT_EQ(splitActionCommand(nullptr, &split), 1);
}

TEST(ConsoleMessageActionTest, CategorySeverityAndTextComeFromTheParameters) {
  struct MessageCase {
    const char* parms;
    const char* severity;
    const char* category;
    const char* text;
  };
  const MessageCase cases[] = {
      {"CAT=SYS SEV=W MSG=a\"\"b\"\"c", "W", "SYS", "a\"b\"c"},
      {"msg=  Disk \"full\"  sev=E cat=App", "E", "App", "Disk full  sev=E cat=App"},
      {"SEV=  I CAT=  net MSG=three \"\"\"quotes trailing   ", "I", "net", "three \"\"quotes trailing"},
  };
  raf::TakeConsoleMessages();
  for (const MessageCase& messageCase : cases) {
    SCOPED_TRACE(messageCase.parms);
    createConsoleMessageFromAction(messageCase.parms);
    std::vector<raf::ConsoleMessage> messages = raf::TakeConsoleMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].severity, messageCase.severity);
    EXPECT_EQ(messages[0].category, messageCase.category);
    EXPECT_EQ(messages[0].text, messageCase.text);
    EXPECT_EQ(messages[0].options, 0);
  }
}

TEST(ConsoleMessageActionTest, AMissingValueCreatesNoMessage) {
  struct MissingCase {
    const char* parms;
    const char* traced;
  };
  const MissingCase cases[] = {
      {"SEV=W MSG=text", "Error: No CAT= value supplied."},
      {"CAT=SEV=W MSG=text", "Error: No CAT= value supplied."},
      {"CAT= MSG=text SEV=W", "Error: No CAT= value supplied."},
      {"CAT=SYS SEV= CAT=x MSG=text", "Error: No SEV= value supplied."},
      {"CAT=SYS SEV=W", "Error: No MSG= value supplied."},
      {"CAT=SYS SEV=W MSG=   ", "Error: No MSG= value supplied."},
      {"CAT=SYS SEV=W MSG=SEV=x", "Error: No MSG= value supplied."},
      {"CAT=SYS SEV=W MSG=\"", "Error: No MSG= value supplied."},
  };
  raf::TakeConsoleMessages();
  for (const MissingCase& missing : cases) {
    SCOPED_TRACE(missing.parms);
    TraceCapture trace;
    createConsoleMessageFromAction(missing.parms);
    EXPECT_TRUE(raf::TakeConsoleMessages().empty());
    EXPECT_TRUE(trace.contains(missing.traced)) << trace.take();
  }
  TraceCapture trace;
  createConsoleMessageFromAction(nullptr);
  EXPECT_TRUE(raf::TakeConsoleMessages().empty());
  EXPECT_TRUE(trace.contains("Error: ZEV0_ConvertStringToUpper failed"));
}

}  // namespace
