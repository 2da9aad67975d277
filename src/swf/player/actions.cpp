#include "swf/player/actions.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_reader.h"

namespace orrivel::swf {

namespace {

enum ActionCode : uint8_t {
  kEnd = 0x00,
  kNextFrame = 0x04,
  kPrevFrame = 0x05,
  kPlay = 0x06,
  kStop = 0x07,
  kPop = 0x17,
  kSetTarget2 = 0x20,
  kTrace = 0x26,
  kCallFunction = 0x3D,
  kGetMember = 0x4E,
  kCallMethod = 0x52,
  kGetVariable = 0x1C,
  kPushDuplicate = 0x4C,
  kGotoFrame = 0x81,
  kConstantPool = 0x88,
  kSetTarget = 0x8B,
  kGotoLabel = 0x8C,
  kDefineFunction2 = 0x8E,
  kPush = 0x96,
  kJump = 0x99,
  kDefineFunction = 0x9B,
  kIf = 0x9D,
  kGotoFrame2 = 0x9F,
};

// Actions from this code on carry a 16-bit payload length.
constexpr uint8_t kFirstActionWithPayload = 0x80;

// The value types of ActionPush.
enum PushType : uint8_t {
  kPushString = 0,
  kPushFloat = 1,
  kPushNull = 2,
  kPushUndefined = 3,
  kPushRegister = 4,
  kPushBoolean = 5,
  kPushDouble = 6,
  kPushInteger = 7,
  kPushConstant8 = 8,
  kPushConstant16 = 9,
};

// ActionGotoFrame2 flags.
constexpr uint8_t kGotoPlay = 0x01;
constexpr uint8_t kGotoSceneBias = 0x02;

constexpr std::size_t kMaxStack = 256;
constexpr std::size_t kMaxConstants = 65535;

constexpr int kMaxCallArgs = 64;

struct Value {
  enum class Kind : uint8_t { Undefined, Number, String, Clip } kind = Kind::Undefined;
  double number = 0;
  std::string text;
  std::weak_ptr<TimelineInstance> clip;
};

std::shared_ptr<TimelineInstance> RootOf(std::shared_ptr<TimelineInstance> t) {
  while (t) {
    auto parent = t->Parent();
    if (!parent) return t;
    t = std::move(parent);
  }
  return t;
}

// Resolves a target path ("/a/b", "../c", "_root.a", "_parent", "") from base.
std::shared_ptr<TimelineInstance> ResolvePath(std::shared_ptr<TimelineInstance> base,
                                              std::string_view path) {
  auto cur = std::move(base);
  if (!path.empty() && path.front() == '/') {
    cur = RootOf(cur);
    path.remove_prefix(1);
  }
  while (cur && !path.empty()) {
    const std::size_t slash = path.find('/');
    std::string_view seg = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
    if (seg == "..") {
      cur = cur->Parent();
      continue;
    }
    while (cur && !seg.empty()) {
      const std::size_t dot = seg.find('.');
      std::string_view part = seg.substr(0, dot);
      seg = dot == std::string_view::npos ? std::string_view{} : seg.substr(dot + 1);
      if (part.empty() || part == "this") continue;
      if (part == "_root" || part == "_level0") {
        cur = RootOf(cur);
      } else if (part == "_parent") {
        cur = cur->Parent();
      } else {
        cur = cur->ChildByName(part);
      }
    }
  }
  return cur;
}

bool ParseNumber(const std::string& s, double& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  out = std::strtod(s.c_str(), &end);
  return end == s.c_str() + s.size() && std::isfinite(out);
}

class Interpreter {
 public:
  Interpreter(TimelineContext& ctx, std::shared_ptr<TimelineInstance> owner)
      : ctx_(ctx), owner_(owner), target_(std::move(owner)) {}

  void Run(std::span<const uint8_t> bytes) {
    ByteReader in(bytes);
    for (int steps = 0; !in.AtEnd() && steps < ctx_.limits.maxActionStepsPerBlock &&
                        ctx_.actionStepsThisTick < ctx_.limits.maxActionStepsPerTick;
         ++steps, ++ctx_.actionStepsThisTick) {
      const uint8_t code = in.U8();
      if (code == kEnd) return;
      ByteReader payload;
      if (code >= kFirstActionWithPayload) {
        payload = in.Sub(in.U16());
        if (in.Failed()) return;
      }
      Execute(code, payload, in);
    }
  }

