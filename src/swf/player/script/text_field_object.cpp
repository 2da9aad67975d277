#include "swf/player/script/text_field_object.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "swf/avm1/broadcaster.h"
#include "swf/avm1/clip_object.h"
#include "swf/player/script/input.h"
#include "swf/avm1/vm.h"
#include "swf/player/edit_text.h"
#include "swf/player/timeline_instance.h"
#include "swf/player/script/script_display.h"

namespace orrivel::swf::avm1 {

namespace {

double Round(double v, double unit) { return std::round(v / unit) * unit; }

// The field's box in its parent's space, its corners on whole twips.
FloatRect ParentBounds(const Rect& b, const Matrix& m) {
  FloatRect r;
  for (const auto& [x, y] : {std::pair{b.xMin, b.yMin}, std::pair{b.xMax, b.yMin},
                             std::pair{b.xMin, b.yMax}, std::pair{b.xMax, b.yMax}}) {
    r.Include(static_cast<float>(std::round(m.a * x + m.c * y + m.tx)),
              static_cast<float>(std::round(m.b * x + m.d * y + m.ty)));
  }
  return r;
}

bool Named(std::string_view name, const char* what) {
  const size_t n = std::char_traits<char>::length(what);
  if (name.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) != what[i]) return false;
  }
  return true;
}

// The display properties a field shares with clips, by ClipPropertyIndex.
bool IsFieldProperty(int index) {
  return index >= 0 && index != 4 && index != 5 && index != 12 && index != 14;
}

// Splits "path:name", "path.name" or "name" of a bound variable.
std::pair<std::string_view, std::string_view> SplitVariable(std::string_view v) {
  const size_t cut = v.find_last_of(":.");
  if (cut == std::string_view::npos) return {{}, v};
  return {v.substr(0, cut), v.substr(cut + 1)};
}

Object* VariableOwner(Vm& vm, EditText& field, std::string_view& name) {
  auto parent = field.parent.lock();
  if (!parent || field.variable.empty()) return nullptr;
  ClipObject* clip = vm.ClipFor(parent);
  auto [path, leaf] = SplitVariable(field.variable);
  name = leaf;
  if (path.empty()) return clip;
  if (ClipObject* target = ResolveTarget(vm, clip, path)) return target;
  // A path through plain objects binds too ("obj.name").
  Object* owner = clip;
  while (owner && !path.empty()) {
    const size_t cut = path.find_first_of(":.");
    const Value next = vm.Get(owner, path.substr(0, cut));
    owner = next.IsObject() ? next.object : nullptr;
    path = cut == std::string_view::npos ? std::string_view{} : path.substr(cut + 1);
  }
  return owner;
}

}  // namespace

EditText* AsField(Object* obj) {
  if (!obj || !obj->IsTextField()) return nullptr;
  return static_cast<TextFieldObject*>(obj)->Field().get();
}

ClipObject* TextFieldObject::Parent(Vm& vm) const {
  auto f = Field();
  return f ? vm.ClipFor(f->parent.lock()) : nullptr;
}

std::string TextFieldObject::Path(Vm& vm) const {
  auto f = Field();
  ClipObject* parent = Parent(vm);
  if (!f || !parent) return "";
  const DisplayObject* p = f->Placement();
  return parent->Path(vm) + "." + (p ? p->name : "");
}

