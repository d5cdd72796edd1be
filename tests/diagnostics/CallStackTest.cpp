#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "diagnostics/uMAVCallStack.h"

namespace {

TEST(CallStack, PushPushPopLeavesTheFirstFrameOnTop) {
  TMAVCallStack stack;
  stack.Push("A");
  stack.Push("B");
  stack.Pop();
  EXPECT_EQ(stack.Count(), 1);
  EXPECT_EQ(stack.Peek().Name(), "A");
}

TEST(CallStack, PushReturnsTheTopFrameForItsParameters) {
  TMAVCallStack stack;
  stack.Push("TMForm.ProcessSave");
  auto& frame = stack.Push("CheckFileInfo and SaveFile");
  frame.Params().SetValues("File", "/media/disc/a.txt");
  EXPECT_EQ(&stack.Peek(), &frame);
  ASSERT_EQ(stack.Peek().Params().Count(), 1);
  EXPECT_EQ(stack.Peek().Params().Strings(0), "File=/media/disc/a.txt");
}

TEST(CallStack, PopAndClearOnEmptyStackDoNothing) {
  TMAVCallStack stack;
  stack.Pop();
  stack.Clear();
  EXPECT_EQ(stack.Count(), 0);
}

TEST(CallStack, ClearRemovesEveryFrame) {
  TMAVCallStack stack;
  for (const char* name :
       {"TMForm.ProcessSave", "TPhysFATScanner.Create", "CheckFileInfo and SaveFile"})
    stack.Push(name);
  stack.Clear();
  EXPECT_EQ(stack.Count(), 0);
  stack.Push("TMForm.ProcessScan");
  EXPECT_EQ(stack.Peek().Name(), "TMForm.ProcessScan");
}

TEST(CallStack, PeekOnEmptyStackFailsLoudly) {
  TMAVCallStack stack;
  EXPECT_THROW(stack.Peek(), std::out_of_range);
}

// What one part of the program pushes, another part sees on top.
TEST(CallStack, ProcessWideStackKeepsFramesBetweenCalls) {
  CallStack().Clear();
  CallStack().Push("TMForm.ProcessScan");
  CallStack().Push("TMForm.btnNextClick");
  EXPECT_EQ(CallStack().Count(), 2);
  EXPECT_EQ(CallStack().Peek().Name(), "TMForm.btnNextClick");
  CallStack().Clear();
  EXPECT_EQ(CallStack().Count(), 0);
}

// ---- Setting parameters: the line of the name gets the value, or one is appended.

struct ParamCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> sets;
  std::vector<std::string> lines;
};

// Test names show the row name, not the row's bytes.
void PrintTo(const ParamCase& row, std::ostream* os) { *os << row.name; }

class FrameParams : public testing::TestWithParam<ParamCase> {};

TEST_P(FrameParams, NameValueLinesInOrderFirstSet) {
  TMAVCallStackItem frame("TMForm.ProcessScan");
  for (const auto& [name, value] : GetParam().sets) frame.Params().SetValues(name, value);
  std::vector<std::string> lines;
  for (int i = 0; i < frame.Params().Count(); ++i) lines.push_back(frame.Params().Strings(i));
  EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, FrameParams,
    testing::Values(
        ParamCase{"FreshFrameGetsOneLine", {{"Drive", "E"}}, {"Drive=E"}},
        ParamCase{"SettingTwiceReplaces", {{"File", "a.txt"}, {"File", "b.txt"}}, {"File=b.txt"}},
        ParamCase{"ReplacedLineKeepsItsPlace",
                  {{"Drive", "E"}, {"File", "a.txt"}, {"Drive", "F"}},
                  {"Drive=F", "File=a.txt"}},
        ParamCase{"NamesMatchIgnoringCase", {{"Drive", "E"}, {"drive", "F"}}, {"drive=F"}},
        ParamCase{"ValueMayHoldEqualsSign", {{"File", "a=b"}}, {"File=a=b"}},
        ParamCase{"EmptyValueKeepsLine", {{"File", ""}}, {"File="}},
        ParamCase{"NoSetsNoLines", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameParams, ValuesReadsBackThroughTheName) {
  TMAVCallStackItem frame("X");
  frame.Params().SetValues("File", "a=b");
  EXPECT_EQ(frame.Params().Values("File"), "a=b");
  EXPECT_EQ(frame.Params().Values("Drive"), "");
  EXPECT_EQ(frame.Params().IndexOfName("Drive"), -1);
  EXPECT_THROW(frame.Params().Strings(1), std::out_of_range);
}

}  // namespace
