// Date: time values with local and UTC fields. "Now" is the wall clock at the
// movie's start plus the script time, so a tool that fixes the start gets the
// same dates on every run.
#include <cmath>
#include <vector>

#include "swf/avm1/date_time.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {
namespace {

BoxObject* DateOf(Object* self) {
  auto* box = dynamic_cast<BoxObject*>(self);
  return box != nullptr && box->isDate ? box : nullptr;
}

double TimeValue(Object* self) {
  const BoxObject* box = DateOf(self);
  return box != nullptr && box->primitive.type == Type::Number ? box->primitive.number : NAN;
}

double Now(const Vm& vm) { return TimeClip(std::floor(vm.dateBaseMs + vm.timeMs)); }

// An instance is a Date once the Date constructor has run on it: a class
// whose constructor never reaches it makes objects that are no dates.
Object* MakeDate(Vm& vm) { return vm.New<BoxObject>(); }

double Arg(Vm& vm, Args args, std::size_t i, double fallback) {
  return i < args.size() ? vm.ToNumber(args[i]) : fallback;
}

// (year, month[, date, hours, minutes, seconds, ms]), as the constructor and
// Date.UTC take them.
DateFields FieldsFromArgs(Vm& vm, Args args) {
  DateFields f;
  f.year = Arg(vm, args, 0, NAN);
  if (f.year <= 99) f.year += 1900;  // years below 100, even negative ones, count from 1900
  f.month = Arg(vm, args, 1, 0);
  f.date = Arg(vm, args, 2, 1);
  f.hours = Arg(vm, args, 3, 0);
  f.minutes = Arg(vm, args, 4, 0);
  f.seconds = Arg(vm, args, 5, 0);
  f.ms = Arg(vm, args, 6, 0);
  return f;
}

// new Date(), new Date(ms), new Date(year, month[, date, hours, minutes, seconds, ms]).
Completion DateCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  auto* fresh = dynamic_cast<BoxObject*>(self);
  if (fresh && fresh->primitive.IsUndefined()) fresh->isDate = true;
  BoxObject* box = DateOf(self);
  if (box == nullptr) return Value::Str(FormatDate(Now(vm), LocalOffsetMs(Now(vm))));
  double t = Now(vm);
  if (args.size() == 1) {
    // A time is taken as it is, even past the range the fields make.
    t = vm.ToNumber(args[0]);
    if (!std::isfinite(t)) t = NAN;
  } else if (args.size() >= 2) {
    t = LocalTimeOf(FieldsFromArgs(vm, args));
  }
  box->primitive = Value::Num(t);
  return Value::Obj(box);
}

Completion DateUtc(Vm& vm, const CallContext&, Args args) {
  return Value::Num(TimeOf(FieldsFromArgs(vm, args)));
}

enum class Field { Year, Month, Date, Hours, Minutes, Seconds, Ms, Day };

DateFields FieldsIn(double t, bool utc) { return FieldsOf(t, utc ? 0 : LocalOffsetMs(t)); }

double Get(const DateFields& f, Field field) {
  switch (field) {
    case Field::Year:
      return f.year;
    case Field::Month:
      return f.month;
    case Field::Date:
      return f.date;
    case Field::Hours:
      return f.hours;
    case Field::Minutes:
      return f.minutes;
    case Field::Seconds:
      return f.seconds;
    case Field::Ms:
      return f.ms;
    case Field::Day:
      return std::isnan(f.year) ? NAN : f.day;
  }
  return NAN;
}

template <Field F, bool Utc>
Completion Getter(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  if (!DateOf(self)) return {};
  return Value::Num(Get(FieldsIn(TimeValue(self), Utc), F));
}

// A setter replaces its field and, given more arguments, the fields after
// it (setHours(h, m, s, ms)); the time value follows.
template <Field F, bool Utc>
Completion Setter(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BoxObject* box = DateOf(self);
  if (box == nullptr) return {};
  double t = TimeValue(self);
  // Setting the year of an invalid date starts from 1970-01-01.
  if (std::isnan(t) && F == Field::Year) t = 0;
  DateFields f = FieldsIn(t, Utc);
  double* order[] = {&f.year, &f.month, &f.date, &f.hours, &f.minutes, &f.seconds, &f.ms};
  for (std::size_t i = 0; i < args.size() && static_cast<std::size_t>(F) + i < 7; ++i) {
    *order[static_cast<std::size_t>(F) + i] = vm.ToNumber(args[i]);
  }
  if (args.empty()) *order[static_cast<std::size_t>(F)] = NAN;
  t = Utc ? TimeOf(f) : LocalTimeOf(f);
  box->primitive = Value::Num(t);
  return Value::Num(t);
}

Completion SetTime(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  BoxObject* box = DateOf(self);
  if (box == nullptr) return {};
  box->primitive = Value::Num(TimeClip(args.empty() ? NAN : vm.ToNumber(args[0])));
  return box->primitive;
}

