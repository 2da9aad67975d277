// Hand-built movies for the timeline tests: frames of control tags and
// action blocks built from typed actions.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "../avm1/action_builder.h"
#include "swf/format/movie.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf::test {

inline PlaceObject Place(uint16_t depth, uint16_t character, double tx = 0) {
  PlaceObject p;
  p.version = 2;
  p.depth = depth;
  p.characterId = character;
  p.matrix = Matrix{1, 0, 0, 1, tx, 0};
  return p;
}

inline PlaceObject Named(PlaceObject p, std::string name) {
  p.name = std::move(name);
  return p;
}

inline PlaceObject Move(uint16_t depth, double tx) {
  PlaceObject p;
  p.version = 2;
  p.depth = depth;
  p.move = true;
  p.matrix = Matrix{1, 0, 0, 1, tx, 0};
  return p;
}

inline PlaceObject Replace(uint16_t depth, uint16_t character) {
  PlaceObject p;
  p.version = 2;
  p.depth = depth;
  p.move = true;
  p.characterId = character;
  return p;
}

inline RemoveObject Remove(uint16_t depth) {
  RemoveObject r;
  r.version = 2;
  r.depth = depth;
  return r;
}

// ---- Action bytes ----------------------------------------------------------

using Bytes = std::vector<uint8_t>;

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// An action with a payload: code, 16-bit length, payload.
inline Bytes Long(uint8_t code, const Bytes& payload) {
  Bytes out{code, static_cast<uint8_t>(payload.size() & 0xFF),
            static_cast<uint8_t>(payload.size() >> 8)};
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

inline Bytes Str(const std::string& s) {
  Bytes out(s.begin(), s.end());
  out.push_back(0);
  return out;
}

using avm1::Op;
using avm1::test::Asm;
inline Bytes Do(Op op) { return Asm().Do(op).Bytes(); }
inline const Bytes kStop = Do(Op::Stop);
inline const Bytes kPlay = Do(Op::Play);
inline const Bytes kNextFrame = Do(Op::NextFrame);
inline const Bytes kPrevFrame = Do(Op::PrevFrame);
inline const Bytes kEnd = Do(Op::End);
inline Bytes GotoFrame(uint16_t frame0) { return Asm().GotoFrame(frame0).Bytes(); }
inline Bytes GotoLabel(const std::string& label) { return Asm().GotoLabel(label).Bytes(); }
inline Bytes SetTarget(const std::string& path) { return Asm().SetTarget(path).Bytes(); }
inline Bytes PushString(const std::string& s) { return Asm().Push({s}).Bytes(); }
inline Bytes PushInt(int32_t v) { return Asm().Push({v}).Bytes(); }
inline Bytes GotoFrame2(bool play, int bias = -1) { return Asm().GotoFrame2(play, bias).Bytes(); }

inline Bytes PushUndefined() { return Long(0x96, {3}); }
inline Bytes PushBool(bool b) { return Long(0x96, {5, static_cast<uint8_t>(b ? 1 : 0)}); }
inline Bytes GetVar(const std::string& name) { return Cat({PushString(name), {0x1C}}); }
inline Bytes SetVar(const std::string& name, const Bytes& value) {
  return Cat({PushString(name), value, {0x1D}});
}

// The values pushed in reverse and their count, as calls and InitArray
// take them.
inline Bytes Reversed(std::initializer_list<Bytes> items) {
  std::vector<Bytes> v(items);
  Bytes out;
  for (auto it = v.rbegin(); it != v.rend(); ++it) out.insert(out.end(), it->begin(), it->end());
  const Bytes count = PushInt(static_cast<int32_t>(v.size()));
  out.insert(out.end(), count.begin(), count.end());
  return out;
}
inline Bytes Array(std::initializer_list<Bytes> items) { return Cat({Reversed(items), {0x42}}); }
// object.method(args...), its result kept on the stack.
inline Bytes CallMethod(const Bytes& object, const std::string& method,
                        std::initializer_list<Bytes> args) {
  return Cat({Reversed(args), object, PushString(method), {0x52}});
}
// The same with the result dropped, on _root.
inline Bytes CallRoot(const std::string& method, std::initializer_list<Bytes> args) {
  return Cat({CallMethod(GetVar("_root"), method, args), {0x17}});
}

inline DoAction Act(std::initializer_list<Bytes> parts) {
  DoAction a;
  a.actions = Cat(parts);
  a.actions.push_back(0);
  return a;
}

// ---- Movies ------------------------------------------------------------------

constexpr uint16_t kShapeA = 10, kShapeB = 11, kShapeC = 12;

// A 550x400 stage at 24 fps with three shapes in the dictionary.
inline Movie BaseMovie() {
  Movie m;
  m.header.version = 8;
  m.header.frameSize = Rect{0, 550 * 20, 0, 400 * 20};
  m.header.frameRate = 24;
  for (uint16_t id : {kShapeA, kShapeB, kShapeC}) {
    ShapeDefinition s;
    s.id = id;
    m.characters.emplace(id, s);
  }
  return m;
}

inline Frame MakeFrame(std::vector<ControlTag> tags, std::string label = {}) {
  Frame f;
  f.tags = std::move(tags);
  if (!label.empty()) f.label = std::move(label);
  return f;
}

inline Timeline MakeTimeline(std::vector<Frame> frames) {
  Timeline t;
  t.declaredFrameCount = static_cast<uint16_t>(frames.size());
  t.frames = std::move(frames);
  return t;
}

inline void AddSprite(Movie& m, uint16_t id, std::vector<Frame> frames) {
  SpriteDefinition s;
  s.id = id;
  s.timeline = MakeTimeline(std::move(frames));
  m.characters.emplace(id, std::move(s));
}

// A filled rectangle, corners in stage pixels.
inline ShapeDefinition RectShape(uint16_t id, int x0, int y0, int x1, int y1) {
  ShapeDefinition s;
  s.id = id;
  s.bounds = Rect{x0 * 20, x1 * 20, y0 * 20, y1 * 20};
  s.shape.fillStyles.emplace_back().color = Rgba{0, 0, 255, 255};
  StyleChangeRecord start;
  start.moveTo = std::make_pair(x0 * 20, y0 * 20);
  start.fillStyle1 = 1;
  const int w = (x1 - x0) * 20, h = (y1 - y0) * 20;
  s.shape.records = {start, StraightEdgeRecord{w, 0}, StraightEdgeRecord{0, h},
                     StraightEdgeRecord{-w, 0}, StraightEdgeRecord{0, -h}};
  return s;
}

// "1:10 2:11@100 3:12+10": depth, character, (when not 0) x translation in
// twips, and the characters sharing the depth over it.
inline std::string Describe(const DisplayList& list) {
  std::string out;
  for (const auto& [depth, obj] : list) {
    if (!out.empty()) out += ' ';
    out += std::to_string(depth) + ":" + std::to_string(obj.characterId);
    if (obj.matrix.tx != 0) out += "@" + std::to_string(static_cast<int>(obj.matrix.tx));
    for (const DisplayObject& sharing : obj.above) out += "+" + std::to_string(sharing.characterId);
  }
  return out;
}

}  // namespace orrivel::swf::test
