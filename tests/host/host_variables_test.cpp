// The host's variables, arrays, texts and error word, driven through the
// plugin's own host operations (src/host/host_calls.cpp, linked into the test
// program) with the development host's callback behind them: the pairing the
// plugin relies on in every command.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/host_calls.h"
#include "lqm-host/lib/host.h"
#include "lqm-host/lib/host_records.h"

namespace {

namespace abi = lqm::abi;
using lqm::host::Host;
using lqm::host::LiveCounts;
using lqm::host::Value;

class HostVariables : public testing::Test {
 protected:
  void SetUp() override { HostSetCallback(reinterpret_cast<void*>(&Host::Callback)); }
  void TearDown() override { HostSetCallback(nullptr); }

  // What the host sees in a record the plugin built.
  Value Read(const HostVariable& variable) {
    Value value;
    std::string error;
    EXPECT_TRUE(lqm::host::ReadValue(host_.memory(), variable, value, error)) << error;
    return value;
  }
  LiveCounts Live() { return host_.GetLiveCounts(); }
  // An empty array as 4D hands one over: element 0 only, zeroed, in a handle
  // (the plugin itself never makes arrays, it resizes those it is given).
  static HostVariable NewArray(VariableKind kind, size_t elementSize) {
    HostVariable array = HostCreateVariable();
    array.kind = kind;
    const abi::ArrayRecord record{0, HostNewHandle(int64_t(elementSize)), 0};
    std::memset(*record.elements, 0, elementSize);
    std::memcpy(&array.value.array, &record, sizeof record);
    return array;
  }

