// Timeline, target and clip property actions.
#include <cmath>
#include <string>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/display_host.h"
#include "swf/avm1/interpreter_internal.h"
#include "swf/avm1/loader.h"
#include "swf/avm1/url_vars.h"

namespace orrivel::swf::avm1 {

Value FrameValue(Activation& a, const Value& v) {
  if (!v.IsObject() || v.object->IsClip()) return v;
  return Value::Str(a.vm.ToString(v));
}

namespace {

ClipObject* TargetOf(Activation& a, const Value& v) {
  if (v.IsObject() && v.object->IsClip()) return static_cast<ClipObject*>(v.object);
  const std::string path = a.vm.ToString(v);
  if (path.empty()) return a.target;
  return ResolveTarget(a.vm, a.target, path, true);
}

// tellTarget's target: a clip names itself by its path (the first clip of
// that path wins), other values by their text; an empty one returns to the
// code's own clip. Null when it names nothing.
ClipObject* TellTargetOf(Activation& a, const Value& v) {
  std::string path = v.IsObject() && v.object->IsClip()
                         ? static_cast<ClipObject*>(v.object)->Path(a.vm)
                         : a.vm.ToString(v);
  if (path.empty()) return a.base;
  return ResolveTarget(a.vm, a.base, path, true);
}

// A target that names nothing leaves no clip for properties, but variables
// and timeline actions then reach the root.
void SetTargetClip(Activation& a, ClipObject* clip) {
  a.target = clip;
  ClipObject* scope = clip ? clip : a.vm.RootClip();
  a.vm.Run().target = scope;
  if (a.clipSlot >= 0) a.scope[static_cast<std::size_t>(a.clipSlot)] = scope;
}

Flow Nothing(Activation&, const Action&) { return Flow::Normal; }

Flow NextFrame(Activation& a, const Action&) {
  ClipStep(TimelineTarget(a), 1);
  return Flow::Normal;
}

Flow PrevFrame(Activation& a, const Action&) {
  ClipStep(TimelineTarget(a), -1);
  return Flow::Normal;
}

Flow Play(Activation& a, const Action&) {
  ClipSetPlaying(TimelineTarget(a), true);
  return Flow::Normal;
}

Flow Stop(Activation& a, const Action&) {
  ClipSetPlaying(TimelineTarget(a), false);
  return Flow::Normal;
}

Flow GotoFrame(Activation& a, const Action& act) {
  ClipGotoFrame(TimelineTarget(a), act.frame, false);
  return Flow::Normal;
}

Flow GotoLabel(Activation& a, const Action& act) {
  ClipGotoLabel(TimelineTarget(a), act.data->text);
  return Flow::Normal;
}

Flow GotoFrame2(Activation& a, const Action& act) {
  const int bias = (act.flags & 0x02) ? act.frame : 0;
  ClipGotoValue(a.vm, TimelineTarget(a), FrameValue(a, a.Pop()), act.flags & 0x01, bias);
  return Flow::Normal;
}

Flow CallFrame(Activation& a, const Action&) {
  ClipCallFrame(a.vm, TimelineTarget(a), FrameValue(a, a.Pop()));
  a.TakeLeftovers();
  return Flow::Normal;
}

Flow GetUrlOp(Activation& a, const Action& act) {
  GetUrl(a.vm, a.target, act.data->text, act.data->text2, 0);
  return Flow::Normal;
}

Flow GetUrl2(Activation& a, const Action& act) {
  const Value targetV = a.Pop();
  const bool clip = targetV.IsObject() && targetV.object->IsClip();
  // The target is turned to text before the URL: a clip gives its path, and
  // a number given as a clip (loadMovie(url, 2), unloadMovie(2)) names the
  // level of its whole part; a negative one names no level.
  const bool asClip = act.flags & 0x40;
  const double level = asClip && targetV.type == Type::Number ? std::trunc(targetV.number) : -1;
  const std::string target = clip ? static_cast<ClipObject*>(targetV.object)->Path(a.vm)
                             : level >= 0 && level <= kMaxLevel
                                 ? "_level" + std::to_string(static_cast<int>(level))
                                 : a.vm.ToString(targetV);
  const std::string url = a.vm.ToString(a.Pop());
  GetUrl(a.vm, a.target, url, target, act.flags);
  return Flow::Normal;
}

Flow SetTarget(Activation& a, const Action& act) {
  SetTargetClip(a, TellTargetOf(a, Value::Str(act.data->text)));
  return Flow::Normal;
}

Flow SetTarget2(Activation& a, const Action&) {
  SetTargetClip(a, TellTargetOf(a, a.Pop()));
  return Flow::Normal;
}

int PropertyIndex(Activation& a) {
  const double n = Num(a, a.Pop());
  return std::isnan(n) ? -1 : ClampToInt(n);
}

Flow GetProperty(Activation& a, const Action&) {
  const int index = PropertyIndex(a);
  ClipObject* clip = TargetOf(a, a.Pop());
  a.Push(clip ? clip->GetIndexed(a.vm, index) : Value{});
  return Flow::Normal;
}

Flow SetProperty(Activation& a, const Action&) {
  const Value v = a.Pop();
  const int index = PropertyIndex(a);
  if (ClipObject* clip = TargetOf(a, a.Pop())) {
    clip->SetIndexed(a.vm, index, v);
  } else {
    ConvertPropertyValue(a.vm, index, v);
  }
  return Flow::Normal;
}

Flow CloneSprite(Activation& a, const Action&) {
  const double depth = Num(a, a.Pop());
  const std::string name = a.vm.ToString(a.Pop());
  const Value target = a.Pop();
  // A text field is copied as a field; anything else names a clip.
  const bool field = target.IsObject() && a.vm.display &&
                     a.vm.display->DuplicateField(target.object, name, depth - 16384);
  if (ClipObject* src = field ? nullptr : TargetOf(a, target)) {
    ClipDuplicate(a.vm, src, name, depth - 16384);
  }
  return Flow::Normal;
}

Flow RemoveSprite(Activation& a, const Action&) {
  const Value target = a.Pop();
  // A text field a script placed goes as a clip would.
  if (target.IsObject() && a.vm.display && a.vm.display->RemoveField(target.object))
    return Flow::Normal;
  if (ClipObject* clip = TargetOf(a, target)) ClipRemove(a.vm, clip);
  return Flow::Normal;
}

Flow StartDrag(Activation& a, const Action&) {
  Vm& vm = a.vm;
  ClipObject* clip = TargetOf(a, a.Pop());
  // Objects count by their valueOf here, and only one that gives 1 is true.
  const auto flag = [&](const Value& v) {
    if (!v.IsObject()) return vm.ToBoolean(v);
    return Num(a, v) == 1;
  };
  const bool lock = flag(a.Pop());
  const bool constrain = flag(a.Pop());
  double bounds[4];
  if (constrain) {
    for (int i = 3; i >= 0; --i) bounds[i] = Num(a, a.Pop());
  }
  if (clip) ClipStartDrag(vm, clip, lock, constrain ? bounds : nullptr);
  return Flow::Normal;
}

Flow EndDrag(Activation& a, const Action&) {
  ClipStopDrag(a.vm);
  return Flow::Normal;
}

Flow TargetPath(Activation& a, const Action&) {
  const Value v = a.Pop();
  if (v.IsObject() && v.object->IsClip()) {
    a.Push(Value::Str(static_cast<ClipObject*>(v.object)->Path(a.vm)));
  } else if (v.IsObject() && v.object->IsTextField() && !v.object->IsRemovedField() &&
             a.vm.display) {
    a.Push(Value::Str(a.vm.display->FieldPath(v.object)));
  } else {
    a.Push({});
  }
  return Flow::Normal;
}

// Every sound ends at once; a stream goes on with its next block.
Flow StopSounds(Activation& a, const Action&) {
  if (a.vm.display) a.vm.display->StopSounds();
  return Flow::Normal;
}

Flow Trace(Activation& a, const Action&) {
  const Value v = a.Pop();
  if (!a.vm.traceSink) return Flow::Normal;
  const std::string text = v.IsUndefined() ? "undefined" : TextOf(a, v);
  // Text in SWF 5 and older is bytes: what is not UTF-8 is in the
  // system's code page.
  a.vm.traceSink(a.vm.version <= 5 ? FromUtf8OrCp1252(text) : text);
  return Flow::Normal;
}

}  // namespace

void AddTimelineOps(OpTable& t) {
  t.Set(Op::ToggleQuality, Nothing);
  t.Set(Op::StopSounds, StopSounds);
  t.Set(Op::NextFrame, NextFrame);
  t.Set(Op::PrevFrame, PrevFrame);
  t.Set(Op::Play, Play);
  t.Set(Op::Stop, Stop);
  t.Set(Op::GotoFrame, GotoFrame);
  t.Set(Op::GotoLabel, GotoLabel);
  t.Set(Op::GotoFrame2, GotoFrame2);
  t.Set(Op::Call, CallFrame);
  t.Set(Op::GetUrl, GetUrlOp);
  t.Set(Op::GetUrl2, GetUrl2);
  t.Set(Op::SetTarget, SetTarget);
  t.Set(Op::SetTarget2, SetTarget2);
  t.Set(Op::GetProperty, GetProperty);
  t.Set(Op::SetProperty, SetProperty);
  t.Set(Op::CloneSprite, CloneSprite);
  t.Set(Op::RemoveSprite, RemoveSprite);
  t.Set(Op::StartDrag, StartDrag);
  t.Set(Op::EndDrag, EndDrag);
  t.Set(Op::TargetPath, TargetPath);
  t.Set(Op::Trace, Trace);
}

}  // namespace orrivel::swf::avm1