bool TextFieldObject::GetOwn(Vm& vm, std::string_view name, Value& out) {
  if (!name.empty() && name[0] == '_') {
    auto f = Field();
    DisplayObject* p = f ? f->Placement() : nullptr;
    const int index = ClipPropertyIndex(name);
    if (IsFieldProperty(index)) {
      if (!p) {
        out = {};
        return true;
      }
      // An auto-sized field takes its size (and so its corner) first.
      if (index == 0 || index == 1) f->Layout();
      const Matrix& m = p->matrix;
      const Rect& b = f->Def().bounds;
      switch (index) {
        // A field's position is its box's corner: the placement plus the
        // definition's offset.
        case 0:
          out = Value::Num(Round((m.tx + m.a * b.xMin + m.c * b.yMin) / 20.0, 0.05));
          break;
        case 1:
          out = Value::Num(Round((m.ty + m.b * b.xMin + m.d * b.yMin) / 20.0, 0.05));
          break;
        case 2:
        case 3:
          out = Value::Num(
              GetScaleProperty(p, index == 3 ? ScaleProperty::YScale : ScaleProperty::XScale));
          break;
        case 6:
          out = Value::Num(p->colorTransform.aMult * 100.0 / 256);
          break;
        case 7:
          out = Value::Bool(p->visible);
          break;
        case 8:
        case 9: {
          f->Layout();  // an auto-sized field takes its size first
          const FloatRect r = ParentBounds(b, m);
          // Whole twips, as the player keeps bounds.
          out = Value::Num(std::trunc(index == 8 ? r.xMax - r.xMin : r.yMax - r.yMin) / 20.0);
          break;
        }
        case 10:
          out = Value::Num(GetScaleProperty(p, ScaleProperty::Rotation));
          break;
        case 11: {
          std::string path = Path(vm).substr(7);
          for (char& c : path) {
            if (c == '.') c = '/';
          }
          out = Value::Str(path);
          break;
        }
        case 13:
          out = Value::Str(p->name);
          break;
        case 15:
          out = Value::Str("file:///test.swf");
          break;
        case 16:
          out = Value::Num(1);
          break;
        case 17:
          out = GetFocusRect(vm, &focusRect);
          break;
        case 18:
          out = Value::Num(5);
          break;
        case 19:
          out = Value::Str("HIGH");
          break;
        default:
          out = Value::Num(0);
          break;
      }
      return true;
    }
    if (Named(name, "_parent")) {
      out = Value::Obj(Parent(vm));
      return true;
    }
  }
  return Object::GetOwn(vm, name, out);
}

bool TextFieldObject::HasOwn(Vm& vm, std::string_view name) {
  if (!name.empty() && name[0] == '_' &&
      (IsFieldProperty(ClipPropertyIndex(name)) || Named(name, "_parent")))
    return true;
  return Object::HasOwn(vm, name);
}

bool TextFieldObject::SetOwn(Vm& vm, std::string_view name, const Value& v) {
  const int index = name.empty() || name[0] != '_' ? -1 : ClipPropertyIndex(name);
  if (!IsFieldProperty(index)) return Object::SetOwn(vm, name, v);
  if (index == 17) {
    SetFocusRect(vm, &focusRect, v);
    return true;
  }
  auto f = Field();
  DisplayObject* p = f ? f->Placement() : nullptr;
  if (!p) return true;
  const double n = vm.ToNumber(v);
  if (index == 0 || index == 1) f->Layout();  // the box's corner as sized
  Matrix& m = p->matrix;
  const bool finite = std::isfinite(n);
  const Rect& b = f->Def().bounds;
  switch (index) {
    case 0:
      if (finite) m.tx = std::round(n * 20) - std::round(m.a * b.xMin + m.c * b.yMin);
      break;
    case 1:
      if (finite) m.ty = std::round(n * 20) - std::round(m.b * b.xMin + m.d * b.yMin);
      break;
    case 2:
    case 3:
      SetScaleProperty(*p, index == 3 ? ScaleProperty::YScale : ScaleProperty::XScale, n);
      break;
    case 6:
      if (finite)
        p->colorTransform.aMult = static_cast<int16_t>(std::clamp(n * 2.56, -32768.0, 32767.0));
      break;
    case 7:
      p->visible = vm.ToBoolean(v);
      if (!p->visible && vm.input.focusField.lock() == f) SetFocus(vm, nullptr);
      break;
    case 8:
    case 9: {
      // A field's size is its box, not its scale.
      if (!finite || n < 0) break;
      const double twips = std::min(std::round(n * 20), 1e8);
      Rect& b = f->MutableDef().bounds;
      if (index == 8) {
        b.xMax = b.xMin + static_cast<int32_t>(twips);
      } else {
        b.yMax = b.yMin + static_cast<int32_t>(twips);
      }
      break;
    }
    case 10:
      SetScaleProperty(*p, ScaleProperty::Rotation, n);
      break;
    case 13:
      p->name = vm.ToString(v);
      break;
    default:
      return true;
  }
  p->scripted = true;
  return true;
}

