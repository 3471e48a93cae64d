// The console program's reading of what comes from outside: the operator's words
// and lines, a data provider's discovery reply, SHOW pieces and records.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command_words.h"
#include "console_input.h"
#include "console_transport.h"
#include "dp_exchange.h"
#include "reply_text.h"
#include "stdout_capture.h"
#include "target_choice.h"

namespace {

using zevpcon::ConsoleCommand;

// Standard input of the test: the text as a stream.
class Input {
 public:
  explicit Input(const std::string& text) : text_(text), stream_(fmemopen(text_.data(), text_.size(), "r")) {}
  ~Input() { std::fclose(stream_); }
  FILE* stream() { return stream_; }

 private:
  std::string text_;
  FILE* stream_;
};

TEST(ConsoleWordsTest, TheFirstCommandInTableOrderThatBeginsWithTheWord) {
  const struct {
    const char* word;
    int32_t code;
  } cases[] = {
      {"L", ZEVP_VERB_LIST},       {"load", ZEVP_VERB_LOADCOMM}, {"S", ZEVP_VERB_SHOW},
      {"shut", ZEVP_VERB_SHUTDOWN}, {"VAL", ZEVP_VERB_VALIDATE}, {"Delete", ZEVP_VERB_DELETE},
      {"LOADLIST", ZEVP_VERB_LOADLIST}, {"trapcnfgx", -1},       {"X", -1},
      {"", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(zevpcon::MatchCommandWord(c.word), c.code) << c.word;
}

struct CommandCase {
  std::vector<std::string> arguments;
  std::string input;
  bool complete;
  int32_t code;
  std::string parameter;
  std::vector<std::string> shown;
  std::string target;
};

TEST(ConsoleInputTest, ArgumentsThenInputLinesMakeACompleteCommand) {
  const std::string longName(5000, 'n');
  const std::vector<CommandCase> cases = {
      {{"L"}, "", true, ZEVP_VERB_LIST, "", {}, ""},
      {{"shut", "immed"}, "", true, ZEVP_VERB_SHUTDOWN, "immed", {}, ""},
      {{"Delete"}, "m1.mdl\n", true, ZEVP_VERB_DELETE, "m1.mdl",
       {"Enter Application name or Metafile name"}, ""},
      {{"LoadList"}, "\nnodes.lst\n", true, ZEVP_VERB_LOADLIST, "nodes.lst",
       {"Enter list file name", "Nothing entered. Please enter prompted input."}, ""},
      {{"Val"}, "m.mdl\n", true, ZEVP_VERB_VALIDATE, "m.mdl", {"Enter metafile file name"}, ""},
      // A word that selects nothing, and the words the operator may not use.
      {{"bogus"}, "check m1\nping\nlist\n", true, ZEVP_VERB_LIST, "",
       {"Input console command invalid.", "Enter console command <Application name or Metafile name or file name>",
        " ", "Enter console command <Application name or Metafile name or file name>", " ",
        "Enter console command <Application name or Metafile name or file name>"},
       ""},
      // SET names the target host and asks for the command.
      {{"set", "far.host"}, "show  app1  more\n", true, ZEVP_VERB_SHOW, "app1",
       {"Target DP set to far.host", "Enter console command <Application name or Metafile name or file name>"},
       "far.host"},
      // A parameter that would not fit the command buffer.
      {{"Import", longName}, "", false, ZEVP_VERB_IMPORT, "",
       {"Input console command invalid.", "Enter console command <Application name or Metafile name or file name>"},
       ""},
      // The end of input ends the reading.
      {{}, "", false, -1, "", {"Enter console command <Application name or Metafile name or file name>"}, ""},
      {{"Refresh"}, "", false, ZEVP_VERB_REFRESH, "", {"Enter Application name or Metafile name"}, ""},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.arguments.empty() ? std::string("(none)") : c.arguments[0]);
    Input input(c.input);
    ConsoleCommand command;
    std::string target;
    bool complete;
    std::vector<std::string> shown;
    {
      // Checked once the capture has ended, so that a failure shows.
      StdoutCapture output;
      complete = zevpcon::ReadCompleteCommand(c.arguments, input.stream(), &command, &target);
      shown = output.takeLines();
    }
    EXPECT_EQ(complete, c.complete);
    if (c.complete) {
      EXPECT_EQ(command.code, c.code);
      EXPECT_EQ(command.parameter, c.parameter);
    }
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(target, c.target);
  }
}

TEST(ConsoleInputTest, ALongLineIsCutAndItsRestDropped) {
  Input input(std::string(1500, 'a') + "\r\nnext\r\n");
  std::string line;
  ASSERT_TRUE(zevpcon::RetrieveConsoleInput(input.stream(), &line));
  EXPECT_EQ(line, std::string(zevpcon::kConsoleLineMax, 'a'));
  ASSERT_TRUE(zevpcon::RetrieveConsoleInput(input.stream(), &line));
  EXPECT_EQ(line, "next");
  EXPECT_FALSE(zevpcon::RetrieveConsoleInput(input.stream(), &line));
}

TEST(DiscoveryReplyTest, ReturnCodeTypeAndAPortOnlyWhenItIsOne) {
  const struct {
    const char* text;
    long returnCode;
    int32_t type;
    uint16_t port;
  } cases[] = {
      {"0 1 7701", 0, 1, 7701}, {"0 3", 0, 3, 0},       {"0 99 0", 0, 99, 0},  {"0 1 65536", 0, 1, 0},
      {"0 1 -5", 0, 1, 0},      {"0 x 12x", 0, -1, 0},  {"7 0", 7, 0, 0},      {"", -1, -1, 0},
      {"OK 1 7701", -1, 1, 7701},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    zevpcon::DiscoveryReply reply = zevpcon::ParseDiscoveryReply(c.text);
    EXPECT_EQ(reply.returnCode, c.returnCode);
    EXPECT_EQ(reply.type, c.type);
    EXPECT_EQ(reply.port, c.port);
  }
}

TEST(TargetLineTest, ATypeOutsideTheLabelsHasNoLabel) {
  zevpcon::FoundDataProvider found;
  found.host = "localhost";
  found.type = 1;
  EXPECT_EQ(zevpcon::TargetLine(1, found), "     01 FILE - localhost ");
  found.type = 11;
  EXPECT_EQ(zevpcon::TargetLine(12, found), "     12 MSMQ - localhost ");
  for (int32_t type : {12, -1, 1 << 30}) {
    found.type = type;
    EXPECT_EQ(zevpcon::TargetLine(3, found), "     03 localhost ");
  }
}

TEST(ShowAssemblyTest, PiecesAreAppendedToTheFirstDatagram) {
  using Step = zevpcon::ShowAssembly::Step;
  zevpcon::ShowAssembly whole;
  EXPECT_EQ(whole.take("0 2 0;m;1;A;"), Step::kComplete);
  EXPECT_EQ(whole.text(), "0 2 0;m;1;A;");
  zevpcon::ShowAssembly missing;
  EXPECT_EQ(missing.take("3 "), Step::kComplete);

  zevpcon::ShowAssembly pieces;
  EXPECT_EQ(pieces.take("0 1 0;m;1;A;"), Step::kWaitOn);
  EXPECT_EQ(pieces.take("0 2;G;Poll Data TTL=60;"), Step::kWaitOn);
  EXPECT_EQ(pieces.take("7 stray"), Step::kWaitOn) << "not a piece: discarded";
  EXPECT_EQ(pieces.take("3 3;FILE;f.log;"), Step::kComplete);
  EXPECT_EQ(pieces.text(), "0 1 0;m;1;A;2;G;Poll Data TTL=60;3;FILE;f.log;");

  zevpcon::ShowAssembly endless;
  EXPECT_EQ(endless.take("0 1 0;m;"), Step::kWaitOn);
  const std::string piece = "0 " + std::string(4000, 'x');
  Step step = Step::kWaitOn;
  for (int n = 0; n < 300 && step == Step::kWaitOn; ++n) step = endless.take(piece);
  EXPECT_EQ(step, Step::kTooLong);
}

TEST(ShowRecordsTest, EachRecordIsALineAndMissingValuesPrintEmpty) {
  EXPECT_EQ(zevpcon::ShowRecordLines("0;/m/MF;1;APPL;2;GRP;Poll Data TTL=300;3;FILE;app.log;4;A1;Display Type Max "
                                     "Size 32 KEY;4;Twenty_Two_Characters_;Counter Type;"),
            "   MetaFile: /m/MF\n"
            "      Application: APPL\n"
            "\n            Group: GRP Poll Data TTL=300\n"
            "           SOURCE: FILE app.log\n"
            "                              A1 Display Type Max Size 32 KEY\n"
            "           Twenty_Two_Characters Counter Type\n");
  EXPECT_EQ(zevpcon::ShowRecordLines("9;1;APP;4;X;;2;G"),
            "      Application: APP\n                               X \n"
            "\n            Group: G \n");
  EXPECT_EQ(zevpcon::ShowRecordLines("3"), "           SOURCE:  \n");
  EXPECT_EQ(zevpcon::ShowRecordLines(""), "");
  EXPECT_EQ(zevpcon::TextFromToken("0 1 0;m;1;A B;", 2), "0;m;1;A B;");
  EXPECT_EQ(zevpcon::TextFromToken("0 1", 2), "");
}

}  // namespace
