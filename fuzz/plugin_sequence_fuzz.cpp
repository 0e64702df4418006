// Fuzz target: the whole plugin through FourDPackex and the development host.
//
// The input is a program of steps, one opcode byte each:
//   0  a lifecycle selector: -1, -2 or -200, or a routine run through the
//      selector path with no parameters
//   1+ a command call: a routine number (1..46 mostly, but also 0, 20..23,
//      47 and beyond, and negative numbers other than the three selectors),
//      then up to 5 arguments of any kind (every scalar, every array kind,
//      variables holding them, undefined), their contents from the input.
// The host stores each argument as 4D would for the declared parameter and
// refuses what 4D would refuse; what it passes on (omitted parameters,
// variables and arrays of the wrong kind, texts that are not valid UTF-16,
// empty and odd-sized BLOBs) reaches the plugin. After every step the
// plugin must hold no host object and must have left results and arguments
// in a form the host can read back (the host reports a broken rule as an
// error starting "after the call" or "result").
#include "fuzz_target.h"

#include "plugin_driver.h"

namespace plugin_sequence_fuzz {

using lqm::host::Value;

// Routine numbers worth reaching; the opcode picks one.
constexpr int32_t kRoutines[] = {0,  20, 21, 22, 23, 47, 48, 1000, -3, -4, -5, -100, INT32_MIN,
                                 INT32_MAX, 32767, 65535};
constexpr int32_t kSelectors[] = {-1, -2, -200};

std::u16string ReadText(lqm_fuzz::FuzzInput& in) {
  std::vector<uint8_t> bytes = in.ShortBytes(64);
  std::u16string text;
  for (size_t index = 0; index + 1 < bytes.size(); index += 2)
    text.push_back(char16_t(bytes[index] | (bytes[index + 1] << 8)));
  // Mostly ASCII as well, so that the commands' text rules are reached.
  if (!bytes.empty() && bytes[0] & 1)
    for (char16_t& unit : text) unit &= 0x7F;
  return text;
}

Value ReadScalar(lqm_fuzz::FuzzInput& in, uint8_t kind) {
  switch (kind % 8) {
    case 0: return Value::Longint(in.Int32());
    case 1: return Value::Integer(int16_t(in.Uint16()));
    case 2: {
      const int32_t whole = in.Int32();
      return Value::Real(whole / 7.0);
    }
    case 3: return Value::Text(ReadText(in));
    case 4: {
      std::vector<uint8_t> bytes = in.ShortBytes(200);
      return Value::Blob(bytes);
    }
    case 5: return Value::Time(in.Int32());
    case 6: return Value::Boolean(in.Byte() & 1);
    default: return Value::Undefined();
  }
}

Value ReadArray(lqm_fuzz::FuzzInput& in, uint8_t kind) {
  const size_t count = 1 + in.Byte() % 6;  // element 0 included
  switch (kind % 4) {
    case 0: {
      std::vector<int32_t> elements;
      for (size_t index = 0; index < count; ++index) elements.push_back(in.Int32());
      return Value::LongintArray(elements);
    }
    case 1: {
      std::vector<int16_t> elements;
      for (size_t index = 0; index < count; ++index) elements.push_back(int16_t(in.Uint16()));
      return Value::IntegerArray(elements);
    }
    case 2: {
      std::vector<double> elements;
      for (size_t index = 0; index < count; ++index) elements.push_back(in.Int32() / 3.0);
      return Value::RealArray(elements);
    }
    default: {
      std::vector<std::u16string> elements;
      for (size_t index = 0; index < count; ++index) elements.push_back(ReadText(in));
      return Value::TextArray(elements);
    }
  }
}

Value ReadArgument(lqm_fuzz::FuzzInput& in) {
  const uint8_t kind = in.Byte();
  switch (kind % 4) {
    case 0:
    case 1: return ReadScalar(in, kind >> 2);
    case 2: return Value::Variable(ReadScalar(in, kind >> 2));
    default: return (kind >> 2) & 1 ? Value::Variable(ReadArray(in, kind >> 3)) : ReadArray(in, kind >> 3);
  }
}

int32_t ReadRoutine(lqm_fuzz::FuzzInput& in) {
  const uint8_t choice = in.Byte();
  if (choice < 200) return 1 + choice % 46;
  return kRoutines[choice % (sizeof kRoutines / sizeof kRoutines[0])];
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

int FuzzPluginSequence(const uint8_t* data, size_t size) {
  auto host = std::make_unique<lqm::host::Host>();
  lqm_fuzz::AttachStaticPlugin(*host);
  lqm_fuzz::FuzzInput in(data, size);
  for (int step = 0; step < 64 && !in.AtEnd(); ++step) {
    const uint8_t opcode = in.Byte();
    if (opcode % 4 == 0) {
      const uint8_t which = in.Byte();
      if (which < 192) host->Select(kSelectors[which % 3]);
      else host->Select(ReadRoutine(in));
    } else {
      const int32_t routine = ReadRoutine(in);
      std::vector<Value> args;
      const int count = in.Byte() % 6;
      for (int index = 0; index < count; ++index) args.push_back(ReadArgument(in));
      const lqm::host::CallOutcome outcome = host->Call(routine, args);
      LQM_FUZZ_CHECK(!StartsWith(outcome.error, "after the call") && !StartsWith(outcome.error, "result"));
    }
    LQM_FUZZ_CHECK(lqm_fuzz::NothingLive(*host));
  }
  host->Select(lqm::abi::kSelectorDeinit);
  LQM_FUZZ_CHECK(lqm_fuzz::NothingLive(*host));
  return 0;
}

}  // namespace plugin_sequence_fuzz

LQM_FUZZ_ENTRY(plugin_sequence_fuzz::FuzzPluginSequence)