 private:
  // in stands after the action, so that jumps can move it.
  void Execute(uint8_t code, ByteReader payload, ByteReader& in) {
    switch (code) {
      case kPlay:
        if (target_) target_->SetPlaying(true);
        break;
      case kStop:
        if (target_) target_->SetPlaying(false);
        break;
      case kNextFrame:
        if (target_) {
          if (target_->CurrentFrame() + 1 < target_->FrameCount())
            target_->GotoFrame(target_->CurrentFrame() + 1);
          target_->SetPlaying(false);
        }
        break;
      case kPrevFrame:
        if (target_) {
          if (target_->CurrentFrame() > 0) target_->GotoFrame(target_->CurrentFrame() - 1);
          target_->SetPlaying(false);
        }
        break;
      case kGotoFrame: {
        const uint16_t frame = payload.U16();
        if (target_ && !payload.Failed()) {
          target_->GotoFrame(frame);
          target_->SetPlaying(false);
        }
        break;
      }
      case kGotoLabel:
        if (target_) {
          const int frame = target_->FindLabel(payload.StringToEnd());
          if (frame >= 0) {
            target_->GotoFrame(frame);
            target_->SetPlaying(false);
          }
        }
        break;
      case kGotoFrame2:
        GotoFrame2(payload);
        break;
      case kSetTarget: {
        const std::string path = payload.StringToEnd();
        target_ = path.empty() ? owner_ : ResolvePath(owner_, path);
        break;
      }
      case kSetTarget2: {
        const Value v = PopValue();
        if (v.kind == Value::Kind::String && v.text.empty()) {
          target_ = owner_;
        } else {
          target_ = v.kind == Value::Kind::String ? ResolvePath(owner_, v.text) : nullptr;
        }
        break;
      }
      case kPush:
        Push(payload);
        break;
      case kConstantPool: {
        const uint16_t count = payload.U16();
        constants_.clear();
        for (uint16_t i = 0; i < count && !payload.AtEnd() && constants_.size() < kMaxConstants;
             ++i)
          constants_.push_back(payload.StringToEnd());
        break;
      }
      case kPop:
      case kTrace:
        PopValue();
        break;
      case kPushDuplicate:
        if (!stack_.empty()) PushValue(stack_.back());
        break;
      case kGetVariable:
        GetVariable();
        break;
      case kGetMember:
        GetMember();
        break;
      case kCallMethod:
        CallMethod();
        break;
      case kCallFunction:
        CallFunction();
        break;
      case kJump: {
        // Only forward branches are followed, so no loop can form.
        const int16_t offset = payload.S16();
        if (!payload.Failed() && offset > 0 && static_cast<size_t>(offset) <= in.Remaining())
          in.Skip(offset);
        break;
      }
      case kIf:
        PopValue();  // conditions are not evaluated: the branch is not taken
        break;
      case kDefineFunction:
      case kDefineFunction2: {
        // The body follows the action; it runs only when called, so skip it.
        // The body's length ends the payload.
        if (payload.Remaining() >= 2) {
          payload.Seek(payload.Data().size() - 2);
          in.Skip(std::min<size_t>(payload.U16(), in.Remaining()));
        }
        stack_.clear();
        break;
      }
      default:
        // Anything else has stack effects we do not model.
        stack_.clear();
        break;
    }
  }

  void Push(ByteReader& in) {
    while (ctx_.actionStepsThisTick < ctx_.limits.maxActionStepsPerTick && !in.AtEnd()) {
      ++ctx_.actionStepsThisTick;
      const uint8_t type = in.U8();
      Value v;
      switch (type) {
        case kPushString:
          v.kind = Value::Kind::String;
          v.text = in.StringToEnd();
          break;
        case kPushFloat:
          v.kind = Value::Kind::Number;
          v.number = in.F32();
          break;
        case kPushNull:
        case kPushUndefined:
          break;
        case kPushRegister:
          in.U8();  // registers are not modelled: the value stays undefined
          break;
        case kPushBoolean:
          v.kind = Value::Kind::Number;
          v.number = in.U8() ? 1 : 0;
          break;
        case kPushDouble: {
          // The two 32-bit halves of the double are stored high half first.
          const uint64_t hi = in.U32();
          v.kind = Value::Kind::Number;
          v.number = std::bit_cast<double>(hi << 32 | in.U32());
          break;
        }
        case kPushInteger:
          v.kind = Value::Kind::Number;
          v.number = static_cast<int32_t>(in.U32());
          break;
        case kPushConstant8:
        case kPushConstant16: {
          const uint16_t index = type == kPushConstant8 ? in.U8() : in.U16();
          if (index < constants_.size()) {
            v.kind = Value::Kind::String;
            v.text = constants_[index];
          }
          break;
        }
        default:
          return;  // unknown type: the rest of the payload cannot be read
      }
      if (in.Failed()) return;
      PushValue(std::move(v));
    }
  }

  void PushValue(Value v) {
    // A stack this deep is beyond anything the modelled actions need.
    if (stack_.size() >= kMaxStack) stack_.clear();
    stack_.push_back(std::move(v));
  }

  Value PopValue() {
    if (stack_.empty()) return {};
    Value v = std::move(stack_.back());
    stack_.pop_back();
    return v;
  }

  void GotoFrame2(ByteReader& in) {
    const uint8_t flags = in.U8();
    const uint16_t bias = (flags & kGotoSceneBias) ? in.U16() : 0;
    if (in.Failed()) return;
    GotoValue(target_, PopValue(), flags & kGotoPlay, bias);
  }

