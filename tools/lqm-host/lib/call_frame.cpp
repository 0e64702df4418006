// The call frame (call_frame.h): storing the arguments as 4D stores each
// declared parameter kind, running the entry point, and reading parameters
// and result back, moving BLOB and text contents out where nothing else
// reaches them.
#include "call_frame.h"

namespace lqm::host {

using abi::TextRecord;
using abi::VariableRecord;

namespace {

// The 4D letter a value without a declared parameter is stored as (a
// variable, an array or undefined: a variable record).
char LetterOfValue(const Value& value) {
  switch (value.kind) {
    case ValueKind::kLongint: return 'L';
    case ValueKind::kInteger: return 'I';
    case ValueKind::kReal: return 'R';
    case ValueKind::kText: return 'T';
    case ValueKind::kBlob: return 'O';
    case ValueKind::kTime: return 'H';
    default: return 'Y';
  }
}

}  // namespace

bool CallFrame::Store(ParameterSlot& slot, const Value* given, Value* movable, std::string& error) {
  const Value* value = given ? &given->Held() : nullptr;
  ValueKind kind = value ? value->kind : ValueKind::kUndefined;
  auto expect = [&](const char* what) {
    error = std::string("expected ") + what + ", got " + ValueKindName(given->kind);
    return false;
  };
  switch (slot.letter) {
    case 'L':
    case 'H':
      if (value && kind != ValueKind::kLongint && kind != ValueKind::kInteger &&
          kind != ValueKind::kTime && kind != ValueKind::kBoolean)
        return expect("a longint");
      slot.longint = value ? int32_t(value->number) : 0;
      return true;
    case 'I':
      if (value && kind != ValueKind::kInteger && kind != ValueKind::kLongint)
        return expect("an integer");
      slot.integer = value ? int16_t(value->number) : 0;
      return true;
    case 'R':
      if (value && kind != ValueKind::kReal) return expect("a real");
      slot.real = value ? value->real : 0;
      return true;
    case 'T': {
      if (value && kind != ValueKind::kText) return expect("a text");
      std::u16string empty;
      const std::u16string& text = value ? value->text : empty;
      const size_t length = text.size();
      uint64_t serial = 0;
      char16_t* units = movable && value
                            ? memory_.NewTextAdopting(movable->kind == ValueKind::kVariable ? movable->inner[0].text
                                                                                            : movable->text,
                                                      Owner::kHost, &serial)
                            : memory_.NewText(text.data(), length, Owner::kHost, &serial);
      if (!units) return error = "out of memory", false;
      Remember(units, serial);
      slot.text = TextRecord{int32_t(length), units, 0, 0};
      return true;
    }
    case 'O': {
      if (value && kind != ValueKind::kBlob) return expect("a BLOB");
      int16_t code = 0;
      uint64_t serial = 0;
      const std::vector<uint8_t> none;
      const std::vector<uint8_t>& bytes = value ? value->blob : none;
      if (movable && value)
        slot.handle = memory_.NewHandleAdopting(movable->kind == ValueKind::kVariable ? movable->inner[0].blob
                                                                                      : movable->blob,
                                                Owner::kHost, &code, &serial);
      else
        slot.handle = memory_.NewHandleFrom(bytes.data(), int64_t(bytes.size()), Owner::kHost, &code, &serial);
      if (!slot.handle) return error = "out of memory", false;
      Remember(slot.handle, serial);
      return true;
    }
    default:  // 'Y': a variable holding the value (omitted: undefined)
      if (!StoreValue(memory_, value ? *value : Value::Undefined(), slot.variable, Owner::kHost))
        return error = "out of memory", false;
      RememberRecord(slot.variable);
      return true;
  }
}

bool CallFrame::Build(const std::vector<Value>& args, std::vector<Value>* movable, std::string& error) {
  size_t declared = row_ ? row_->parameters.size() : 0;
  if (row_ && args.size() > declared) {
    error = std::string(row_->name) + " takes " + std::to_string(declared) + " arguments, not " +
            std::to_string(args.size());
    return false;
  }
  // Omitted trailing parameters still get storage holding empty values.
  size_t count = row_ ? declared : args.size();
  pointers_.reserve(count);
  made_.reserve(count + 1);
  for (size_t i = 0; i < count; ++i) {
    ParameterSlot& slot = slots_.emplace_back();
    const Value* value = i < args.size() ? &args[i] : nullptr;
    slot.letter = row_ ? row_->parameters[i] : LetterOfValue(*value);
    slot.wrapped = value && value->kind == ValueKind::kVariable;
    Value* movableValue = movable && i < args.size() ? &(*movable)[i] : nullptr;
    if (!Store(slot, value, movableValue, error)) {
      error = "argument " + std::to_string(i + 1) + ": " + error;
      return false;
    }
    pointers_.push_back(&slot.longint);
  }
  // The result slot, in the form of the declared result kind.
  resultLetter_ = row_ && !row_->result.empty() ? row_->result[0] : 0;
  switch (resultLetter_) {
    case 'T': {
      uint64_t serial = 0;
      textSentinel_ = memory_.NewText(u"", 0, Owner::kHost, &serial);
      if (!textSentinel_) return error = "out of memory", false;
      Remember(textSentinel_, serial);
      textResult_ = TextRecord{0, textSentinel_, 0, 0};
      numericResult_ = reinterpret_cast<int64_t>(&textResult_);
      break;
    }
    case 'O': {
      int16_t code = 0;
      uint64_t serial = 0;
      blobSentinel_ = memory_.NewHandle(0, Owner::kHost, &code, &serial);
      if (!blobSentinel_) return error = "out of memory", false;
      Remember(blobSentinel_, serial);
      numericResult_ = reinterpret_cast<int64_t>(blobSentinel_);
      break;
    }
    case 'R':
      std::memcpy(&realResult_, &kNoResultPattern, sizeof realResult_);
      numericResult_ = reinterpret_cast<int64_t>(&realResult_);
      break;
    default: break;
  }
  resultSlot_ = &numericResult_;
  return true;
}

void CallFrame::Run(int32_t routine) {
  void** parameters = pointers_.empty() ? nullptr : pointers_.data();
  host_.library_.entry()(routine, parameters, &host_.dataSlot_, resultSlot_);
}

// A BLOB handle (or text) that Collect is about to release, reached once
// only, has its bytes moved into the Value instead of copied and is released
// here. One reached twice (the same BLOB as a parameter and the result) or a
// named variable's pinned content is copied as before.
bool CallFrame::ReachedOnce(const void* object, std::vector<const void*>::iterator* found) {
  *found = std::find(reachable_.begin(), reachable_.end(), object);
  return object && *found != reachable_.end() && std::count(*found, reachable_.end(), object) == 1;
}

bool CallFrame::TakeBlob(char** handle, Value& out) {
  std::vector<const void*>::iterator found;
  if (!ReachedOnce(handle, &found)) return false;
  std::vector<uint8_t> bytes;
  if (!memory_.TakeHandleBytes(handle, bytes)) return false;
  reachable_.erase(found);
  Forget(handle);
  out = Value::Blob(std::move(bytes));
  return true;
}

// The same for a text; a record whose length does not fit its units is left
// to ReadText, which reports it.
bool CallFrame::TakeText(const TextRecord& text, Value& out) {
  std::vector<const void*>::iterator found;
  size_t length = 0;
  if (!ReachedOnce(text.units, &found) || !memory_.TextLength(text.units, &length) || text.length < 0 ||
      size_t(text.length) > length)
    return false;
  std::u16string units;
  if (!memory_.TakeTextUnits(text.units, units)) return false;
  reachable_.erase(found);
  Forget(text.units);
  units.resize(size_t(text.length));
  out = Value::Text(std::move(units));
  return true;
}

bool CallFrame::ReadSlot(const ParameterSlot& slot, Value& out, std::string& error) {
  switch (slot.letter) {
    case 'L': out = Value::Longint(slot.longint); return true;
    case 'H': out = Value::Time(slot.longint); return true;
    case 'I': out = Value::Integer(slot.integer); return true;
    case 'R': out = Value::Real(slot.real); return true;
    case 'T':
      if (TakeText(slot.text, out)) return true;
      out = Value::Text(u"");
      return ReadText(memory_, slot.text, out.text, error);
    case 'O': {
      if (TakeBlob(slot.handle, out)) return true;
      abi::VariableRecord record;
      std::memset(&record, 0, sizeof record);
      record.kind = abi::kKindBlob;
      record.value.blob.handle = slot.handle;
      return ReadValue(memory_, record, out, error);
    }
    default: {
      Value held;
      if (!ReadValue(memory_, slot.variable, held, error)) return false;
      out = slot.wrapped ? Value::Variable(std::move(held)) : std::move(held);
      return true;
    }
  }
}

bool CallFrame::ReadResult(std::optional<Value>& out, std::string& error) {
  out.reset();
  switch (resultLetter_) {
    case 'T': {
      if (textResult_.units == textSentinel_) return true;
      Value text = Value::Text(u"");
      if (TakeText(textResult_, text)) {
        out = std::move(text);
        return true;
      }
      if (!ReadText(memory_, textResult_, text.text, error)) return false;
      out = std::move(text);
      return true;
    }
    case 'O': {
      char** handle = reinterpret_cast<char**>(numericResult_);
      if (handle == blobSentinel_) return true;
      Value taken;
      if (TakeBlob(handle, taken)) {
        out = std::move(taken);
        return true;
      }
      abi::VariableRecord record;
      std::memset(&record, 0, sizeof record);
      record.kind = abi::kKindBlob;
      record.value.blob.handle = handle;
      Value blob;
      if (!ReadValue(memory_, record, blob, error)) return false;
      out = std::move(blob);
      return true;
    }
    case 'R': {
      int64_t bits;
      std::memcpy(&bits, &realResult_, sizeof bits);
      if (bits != kNoResultPattern) out = Value::Real(realResult_);
      return true;
    }
    default: {
      if (numericResult_ == kNoResultPattern) return true;
      if (numericResult_ < INT32_MIN || numericResult_ > INT32_MAX) {
        error = "the result slot holds " + std::to_string(numericResult_) +
                ", which is no longint sign-extended to 64 bits";
        return false;
      }
      if (resultLetter_ == 'I')
        out = Value::Integer(int16_t(numericResult_));
      else
        out = Value::Longint(int32_t(numericResult_));
      return true;
    }
  }
}

void CallFrame::CollectReachable(std::vector<const void*>& out) const {
  out.reserve(slots_.size() + 1);
  for (const ParameterSlot& slot : slots_) {
    if (slot.letter == 'T' && slot.text.units) {
      if (memory_.SerialOf(slot.text.units)) out.push_back(slot.text.units);
    } else if (slot.letter == 'O' && slot.handle) {
      if (memory_.SerialOf(slot.handle)) out.push_back(slot.handle);
    } else if (slot.letter == 'Y') {
      CollectObjects(memory_, slot.variable, out);
    }
  }
  if (resultLetter_ == 'T' && textResult_.units && memory_.SerialOf(textResult_.units))
    out.push_back(textResult_.units);
  if (resultLetter_ == 'O') {
    char** handle = reinterpret_cast<char**>(numericResult_);
    if (handle && memory_.SerialOf(handle)) out.push_back(handle);
  }
}

CallOutcome CallFrame::Collect() {
  CallOutcome outcome;
  std::string error;
  CollectReachable(reachable_);
  outcome.args.reserve(slots_.size());
  for (size_t i = 0; i < slots_.size(); ++i) {
    Value value;
    if (!ReadSlot(slots_[i], value, error)) {
      outcome.error = "after the call, argument " + std::to_string(i + 1) + ": " + error;
      break;
    }
    outcome.args.push_back(std::move(value));
  }
  if (outcome.ok() && !ReadResult(outcome.result, error)) outcome.error = "result: " + error;
  // Whatever the parameters and the result hold now has been handed back to
  // the host: release it (a named variable's pinned content stays). The
  // BLOBs moved into the outcome are released already.
  for (const void* object : reachable_) {
    Owner owner;
    if (memory_.OwnerOf(object, &owner) && owner != Owner::kPinned) {
      memory_.Release(object);
      Forget(object);
    }
  }
  return outcome;
}

}  // namespace lqm::host