TextFieldObject* TextFieldFor(Vm& vm, const std::shared_ptr<EditText>& field) {
  if (!field) return nullptr;
  if (!field->script) {
    auto* obj = vm.New<TextFieldObject>();
    obj->proto = vm.version < 6 && vm.clipProto ? vm.clipProto : vm.textFieldProto;
    DeclareTextFieldGetters(vm);
    obj->field = field;
    field->script = obj;
    // Every field starts as a broadcaster that lists itself.
    if (vm.version >= 6) {
      obj->Define(vm, "_listeners", Value::Obj(vm.NewArray({Value::Obj(obj)})), kDontEnum);
    }
  }
  return static_cast<TextFieldObject*>(field->script);
}

void NotifyField(Vm& vm, Object* field, std::string_view message, Args args) {
  if (!field) return;
  if (field->IsTextField() && vm.Get(field, "_listeners").IsObject()) {
    Broadcast(vm, field, message, args);
  } else {
    vm.CallMethod(field, message, args);
  }
}

TextFieldObject* TextFieldChild(Vm& vm, const ClipObject& parent, std::string_view name) {
  auto t = parent.Instance();
  if (!t) return nullptr;
  for (const auto& [depth, obj] : t->List()) {
    if (obj.text && !obj.name.empty() && vm.NamesEqual(obj.name, name))
      return TextFieldFor(vm, obj.text);
  }
  return nullptr;
}

void BindTextVariable(Vm& vm, EditText& field, bool byScript) {
  std::string_view name;
  Object* owner = VariableOwner(vm, field, name);
  if (!owner || name.empty()) return;
  const bool utf8 = vm.version >= 6;
  const Value v = vm.Get(owner, name);
  // A script's binding of a field that was defined without text to an
  // unset variable leaves both as they are.
  if (v.IsUndefined() && byScript && !field.Def().initialText) return;
  if (v.IsUndefined()) {
    // The field's text from its definition becomes the variable's value; an
    // empty one leaves the variable unset.
    const EditTextDefinition& def = field.Def();
    if (def.initialText) {
      const std::u32string initial = DecodeText(*def.initialText, utf8);
      if (def.html) {
        field.SetHtmlText(initial);
      } else {
        field.SetText(initial);
      }
    } else {
      field.SetText(U"");
    }
    const std::u32string text = field.Text();
    if (!text.empty()) vm.Set(owner, name, Value::Str(EncodeText(text, utf8)));
    field.shownVariable = text;
    field.shownObject = nullptr;
    return;
  }
  field.shownObject = v.IsObject() ? v.object : nullptr;
  const std::u32string text = DecodeText(vm.ToString(v), utf8);
  if (text != field.shownVariable || text != field.Text()) {
    field.shownVariable = text;
    if (field.Def().html) {
      field.SetHtmlText(text);
    } else {
      field.SetText(text);
    }
  }
}

void StoreTextVariable(Vm& vm, EditText& field) {
  std::string_view name;
  Object* owner = VariableOwner(vm, field, name);
  if (!owner || name.empty()) return;
  const bool utf8 = vm.version >= 6;
  vm.Set(owner, name, Value::Str(EncodeText(field.Text(), utf8)));
  // A variable that refused the text (read-only) leaves the field showing
  // it until the variable itself changes.
  const Value now = vm.Get(owner, name);
  field.shownVariable = now.IsUndefined() ? field.Text() : DecodeText(vm.ToString(now), utf8);
  field.shownObject = now.IsObject() ? now.object : nullptr;
}

void SyncTextFields(Vm& vm) {
  std::vector<std::shared_ptr<TimelineInstance>> clips;
  if (DisplayOf(vm).root) clips.push_back(DisplayOf(vm).root);
  std::vector<std::shared_ptr<EditText>> bound;
  while (!clips.empty()) {
    auto t = std::move(clips.back());
    clips.pop_back();
    for (const auto& [depth, obj] : t->List()) {
      if (obj.instance) clips.push_back(obj.instance);
      if (obj.text && !obj.text->variable.empty()) bound.push_back(obj.text);
    }
  }
  for (const auto& f : bound) RefreshFromVariable(vm, *f);
}

void RefreshFromVariable(Vm& vm, EditText& field) {
  std::string_view name;
  Object* owner = VariableOwner(vm, field, name);
  // Only a clip's variables are watched; an object's change shows when the
  // binding is made again.
  if (!owner || !owner->IsClip() || name.empty()) return;
  const Value v = vm.Get(owner, name);
  if (v.IsUndefined()) return;
  // An object shows the text it had when the variable took it.
  if (v.IsObject() && v.object == field.shownObject) return;
  field.shownObject = v.IsObject() ? v.object : nullptr;
  const std::u32string text = DecodeText(vm.ToString(v), vm.version >= 6);
  if (text == field.shownVariable) return;
  field.shownVariable = text;
  if (field.Def().html) {
    field.SetHtmlText(text);
  } else {
    field.SetText(text);
  }
}