// The methods of a Date do nothing for an object of another kind.
Completion GetTime(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  return DateOf(self) ? Value::Num(TimeValue(self)) : Value{};
}

Completion GetYear(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  if (!DateOf(self)) return {};
  return Value::Num(FieldsIn(TimeValue(self), false).year - 1900);
}

// setYear takes two-digit years as the 1900s.
Completion SetYear(Vm& vm, const CallContext& call, Args args) {
  if (args.empty()) return Setter<Field::Year, false>(vm, call, args);
  std::vector<Value> copy(args.begin(), args.end());
  const double y = vm.ToNumber(copy[0]);
  if (y >= 0 && y <= 99) copy[0] = Value::Num(y + 1900);
  return Setter<Field::Year, false>(vm, call, copy);
}

Completion GetUtcYear(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  if (!DateOf(self)) return {};
  return Value::Num(FieldsIn(TimeValue(self), true).year - 1900);
}

Completion GetTimezoneOffset(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  if (!DateOf(self)) return {};
  const double t = TimeValue(self);
  return Value::Num(std::isnan(t) ? NAN : -LocalOffsetMs(t) / 60000);
}

Completion ToStringMethod(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  const double t = TimeValue(self);
  return Value::Str(FormatDate(t, LocalOffsetMs(t)));
}

constexpr Member kDateProto[] = {
    Native(103, 16, Method("getTime", GetTime)),
    Method("valueOf", GetTime),
    Native(103, 17, Method("setTime", SetTime)),
    Native(103, 19, Method("toString", ToStringMethod)),
    Native(103, 1, Method("getYear", GetYear)),
    Native(103, 129, Method("getUTCYear", GetUtcYear)),
    Native(103, 18, Method("getTimezoneOffset", GetTimezoneOffset)),
    Native(103, 0, Method("getFullYear", Getter<Field::Year, false>)),
    Native(103, 2, Method("getMonth", Getter<Field::Month, false>)),
    Native(103, 3, Method("getDate", Getter<Field::Date, false>)),
    Native(103, 4, Method("getDay", Getter<Field::Day, false>)),
    Native(103, 5, Method("getHours", Getter<Field::Hours, false>)),
    Native(103, 6, Method("getMinutes", Getter<Field::Minutes, false>)),
    Native(103, 7, Method("getSeconds", Getter<Field::Seconds, false>)),
    Native(103, 8, Method("getMilliseconds", Getter<Field::Ms, false>)),
    Native(103, 128, Method("getUTCFullYear", Getter<Field::Year, true>)),
    Native(103, 130, Method("getUTCMonth", Getter<Field::Month, true>)),
    Native(103, 131, Method("getUTCDate", Getter<Field::Date, true>)),
    Native(103, 132, Method("getUTCDay", Getter<Field::Day, true>)),
    Native(103, 133, Method("getUTCHours", Getter<Field::Hours, true>)),
    Native(103, 134, Method("getUTCMinutes", Getter<Field::Minutes, true>)),
    Native(103, 135, Method("getUTCSeconds", Getter<Field::Seconds, true>)),
    Native(103, 136, Method("getUTCMilliseconds", Getter<Field::Ms, true>)),
    Native(103, 9, Method("setFullYear", Setter<Field::Year, false>)),
    Native(103, 20, Method("setYear", SetYear)),
    Native(103, 10, Method("setMonth", Setter<Field::Month, false>)),
    Native(103, 11, Method("setDate", Setter<Field::Date, false>)),
    Native(103, 12, Method("setHours", Setter<Field::Hours, false>)),
    Native(103, 13, Method("setMinutes", Setter<Field::Minutes, false>)),
    Native(103, 14, Method("setSeconds", Setter<Field::Seconds, false>)),
    Native(103, 15, Method("setMilliseconds", Setter<Field::Ms, false>)),
    Native(103, 137, Method("setUTCFullYear", Setter<Field::Year, true>)),
    Native(103, 138, Method("setUTCMonth", Setter<Field::Month, true>)),
    Native(103, 139, Method("setUTCDate", Setter<Field::Date, true>)),
    Native(103, 140, Method("setUTCHours", Setter<Field::Hours, true>)),
    Native(103, 141, Method("setUTCMinutes", Setter<Field::Minutes, true>)),
    Native(103, 142, Method("setUTCSeconds", Setter<Field::Seconds, true>)),
    Native(103, 143, Method("setUTCMilliseconds", Setter<Field::Ms, true>)),
};
// Date.UTC cannot be replaced.
constexpr Member kDateStatics[] = {Native(103, 257, Method("UTC", DateUtc, kConstant))};

}  // namespace

extern const ClassDecl kDateClass{.name = "Date",
                                  .ctor = DateCtor,
                                  .proto = kDateProto,
                                  .statics = kDateStatics,
                                  .construct = MakeDate,
                                  .keep = &Vm::dateProto,
                                  .category = 103,
                                  .index = 256};

}  // namespace orrivel::swf::avm1
