// Turns action bytes into typed actions: each action's code and operands are
// read once, and every branch target and body length is checked against the
// block it sits in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace orrivel::swf::avm1 {

// Every action code of SWF 3 to 8. The value is the code in the file.
enum class Op : uint16_t {
  End = 0x00,
  NextFrame = 0x04,
  PrevFrame = 0x05,
  Play = 0x06,
  Stop = 0x07,
  ToggleQuality = 0x08,
  StopSounds = 0x09,
  Add = 0x0A,
  Subtract = 0x0B,
  Multiply = 0x0C,
  Divide = 0x0D,
  Equals = 0x0E,
  Less = 0x0F,
  And = 0x10,
  Or = 0x11,
  Not = 0x12,
  StringEquals = 0x13,
  StringLength = 0x14,
  StringExtract = 0x15,
  Pop = 0x17,
  ToInteger = 0x18,
  GetVariable = 0x1C,
  SetVariable = 0x1D,
  SetTarget2 = 0x20,
  StringAdd = 0x21,
  GetProperty = 0x22,
  SetProperty = 0x23,
  CloneSprite = 0x24,
  RemoveSprite = 0x25,
  Trace = 0x26,
  StartDrag = 0x27,
  EndDrag = 0x28,
  StringLess = 0x29,
  Throw = 0x2A,
  CastOp = 0x2B,
  ImplementsOp = 0x2C,
  RandomNumber = 0x30,
  MBStringLength = 0x31,
  CharToAscii = 0x32,
  AsciiToChar = 0x33,
  GetTime = 0x34,
  MBStringExtract = 0x35,
  MBCharToAscii = 0x36,
  MBAsciiToChar = 0x37,
  Delete = 0x3A,
  Delete2 = 0x3B,
  DefineLocal = 0x3C,
  CallFunction = 0x3D,
  Return = 0x3E,
  Modulo = 0x3F,
  NewObject = 0x40,
  DefineLocal2 = 0x41,
  InitArray = 0x42,
  InitObject = 0x43,
  TypeOf = 0x44,
  TargetPath = 0x45,
  Enumerate = 0x46,
  Add2 = 0x47,
  Less2 = 0x48,
  Equals2 = 0x49,
  ToNumber = 0x4A,
  ToString = 0x4B,
  PushDuplicate = 0x4C,
  StackSwap = 0x4D,
  GetMember = 0x4E,
  SetMember = 0x4F,
  Increment = 0x50,
  Decrement = 0x51,
  CallMethod = 0x52,
  NewMethod = 0x53,
  InstanceOf = 0x54,
  Enumerate2 = 0x55,
  BitAnd = 0x60,
  BitOr = 0x61,
  BitXor = 0x62,
  BitLShift = 0x63,
  BitRShift = 0x64,
  BitURShift = 0x65,
  StrictEquals = 0x66,
  Greater = 0x67,
  StringGreater = 0x68,
  Extends = 0x69,
  GotoFrame = 0x81,
  GetUrl = 0x83,
  StoreRegister = 0x87,
  ConstantPool = 0x88,
  WaitForFrame = 0x8A,
  SetTarget = 0x8B,
  GotoLabel = 0x8C,
  WaitForFrame2 = 0x8D,
  DefineFunction2 = 0x8E,
  Try = 0x8F,
  With = 0x94,
  Push = 0x96,
  Jump = 0x99,
  GetUrl2 = 0x9A,
  DefineFunction = 0x9B,
  If = 0x9D,
  Call = 0x9E,
  GotoFrame2 = 0x9F,
  // Not codes in a file:
  Unknown = 0x100,   // a code no player version knows: skipped by its length
  Truncated = 0x101  // the action's header or length runs past the block: the block ends
};

// The action's name as the disassembler prints it ("Push", "Unknown").
const char* OpName(Op op);
// Whether a code is one of the actions above.
bool IsKnownCode(uint8_t code);

