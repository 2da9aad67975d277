// The script side of an edit text field: a TextField object found by its
// instance name on its parent clip, with the display properties clips have
// (_x, _alpha, _name ...) and the field's own on TextField.prototype.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "swf/avm1/object.h"

namespace orrivel::swf {
class EditText;
struct DisplayObject;
}  // namespace orrivel::swf

namespace orrivel::swf::avm1 {

class ClipObject;

class TextFieldObject : public Object {
 public:
  bool GetOwn(Vm& vm, std::string_view name, Value& out) override;
  bool SetOwn(Vm& vm, std::string_view name, const Value& v) override;
  bool HasOwn(Vm& vm, std::string_view name) override;
  bool IsTextField() const override { return true; }
  bool IsRemovedField() const override { return field.expired(); }

  std::shared_ptr<EditText> Field() const { return field.lock(); }
  ClipObject* Parent(Vm& vm) const;
  // "_level0.clip.field", as trace and targetPath print it.
  std::string Path(Vm& vm) const;

  std::weak_ptr<EditText> field;
  std::optional<bool> focusRect;  // _focusrect; unset reads null
  Object* styleSheet = nullptr;   // a TextField.StyleSheet; null for none
  void Trace(std::vector<Object*>& out) override {
    Object::Trace(out);
    if (styleSheet) out.push_back(styleSheet);
  }
};

// The object of a field (made on first use).
TextFieldObject* TextFieldFor(Vm& vm, const std::shared_ptr<EditText>& field);
// Gives TextField.prototype its native getters, as the first field made
// does (builtins_textfield.cpp).
void DeclareTextFieldGetters(Vm& vm);
// Tells a field's listeners of onChanged or onScroller (focus events go to
// the field alone): a field hears itself through its own list, so a script
// that takes it off the list silences its handlers. Without a list (a
// script deleted it) the field's own handler is called.
void NotifyField(Vm& vm, Object* field, std::string_view message, Args args);
// A field on a clip by instance name; null when there is none.
TextFieldObject* TextFieldChild(Vm& vm, const ClipObject& parent, std::string_view name);
// The field itself, when obj is a live text field's object.
EditText* AsField(Object* obj);

// Variable-bound fields: the field takes its variable's value, or gives the
// variable its own text when the variable is unset and the text is not empty.
// A script binding a field defined without text to an unset variable
// leaves both as they are.
void BindTextVariable(Vm& vm, EditText& field, bool byScript = false);
// Brings every bound field up to date (once per frame, before drawing).
void SyncTextFields(Vm& vm);
// Takes the variable's value when it changed since the field last showed it.
void RefreshFromVariable(Vm& vm, EditText& field);
// The field's text was changed by a script or typing: the variable follows.
void StoreTextVariable(Vm& vm, EditText& field);

// Creates a field on a clip (MovieClip.createTextField); null when refused.
TextFieldObject* CreateTextField(Vm& vm, ClipObject* clip, const std::string& name, int depth,
                                 double x, double y, double width, double height);
// duplicateMovieClip of a field: a new one from its character, placed alike.
TextFieldObject* DuplicateTextField(Vm& vm, EditText& source, const std::string& name,
                                    double depth);
void RemoveTextField(Vm& vm, EditText& field);

}  // namespace orrivel::swf::avm1