namespace {

// A field made by a script: the tag's defaults at a size in twips.
EditTextDefinition ScriptFieldDefinition(int32_t width, int32_t height) {
  EditTextDefinition def;
  def.bounds = Rect{0, width, 0, height};
  def.fontHeight = 240;
  def.readOnly = true;
  def.color = Rgba{0, 0, 0, 255};
  return def;
}

}  // namespace

TextFieldObject* CreateTextField(Vm& vm, ClipObject* clip, const std::string& name, int depth,
                                 double x, double y, double width, double height) {
  auto t = clip ? clip->Instance() : nullptr;
  const double d = depth + 16384.0;
  if (!t || d < 0 || d > 65535) return nullptr;
  const auto at = static_cast<uint16_t>(d);
  DisplayList& list = t->MutableList();
  TimelineContext& ctx = t->Context();
  if (!list.contains(at) && ctx.liveObjects >= ctx.limits.maxDisplayObjects) return nullptr;
  // Position and size are cut to whole pixels.
  const auto twips = [](double v) {
    return std::isfinite(v) ? static_cast<int32_t>(std::clamp(std::trunc(v) * 20, -1e8, 1e8)) : 0;
  };
  const EditTextDefinition def = ScriptFieldDefinition(twips(width), twips(height));
  DisplayObject obj;
  obj.depth = at;
  obj.name = name;
  obj.scripted = true;
  obj.byScript = true;
  obj.matrix.tx = twips(x);
  obj.matrix.ty = twips(y);
  obj.text = std::make_shared<EditText>(ctx, def);
  obj.text->parent = t;
  obj.text->depthHint = at;
  auto field = obj.text;
  if (!list.contains(at)) ++ctx.liveObjects;
  list.insert_or_assign(at, std::move(obj));
  return TextFieldFor(vm, field);
}

TextFieldObject* DuplicateTextField(Vm& vm, EditText& source, const std::string& name,
                                    double depth) {
  DisplayObject* p = source.Placement();
  auto t = source.parent.lock();
  int32_t key = 0;
  if (!p || !t || !ClipDepthKey(depth, key)) return nullptr;
  DisplayList& list = t->MutableList();
  TimelineContext& ctx = t->Context();
  if (!list.contains(key) && ctx.liveObjects >= ctx.limits.maxDisplayObjects) return nullptr;
  // The copy starts from the field's character as the tag defined it, not
  // from what scripts made of the field; a copy of a script's field is a
  // new one, without text and without size.
  const Movie& movie = t->GetMovie();
  const auto it = movie.characters.find(p->characterId);
  const auto* tagDef =
      it != movie.characters.end() ? std::get_if<EditTextDefinition>(&it->second) : nullptr;
  EditTextDefinition def = tagDef ? *tagDef : ScriptFieldDefinition(0, 0);
  if (!tagDef) def.readOnly = source.Def().readOnly;  // only its type carries over
  DisplayObject obj = *p;
  obj.instance.reset();
  obj.filters.clear();  // a script's filters and visibility stay with the original
  obj.visible = true;
  obj.depth = key;
  obj.name = name;
  obj.scripted = true;
  obj.byScript = true;
  obj.text = std::make_shared<EditText>(ctx, def);
  obj.text->parent = t;
  obj.text->depthHint = static_cast<uint16_t>(std::clamp(key, 0, 0xFFFF));
  auto field = obj.text;
  if (!list.contains(key)) ++ctx.liveObjects;
  list.insert_or_assign(key, std::move(obj));
  BindTextVariable(vm, *field);
  return TextFieldFor(vm, field);
}

void RemoveTextField(Vm&, EditText& field) {
  DisplayObject* p = field.Placement();
  auto parent = field.parent.lock();
  // Only fields a script placed can be removed by one.
  if (!p || !parent || p->depth < 16384) return;
  parent->RemoveDepth(p->depth);
}

}  // namespace orrivel::swf::avm1
