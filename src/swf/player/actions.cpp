#include "swf/player/actions.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

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

constexpr std::size_t kMaxStack = 256;
constexpr std::size_t kMaxConstants = 65535;

constexpr int kMaxCallArgs = 64;

struct Value {
  enum class Kind : uint8_t { Undefined, Number, String, Clip } kind = Kind::Undefined;
  double number = 0;
  std::string text;
  std::weak_ptr<TimelineInstance> clip;
};

// Bounded reads over one action's payload.
class Cursor {
 public:
  explicit Cursor(std::span<const uint8_t> data) : data_(data) {}
  bool AtEnd() const { return pos_ >= data_.size(); }
  bool U8(uint8_t& v) {
    if (pos_ + 1 > data_.size()) return false;
    v = data_[pos_++];
    return true;
  }
  bool U16(uint16_t& v) {
    if (pos_ + 2 > data_.size()) return false;
    v = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return true;
  }
  bool U32(uint32_t& v) {
    if (pos_ + 4 > data_.size()) return false;
    v = static_cast<uint32_t>(data_[pos_]) | static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
        static_cast<uint32_t>(data_[pos_ + 2]) << 16 | static_cast<uint32_t>(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return true;
  }
  // A NUL-terminated string; an unterminated one runs to the payload's end.
  std::string String() {
    const std::size_t start = pos_;
    while (pos_ < data_.size() && data_[pos_] != 0) ++pos_;
    std::string s(reinterpret_cast<const char*>(data_.data() + start), pos_ - start);
    if (pos_ < data_.size()) ++pos_;
    return s;
  }

 private:
  std::span<const uint8_t> data_;
  std::size_t pos_ = 0;
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
    std::size_t pc = 0;
    for (int steps = 0; pc < bytes.size() && steps < ctx_.limits.maxActionStepsPerBlock &&
                        ctx_.actionStepsThisTick < ctx_.limits.maxActionStepsPerTick;
         ++steps, ++ctx_.actionStepsThisTick) {
      const uint8_t code = bytes[pc++];
      if (code == kEnd) return;
      std::span<const uint8_t> payload;
      if (code >= 0x80) {
        if (pc + 2 > bytes.size()) return;
        const std::size_t len = bytes[pc] | bytes[pc + 1] << 8;
        pc += 2;
        if (pc + len > bytes.size()) return;
        payload = bytes.subspan(pc, len);
        pc += len;
      }
      Execute(code, payload, pc, bytes.size());
    }
  }

 private:
  void Execute(uint8_t code, std::span<const uint8_t> payload, std::size_t& pc,
               std::size_t size) {
    Cursor in(payload);
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
        uint16_t frame = 0;
        if (target_ && in.U16(frame)) {
          target_->GotoFrame(frame);
          target_->SetPlaying(false);
        }
        break;
      }
      case kGotoLabel:
        if (target_) {
          const int frame = target_->FindLabel(in.String());
          if (frame >= 0) {
            target_->GotoFrame(frame);
            target_->SetPlaying(false);
          }
        }
        break;
      case kGotoFrame2:
        GotoFrame2(in);
        break;
      case kSetTarget: {
        const std::string path = in.String();
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
        Push(in);
        break;
      case kConstantPool: {
        uint16_t count = 0;
        constants_.clear();
        if (!in.U16(count)) break;
        for (uint16_t i = 0; i < count && !in.AtEnd() && constants_.size() < kMaxConstants; ++i)
          constants_.push_back(in.String());
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
        uint16_t raw = 0;
        if (in.U16(raw)) {
          const auto offset = static_cast<int16_t>(raw);
          if (offset > 0 && pc + offset <= size) pc += offset;
        }
        break;
      }
      case kIf:
        PopValue();  // conditions are not evaluated: the branch is not taken
        break;
      case kDefineFunction:
      case kDefineFunction2: {
        // The body follows the action; it runs only when called, so skip it.
        if (payload.size() >= 2) {
          const std::size_t body = payload[payload.size() - 2] | payload[payload.size() - 1] << 8;
          pc = std::min(size, pc + body);
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

  void Push(Cursor& in) {
    uint8_t type = 0;
    while (ctx_.actionStepsThisTick < ctx_.limits.maxActionStepsPerTick && in.U8(type)) {
      ++ctx_.actionStepsThisTick;
      Value v;
      switch (type) {
        case 0:
          v.kind = Value::Kind::String;
          v.text = in.String();
          break;
        case 1: {
          uint32_t bits = 0;
          if (!in.U32(bits)) return;
          v.kind = Value::Kind::Number;
          v.number = std::bit_cast<float>(bits);
          break;
        }
        case 2:
        case 3:
          break;
        case 4:
        case 5: {
          uint8_t b = 0;
          if (!in.U8(b)) return;
          if (type == 5) {
            v.kind = Value::Kind::Number;
            v.number = b ? 1 : 0;
          }
          break;
        }
        case 6: {
          // The two 32-bit halves of the double are stored high half first.
          uint32_t hi = 0, lo = 0;
          if (!in.U32(hi) || !in.U32(lo)) return;
          v.kind = Value::Kind::Number;
          v.number = std::bit_cast<double>(static_cast<uint64_t>(hi) << 32 | lo);
          break;
        }
        case 7: {
          uint32_t bits = 0;
          if (!in.U32(bits)) return;
          v.kind = Value::Kind::Number;
          v.number = static_cast<int32_t>(bits);
          break;
        }
        case 8:
        case 9: {
          uint16_t index = 0;
          uint8_t small = 0;
          if (type == 8) {
            if (!in.U8(small)) return;
            index = small;
          } else if (!in.U16(index)) {
            return;
          }
          if (index < constants_.size()) {
            v.kind = Value::Kind::String;
            v.text = constants_[index];
          }
          break;
        }
        default:
          return;  // unknown type: the rest of the payload cannot be read
      }
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

  void GotoFrame2(Cursor& in) {
    uint8_t flags = 0;
    uint16_t bias = 0;
    if (!in.U8(flags)) return;
    if ((flags & 0x02) && !in.U16(bias)) return;
    GotoValue(target_, PopValue(), flags & 0x01, bias);
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
        timeline = ResolvePath(timeline ? timeline : owner_, std::string_view(what).substr(0, colon));
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