struct PushValue {
  enum class Kind : uint8_t {
    String,
    Float,
    Null,
    Undefined,
    Register,
    Boolean,
    Double,
    Integer,
    Constant8,
    Constant16
  };
  Kind kind = Kind::Undefined;
  double number = 0;   // Float, Double, Integer; Boolean as 0 or 1
  uint16_t index = 0;  // Register, Constant8, Constant16
  std::string string;
};

// DefineFunction and DefineFunction2.
struct FunctionHeader {
  std::string name;
  std::vector<std::string> params;
  std::vector<uint8_t> paramRegisters;  // DefineFunction2: 0 = by name
  uint8_t registerCount = 4;
  uint16_t flags = 0;
  bool v2 = false;
};

enum : uint8_t { kTryHasCatch = 0x01, kTryHasFinally = 0x02, kTryCatchInRegister = 0x04 };

struct TryHeader {
  uint8_t flags = 0;
  uint16_t trySize = 0, catchSize = 0, finallySize = 0;
  std::string catchName;
  uint8_t catchRegister = 0;
  // The blocks' ends, cut at the end of the code.
  uint32_t tryEnd = 0, catchEnd = 0, finallyEnd = 0;
};

// The operands of the actions that carry text, values or a header.
struct ActionData {
  // GetUrl url and window; GotoLabel and SetTarget text; an unknown action's payload.
  std::string text, text2;
  std::vector<PushValue> values;
  std::shared_ptr<const std::vector<std::string>> pool;  // ConstantPool
  FunctionHeader function;
  TryHeader tryBlock;
};

// One decoded action. Fields an action has no use for stay zero. Operands
// cut short by the action's length read as zeros (as the player reads them);
// `shortPayload` tells.
struct Action {
  Op op = Op::End;
  uint8_t code = 0;
  bool shortPayload = false;
  bool targetOutside = false;  // a branch or body that leaves the block
  uint8_t skip = 0;            // WaitForFrame, WaitForFrame2
  uint8_t reg = 0;             // StoreRegister
  uint8_t flags = 0;           // GetUrl2, GotoFrame2
  uint16_t length = 0;         // of the payload
  uint16_t frame = 0;          // GotoFrame, WaitForFrame; GotoFrame2's scene bias
  int16_t branch = 0;          // Jump, If: offset from `next`
  uint16_t size = 0;           // With, DefineFunction(2): the body length written
  uint32_t offset = 0;         // where the action starts in the block
  uint32_t next = 0;           // where the next one starts
  // Jump and If: where the branch goes (a branch before the block's start
  // goes to its end); With and function bodies: where the body ends, cut at
  // the end of the block.
  uint32_t target = 0;
  // Set for GetUrl, GotoLabel, SetTarget, Push, ConstantPool, DefineFunction(2), Try
  // and unknown actions.
  std::shared_ptr<const ActionData> data;
};

// Decodes the action that starts at `offset` (< code.size()).
Action DecodeAction(std::span<const uint8_t> code, std::size_t offset);

// Reads a block's actions one after the other, from its start.
class ActionReader {
 public:
  explicit ActionReader(std::span<const uint8_t> code) : code_(code) {}
  // False at the end of the block, after End, or after a truncated action.
  bool Next(Action& out);
  std::size_t Unknown() const { return unknown_; }

 private:
  std::span<const uint8_t> code_;
  std::size_t pos_ = 0;
  std::size_t unknown_ = 0;
  bool done_ = false;
};

// What a block holds, counted the way the reader walks it.
struct BlockSummary {
  std::size_t actions = 0;
  std::size_t unknown = 0;
  bool truncated = false;
};
BlockSummary Summarize(std::span<const uint8_t> code);

// One action a line: "0x001A  Push "x", 1", with function, With and Try
// bodies indented, and a closing line counting unknown actions.
std::string Disassemble(std::span<const uint8_t> code);
// The text of one action without its offset.
std::string DescribeAction(const Action& a);

// Writes an action back as bytes (the builder of test blocks and the
// round-trip check of the fuzz target use it). Payload lengths are written
// from the operands; bodies are not included.
std::vector<uint8_t> EncodeAction(const Action& a);

}  // namespace orrivel::swf::avm1