  // A goto by value: a 1-based frame number, a label, a numeric string, or
  // "path:frame" / "path:label" naming another timeline.
  void GotoValue(std::shared_ptr<TimelineInstance> timeline, const Value& v, bool play,
                 uint16_t bias) {
    int frame = -1;  // 0-based
    double number = 0;
    if (v.kind == Value::Kind::Number) {
      if (!std::isfinite(v.number)) return;
      number = v.number;
    } else if (v.kind == Value::Kind::String) {
      std::string what = v.text;
      const std::size_t colon = what.rfind(':');
      if (colon != std::string::npos) {
        timeline =
            ResolvePath(timeline ? timeline : owner_, std::string_view(what).substr(0, colon));
        what.erase(0, colon + 1);
      }
      if (!timeline) return;
      if (!ParseNumber(what, number)) {
        frame = timeline->FindLabel(what);
        if (frame < 0) return;
      }
    } else {
      return;  // nothing usable on the stack
    }
    if (!timeline) return;
    if (frame < 0) {
      // Frame numbers are 1-based here; the scene bias shifts them.
      const double n = std::trunc(std::fmin(std::fmax(number, -1e9), 1e9)) + bias;
      frame = static_cast<int>(std::fmax(n - 1, 0));
    }
    timeline->GotoFrame(frame);
    timeline->SetPlaying(play);
  }

  // Looks a variable up as a timeline path ("mc", "_root.mc", "this").
  void GetVariable() {
    const Value name = PopValue();
    Value v;
    if (name.kind == Value::Kind::String) {
      if (auto clip = ResolvePath(target_ ? target_ : owner_, name.text)) {
        v.kind = Value::Kind::Clip;
        v.clip = clip;
      }
    }
    PushValue(std::move(v));
  }

  void GetMember() {
    const Value name = PopValue();
    const Value object = PopValue();
    Value v;
    auto clip = object.clip.lock();
    if (object.kind == Value::Kind::Clip && clip && name.kind == Value::Kind::String) {
      std::shared_ptr<TimelineInstance> member;
      if (name.text == "_parent") {
        member = clip->Parent();
      } else {
        member = clip->ChildByName(name.text);
      }
      if (member) {
        v.kind = Value::Kind::Clip;
        v.clip = member;
      }
    }
    PushValue(std::move(v));
  }

  // Pops the argument count and the arguments; false when the stack cannot say.
  bool PopArgs(std::vector<Value>& args) {
    const Value count = PopValue();
    if (count.kind != Value::Kind::Number || !(count.number >= 0) || count.number > kMaxCallArgs ||
        count.number > static_cast<double>(stack_.size()))
      return false;
    for (int i = 0; i < static_cast<int>(count.number); ++i) args.push_back(PopValue());
    return true;
  }

  // The timeline methods of a movie clip; every other call only returns undefined.
  void CallMethod() {
    const Value method = PopValue();
    const Value object = PopValue();
    std::vector<Value> args;
    if (!PopArgs(args)) {
      stack_.clear();
      return;
    }
    auto clip = object.clip.lock();
    if (object.kind == Value::Kind::Clip && clip && method.kind == Value::Kind::String) {
      const std::string& m = method.text;
      if (m == "play") {
        clip->SetPlaying(true);
      } else if (m == "stop") {
        clip->SetPlaying(false);
      } else if ((m == "gotoAndPlay" || m == "gotoAndStop") && !args.empty()) {
        GotoValue(clip, args[0], m == "gotoAndPlay", 0);
      } else if (m == "nextFrame" || m == "prevFrame") {
        const int to = clip->CurrentFrame() + (m == "nextFrame" ? 1 : -1);
        if (to >= 0 && to < clip->FrameCount()) clip->GotoFrame(to);
        clip->SetPlaying(false);
      }
    }
    PushValue({});
  }

  void CallFunction() {
    PopValue();  // the name
    std::vector<Value> args;
    if (!PopArgs(args)) {
      stack_.clear();
      return;
    }
    PushValue({});
  }

  TimelineContext& ctx_;
  std::shared_ptr<TimelineInstance> owner_;
  std::shared_ptr<TimelineInstance> target_;  // null after an unknown tell-target
  std::vector<Value> stack_;
  std::vector<std::string> constants_;
};

}  // namespace

void RunActions(TimelineContext& ctx, const std::shared_ptr<TimelineInstance>& owner,
                std::span<const uint8_t> bytes) {
  if (!owner) return;
  Interpreter(ctx, owner).Run(bytes);
}

void RunActionQueue(TimelineContext& ctx) {
  for (int blocks = 0; !ctx.actions.empty() && blocks < ctx.limits.maxActionBlocksPerTick;
       ++blocks) {
    QueuedActions next = ctx.actions.front();
    ctx.actions.pop_front();
    if (auto owner = next.target.lock(); owner && next.bytes) RunActions(ctx, owner, *next.bytes);
  }
  ctx.actions.clear();
}

}  // namespace orrivel::swf