  Host host_;
};

TEST_F(HostVariables, ArrayElementZeroExistsAndSurvivesResizing) {
  struct Case {
    VariableKind kind;
    size_t elementSize;
    std::vector<int32_t> values;  // element 0 first
  } cases[] = {{abi::kKindLongintArray, 4, {7, 1, 2, 3}}, {abi::kKindIntegerArray, 2, {-7, 1, 2, 3}}};
  for (const Case& c : cases) {
    HostVariable array = NewArray(c.kind, c.elementSize);
    ASSERT_EQ(HostGetArraySize(array), 0);
    ASSERT_TRUE(HostResizeArray(array, 3));
    for (int32_t i = 0; i <= 3; ++i) {
      if (c.kind == abi::kKindLongintArray)
        HostSetLongArrayElement(array, i, c.values[size_t(i)]);
      else
        HostSetIntegerArrayElement(array, i, int16_t(c.values[size_t(i)]));
    }
    ASSERT_TRUE(HostResizeArray(array, 2));  // drops element 3 only
    ASSERT_TRUE(HostResizeArray(array, 5));  // grows: 3..5 new and zeroed
    Value value = Read(array);
    if (c.kind == abi::kKindLongintArray)
      EXPECT_EQ(value, Value::LongintArray({7, 1, 2, 0, 0, 0}));
    else
      EXPECT_EQ(value, Value::IntegerArray({-7, 1, 2, 0, 0, 0}));
    HostClearVariable(array);
    EXPECT_EQ(array.kind, abi::kKindUndefined);
    EXPECT_EQ(Live(), LiveCounts{}) << int(c.kind);
  }
}

// Reads of another kind or outside 0..count give zero and writes there change
// nothing; a call without parameter storage, or without a slot or result,
// reads every parameter as empty and returns nothing, touching no memory.
TEST_F(HostVariables, WrongKindsIndexesAndMissingSlotsGiveEmptyAnswers) {
  HostVariable longs = NewArray(abi::kKindLongintArray, 4);
  ASSERT_TRUE(HostResizeArray(longs, 2));
  for (int32_t index : {-1, 3}) HostSetLongArrayElement(longs, index, 9);
  HostSetIntegerArrayElement(longs, 1, 9);
  HostSetRealArrayElement(longs, 1, 9.0);
  EXPECT_EQ(Read(longs), Value::LongintArray({0, 0, 0}));
  EXPECT_EQ(HostGetLongArrayElement(longs, 3) + HostGetIntegerArrayElement(longs, 1), 0);
  EXPECT_EQ(HostGetRealArrayElement(longs, 1), 0.0);
  EXPECT_EQ(HostGetLongVariable(longs) + HostGetTimeVariable(longs) + HostGetBlobVariable(longs, nullptr), 0);
  EXPECT_FALSE(HostGetBooleanVariable(longs) || HostResizeArray(longs, -1));
  EXPECT_TRUE(HostResizeArray(longs, 2));  // already that size
  // A record without elements, or whose handle holds no block, reads zero
  // and is never resized.
  char* noBlock = nullptr;
  for (char** elements : {static_cast<char**>(nullptr), &noBlock}) {
    HostVariable broken = longs;
    broken.value.array.elements = elements;
    EXPECT_EQ(HostGetLongArrayElement(broken, 1), 0);
    EXPECT_FALSE(HostResizeArray(broken, 5));
  }
  HostClearVariable(longs);
  HostVariable single = HostCreateVariable();
  HostSetLongVariable(single, 5);
  // An array of a kind the plugin never resizes is refused, not mis-sized.
  HostVariable dates = NewArray(abi::kKindDateArray, 6);
  EXPECT_EQ(HostGetArraySize(single), -1);
  EXPECT_FALSE(HostResizeArray(single, 1) || HostResizeArray(dates, 1));
  EXPECT_EQ(HostGetArraySize(dates), 0);
  HostDisposeHandle(dates.value.array.elements);  // the development host clears no date array
  void* noSlot[1] = {nullptr};
  for (const PluginParameters& params :
       {PluginParameters{nullptr, nullptr, nullptr}, PluginParameters{noSlot, nullptr, nullptr}})
    for (int n : {0, 1}) {
      EXPECT_EQ(HostGetLongParameter(params, n) + HostGetShortParameter(params, n), 0);
      EXPECT_TRUE(HostGetTextParameter(params, n).units == nullptr);  // a packed field: no reference to it
      EXPECT_EQ(HostGetVariableParameter(params, n).kind, abi::kKindUndefined);
      EXPECT_EQ(HostGetBlobHandleParameter(params, n), nullptr);
      HostSetVariableParameter(params, n, single);
      HostReturnLong(params, 1);
      HostReturnText(params, u"x");
      HostReturnBlob(params, "x", 1);
    }
  EXPECT_EQ(Live(), LiveCounts{});
}

TEST_F(HostVariables, TextArraysOwnTheirElements) {
  HostVariable array = NewArray(abi::kKindTextArray, abi::kTextElementSize);
  ASSERT_TRUE(HostResizeArray(array, 3));
  // Grown elements are {0, null}: the host reads them as empty texts.
  EXPECT_EQ(Read(array), Value::TextArray({u"", u"", u"", u""}));
  HostSetTextArrayElement(array, 1, HostCreateText(u"first"));
  HostSetTextArrayElement(array, 1, HostCreateText(u"second"));  // releases "first"
  HostSetTextArrayElement(array, 3, HostCreateText(u"third"));
  HostSetTextArrayElement(array, 9, HostCreateText(u"outside"));  // disposed, not stored
  EXPECT_EQ(Read(array), Value::TextArray({u"", u"second", u"", u"third"}));
  // "second" and "third" are alive, no more.
  EXPECT_EQ(Live().texts, 2);
  ASSERT_TRUE(HostResizeArray(array, 1));  // releases "third"
  EXPECT_EQ(Live().texts, 1);
  HostClearVariable(array);
  EXPECT_EQ(Live(), LiveCounts{});
}

TEST_F(HostVariables, ClearingReleasesEveryKindOfContent) {
  HostVariable text = HostCreateVariable();
  HostSetTextVariable(text, HostCreateText(u"abc"));
  HostVariable blob = HostCreateVariable();
  HostSetBlobVariable(blob, "xyz", 3);
  HostVariable reals = NewArray(abi::kKindRealArray, 8);
  ASSERT_TRUE(HostResizeArray(reals, 2));
  HostSetRealArrayElement(reals, 2, 2.5);
  EXPECT_EQ(Read(text), Value::Text(u"abc"));
  EXPECT_EQ(Read(blob), Value::BlobOf("xyz"));
  EXPECT_EQ(Read(reals), Value::RealArray({0, 0, 2.5}));
  EXPECT_EQ(Live().texts + Live().handles, 3);
  for (HostVariable* v : {&text, &blob, &reals}) {
    HostClearVariable(*v);
    EXPECT_EQ(HostGetLastError(), 0);
    EXPECT_EQ(v->kind, abi::kKindUndefined);
  }
  EXPECT_EQ(Live(), LiveCounts{});
}

TEST_F(HostVariables, ClearingADamagedRecordIsReportedNotFollowed) {
  char** stale = HostNewHandle(8);
  HostDisposeHandle(stale);
  HostVariable blob;
  std::memset(&blob, 0, sizeof blob);
  blob.kind = abi::kKindBlob;
  blob.value.blob.handle = stale;
  HostClearVariable(blob);
  EXPECT_EQ(HostGetLastError(), lqm::host::kErrorUnknownBlock);
  EXPECT_EQ(blob.kind, abi::kKindUndefined);
}

TEST_F(HostVariables, VariablesByNameAreProcessOrInterprocess) {
  host_.SetVariable("vCount", Value::Longint(3));
  host_.SetVariable("<>vCount", Value::TextUtf8("shared"));
  host_.SetVariable("<>vList", Value::TextArray({u"", u"a"}));
  const std::u16string longName(300, u'v');
  struct Case {
    const char16_t* name;
    Value expected;
  } cases[] = {
      {u"vCount", Value::Longint(3)},
      {u"VCOUNT", Value::Longint(3)},  // 4D names are not case-sensitive
      {u"<>vCount", Value::TextUtf8("shared")},
      {u"<>vList", Value::TextArray({u"", u"a"})},
      {u"<>vMissing", Value::Undefined()},
      {u"vList", Value::Undefined()},  // only the interprocess one exists
      {u"<vCount", Value::Undefined()},  // "<" alone names no interprocess variable
      {longName.c_str(), Value::Undefined()},  // read up to 255 units
  };
  for (const Case& c : cases) {
    HostVariable v = HostGetVariableByName(c.name);
    EXPECT_EQ(HostGetLastError(), 0) << "an unknown name is no error";
    EXPECT_EQ(Read(v), c.expected);
  }
  EXPECT_EQ(HostGetVariableByName(nullptr).kind, abi::kKindUndefined);
  // A fetched variable's content stays the host's: the plugin cannot free it.
  HostVariable shared = HostGetVariableByName(u"<>vCount");
  HostClearVariable(shared);
  EXPECT_EQ(HostGetLastError(), lqm::host::kErrorNotOwned);
  EXPECT_EQ(host_.GetVariable("<>vCount"), Value::TextUtf8("shared"));
  host_.UnsetVariable("<>vCount");
  EXPECT_EQ(Read(HostGetVariableByName(u"<>vCount")), Value::Undefined());
  EXPECT_EQ(Live(), LiveCounts{});
}

TEST_F(HostVariables, LeakAccountingCatchesWhatThePluginKeeps) {
  // Texts and handles are counted in host_callback_test.cpp; a command's
  // result variable counts until it is cleared, whatever it holds.
  HostVariable result = HostExecuteCommand(494, nullptr, 0);  // Application type
  EXPECT_EQ(HostGetVariableKind(result), abi::kKindLongint);
  EXPECT_EQ(Live().variables, 1);
  HostClearVariable(result);
  EXPECT_EQ(Live(), LiveCounts{});
}

// A variable handed back into its parameter keeps the whole value its kind
// holds, whatever the kind 4D passed (LQM_SlotStub6 takes any).
TEST_F(HostVariables, HandedBackVariablesKeepTheirWholeValue) {
  const struct {
    VariableKind kind;
    size_t valueBytes;
  } cases[] = {{abi::kKindReal, sizeof(double)},       {abi::kKindDate, 3 * sizeof(int16_t)},
               {abi::kKindBoolean, 1},                 {abi::kKindTime, sizeof(int32_t)},
               {abi::kKindPicture, sizeof(void*)},     {abi::kKindPointer, sizeof(void*)},
               {abi::kKindObject, sizeof(void*)},      {abi::kKindCollection, sizeof(void*)},
               {abi::kKindBlob, sizeof(abi::BlobRecord)}, {abi::kKindText, sizeof(abi::TextRecord)},
               {abi::kKindDateArray, sizeof(abi::ArrayRecord)}};
  for (const auto& c : cases) {
    HostVariable given, slot;
    given.kind = c.kind;
    given.filler = 0;
    for (size_t i = 0; i < sizeof given.value.raw; ++i) given.value.raw[i] = uint8_t(i + 1);
    std::memset(&slot, 0, sizeof slot);
    void* slots[1] = {&slot};
    HostSetVariableParameter(PluginParameters{slots, nullptr, nullptr}, 1, given);
    EXPECT_EQ(slot.kind, c.kind);
    EXPECT_EQ(std::memcmp(slot.value.raw, given.value.raw, c.valueBytes), 0) << int(c.kind);
  }
}

// Legacy text kinds read as today's; a variable 4D left at kind 0 reads as text.
TEST_F(HostVariables, LegacyKindsReadAsTheirCurrentKinds) {
  const struct {
    uint8_t stored;
    VariableKind read;
  } cases[] = {{0, abi::kKindText},
               {abi::kKindLegacyText, abi::kKindText},
               {abi::kKindFixedString, abi::kKindText},
               {abi::kKindLegacyTextArray, abi::kKindTextArray},
               {abi::kKindStringArray, abi::kKindTextArray},
               {abi::kKindReal, abi::kKindReal}};
  for (const auto& c : cases) {
    HostVariable v = HostCreateVariable();
    v.kind = c.stored;
    EXPECT_EQ(HostGetVariableKind(v), c.read) << int(c.stored);
  }
}

// Before 4D hands over its callback, and for an argument list the command
// could not read, nothing is called and the error word says so.
TEST_F(HostVariables, CallsThatCannotReachTheHostFail) {
  HostVariable argument = HostCreateVariable();
  for (const auto& [arguments, count] : {std::pair<HostVariable*, int>{nullptr, 1}, {&argument, -1}}) {
    EXPECT_EQ(HostExecuteCommand(494, arguments, count).kind, abi::kKindUndefined);
    EXPECT_NE(HostGetLastError(), 0);
  }
  HostSetCallback(nullptr);
  EXPECT_EQ(HostNewHandle(4), nullptr);
  EXPECT_EQ(HostGetLastError(), -1);
  EXPECT_EQ(Live(), LiveCounts{});
}

TEST_F(HostVariables, ErrorWordIsPerThread) {
  // One thread fails, the other succeeds, in that order; each then sees its own word.
  std::mutex mutex;
  std::condition_variable turn;
  int step = 0;
  int16_t failing = 0, succeeding = -1;
  std::thread a([&] {
    char* bogus[1] = {nullptr};
    HostDisposeHandle(bogus);
    std::unique_lock<std::mutex> lock(mutex);
    step = 1;
    turn.notify_all();
    turn.wait(lock, [&] { return step == 2; });
    failing = HostGetLastError();
  });
  std::thread b([&] {
    std::unique_lock<std::mutex> lock(mutex);
    turn.wait(lock, [&] { return step == 1; });
    HostDisposeHandle(HostNewHandle(4));
    succeeding = HostGetLastError();
    step = 2;
    turn.notify_all();
  });
  a.join();
  b.join();
  EXPECT_EQ(failing, lqm::host::kErrorUnknownBlock);
  EXPECT_EQ(succeeding, 0);
}

}  // namespace
