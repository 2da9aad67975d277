#include "swf/player/movie_loader.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <memory>
#include <span>
#include <vector>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/loader.h"
#include "swf/avm1/url_vars.h"
#include "swf/avm1/vm.h"
#include "swf/format/reader.h"
#include "swf/player/actions.h"
#include "swf/player/asset_import.h"

namespace orrivel::swf {

namespace {

using avm1::Value;

bool CodepageText(avm1::Vm& vm) {
  if (vm.version < 6) return true;
  const Value system = vm.Get(vm.global, "System");
  return system.IsObject() && vm.ToBoolean(vm.Get(system.object, "useCodepage"));
}

// The file's text, and its size in bytes as loaded.
bool Read(avm1::Vm& vm, const std::string& url, std::string& text, std::size_t* size = nullptr) {
  std::string bytes;
  // An empty file reads as a failed load, as in the player.
  if (url.empty() || !vm.readFile || !vm.readFile(url, bytes) || bytes.empty()) return false;
  if (size) *size = bytes.size();
  text = avm1::DecodeLoadedText(bytes, CodepageText(vm), vm.version >= 6);
  return vm.Charge(text.size());
}

void AnswerData(avm1::Vm& vm, avm1::Object* target, const std::string& url, bool refused) {
  std::string text;
  std::size_t bytes = 0;
  if (!refused && Read(vm, url, text, &bytes)) {
    const double size = static_cast<double>(bytes);
    constexpr uint8_t kFlags = avm1::kDontEnum | avm1::kDontDelete;
    target->Define(vm, "_bytesLoaded", Value::Num(size), kFlags);
    target->Define(vm, "_bytesTotal", Value::Num(size), kFlags);
    const Value arg[1] = {Value::Str(std::move(text))};
    vm.CallMethod(target, "onData", arg);
  } else {
    const Value arg[1] = {Value{}};
    vm.CallMethod(target, "onData", arg);
  }
}

void AnswerVariables(TimelineContext& ctx, avm1::ClipObject* clip, const std::string& url) {
  avm1::Vm& vm = *ctx.vm;
  std::string text;
  auto instance = clip->Instance();
  if (!instance || !Read(vm, url, text)) return;
  for (auto& [name, value] : avm1::DecodeUrlVars(text)) vm.Set(clip, name, Value::Str(value));
  DispatchClipEvent(ctx, instance, kClipEventData);
}

constexpr std::size_t kMaxLoadedMovies = 64;

// A movie made for the newer script machine keeps its pictures but none of
// its version-1 actions run.
void DropActions(Movie& movie) {
  const auto strip = [](Timeline& t) {
    for (Frame& f : t.frames)
      std::erase_if(f.tags,
                    [](const ControlTag& tag) { return std::holds_alternative<DoAction>(tag); });
  };
  strip(movie.timeline);
  for (auto& [id, c] : movie.characters) {
    if (auto* sprite = std::get_if<SpriteDefinition>(&c)) strip(sprite->timeline);
  }
}

// A JPEG, PNG or GIF file loaded as a movie: one frame that shows the
// picture at the clip's origin. PNG and GIF state their size up front; a
// JPEG's is read from its frame header when needed.
std::unique_ptr<Movie> PictureMovie(const std::string& bytes, int version) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  const std::size_t n = bytes.size();
  const bool jpeg = n > 3 && p[0] == 0xFF && p[1] == 0xD8;
  const bool png = n > 24 && p[0] == 0x89 && bytes.compare(1, 3, "PNG") == 0;
  const bool gif = n > 10 && bytes.compare(0, 4, "GIF8") == 0;
  if (!jpeg && !png && !gif) return nullptr;
  BitmapDefinition bitmap;
  bitmap.id = 1;
  bitmap.kind = BitmapKind::Jpeg2;
  bitmap.imageData.assign(p, p + n);
  uint32_t w = 0, h = 0;
  if (png) {
    w = (uint32_t{p[16]} << 24) | (p[17] << 16) | (p[18] << 8) | p[19];
    h = (uint32_t{p[20]} << 24) | (p[21] << 16) | (p[22] << 8) | p[23];
  } else if (gif) {
    w = p[6] | (p[7] << 8);
    h = p[8] | (p[9] << 8);
  }
  if (w > 0xFFFF || h > 0xFFFF) return nullptr;
  bitmap.width = static_cast<uint16_t>(w);
  bitmap.height = static_cast<uint16_t>(h);
  auto movie = std::make_unique<Movie>();
  movie->header.version = static_cast<uint8_t>(version);
  movie->header.frameCount = 1;
  movie->header.bytesLoaded = movie->header.fileLength = static_cast<uint32_t>(n);
  movie->header.frameSize = Rect{0, static_cast<int32_t>(w) * 20, 0, static_cast<int32_t>(h) * 20};
  movie->characters.emplace(1, std::move(bitmap));
  PlaceObject place;
  place.version = 2;
  place.depth = 1;
  place.characterId = 1;
  movie->timeline.declaredFrameCount = 1;
  movie->timeline.frames.emplace_back().tags.push_back(place);
  return movie;
}

// The main movie's URL, which loads are resolved against.
std::string MainUrl(const TimelineContext& ctx) {
  const auto it = ctx.vm ? ctx.movieUrls.find(ctx.vm->movie) : ctx.movieUrls.end();
  return it == ctx.movieUrls.end() ? std::string() : it->second;
}

// Parses a loaded SWF file and keeps it for the runner's life; null when the
// file is missing, refused or not a movie.
const Movie* ReadMovie(TimelineContext& ctx, const std::string& url, std::size_t& size) {
  avm1::Vm& vm = *ctx.vm;
  std::string bytes;
  if (url.empty() || !vm.readFile || !vm.readFile(url, bytes) || bytes.empty()) return nullptr;
  if (ctx.loadedMovies.size() >= kMaxLoadedMovies) {
    if (vm.refusalSink) vm.refusalSink("loading \"" + url + "\" (too many movies loaded)");
    return nullptr;
  }
  size = bytes.size();
  LoadResult result = LoadMovie(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), size));
  if (!result.movie) result.movie = PictureMovie(bytes, vm.version);
  if (!result.movie) {
    // A file that is no movie still loads, as nothing: the clip is emptied
    // and its loader hears of a load that worked, of no bytes.
    result.movie = std::make_unique<Movie>();
    result.movie->header.version = static_cast<uint8_t>(vm.version);
    size = 0;
  }
  if (result.movie->fileAttributesAs3) DropActions(*result.movie);
  ctx.movieUrls[result.movie.get()] = ResolveUrl(MainUrl(ctx), url);
  ctx.loadedMovies.push_back(std::move(result.movie));
  return ctx.loadedMovies.back().get();
}

// The clip shows `movie` (or nothing) and forgets its variables.
void Replace(TimelineContext& ctx, avm1::ClipObject* clip, const Movie* movie) {
  auto instance = clip->Instance();
  if (!instance) return;
  std::vector<std::string> names;
  for (const avm1::Property& p : clip->Properties()) names.push_back(p.name);
  for (const std::string& name : names) clip->DeleteOwn(*ctx.vm, name);
  clip->proto = ctx.vm->clipProto;
  if (instance->IsRoot()) instance->SetLastName("");
  instance->ReplaceContent(movie);
  instance->failedLoadUrl.clear();
}

// "movie.swf?a=1&b=2": the file, and variables for the loaded movie's root.
std::string SplitQuery(const std::string& url, std::string& query) {
  const std::size_t q = url.find('?');
  if (q == std::string::npos) return url;
  query = url.substr(q + 1);
  return url.substr(0, q);
}

void SetQueryVariables(avm1::Vm& vm, avm1::ClipObject* clip, const std::string& query) {
  for (auto& [name, value] : avm1::DecodeUrlVars(query)) vm.Set(clip, name, Value::Str(value));
}

void AnswerMovie(TimelineContext& ctx, avm1::ClipObject* clip, const std::string& url) {
  if (url.empty()) {
    if (auto instance = clip->Instance()) DispatchClipEvent(ctx, instance, kClipEventUnload);
    Replace(ctx, clip, nullptr);
    return;
  }
  std::size_t size = 0;
  std::string query;
  if (const Movie* movie = ReadMovie(ctx, SplitQuery(url, query), size)) {
    Replace(ctx, clip, movie);
    SetQueryVariables(*ctx.vm, clip, query);
  }
}

void AnswerLevel(TimelineContext& ctx, int level, const std::string& url) {
  avm1::Vm& vm = *ctx.vm;
  if (level == 0) {
    AnswerMovie(ctx, vm.RootClip(), url);
    return;
  }
  const auto it = ctx.levels.find(level);
  if (url.empty()) {
    if (it == ctx.levels.end()) return;
    const auto gone = it->second;
    DispatchClipEvent(ctx, gone, kClipEventUnload);
    ctx.levels.erase(level);
    return;
  }
  std::size_t size = 0;
  std::string query;
  const Movie* movie = ReadMovie(ctx, SplitQuery(url, query), size);
  if (!movie) return;
  if (!ctx.backgroundSet && movie->backgroundColor) {
    const Rgba c = *movie->backgroundColor;
    ctx.background = Rgba{c.r, c.g, c.b, 255};
    ctx.backgroundSet = true;
  }
  if (it != ctx.levels.end()) {
    Replace(ctx, vm.ClipFor(it->second), movie);
  } else {
    auto root = TimelineInstance::Create(ctx, nullptr, {}, 0, true);
    ctx.levels[level] = root;
    root->ReplaceContent(movie);
  }
  SetQueryVariables(vm, vm.ClipFor(ctx.levels[level]), query);
}

// A MovieClipLoader's onLoadInit still to be heard: once the loaded movies
// have run their first frames.
struct LoadInit {
  avm1::Object* loader;
  avm1::ClipObject* clip;
};

void AnswerClip(TimelineContext& ctx, avm1::Object* loader, avm1::ClipObject* clip,
                const std::string& url, std::vector<LoadInit>& inits) {
  avm1::Vm& vm = *ctx.vm;
  std::size_t size = 0;
  std::string query;
  const Movie* movie = ReadMovie(ctx, SplitQuery(url, query), size);
  const Value target = Value::Obj(clip);
  if (!movie) {
    if (auto instance = clip->Instance())
      instance->failedLoadUrl = ResolveUrl(MainUrl(ctx), SplitQuery(url, query));
    const Value args[3] = {target, Value::Str("URLNotFound"), Value::Num(0)};
    avm1::BroadcastToListeners(vm, loader, "onLoadError", args);
    return;
  }
  // The clip is the loaded movie's from onLoadStart on; its first frame runs
  // after every load's onLoadComplete, then onLoadInit follows, newest load
  // first.
  Replace(ctx, clip, movie);
  SetQueryVariables(vm, clip, query);
  const Value start[1] = {target};
  avm1::BroadcastToListeners(vm, loader, "onLoadStart", start);
  const Value progress[3] = {target, Value::Num(static_cast<double>(size)),
                             Value::Num(static_cast<double>(size))};
  avm1::BroadcastToListeners(vm, loader, "onLoadProgress", progress);
  const Value complete[2] = {target, Value::Num(0)};
  avm1::BroadcastToListeners(vm, loader, "onLoadComplete", complete);
  inits.push_back({loader, clip});
}

// A MovieClipLoader's load into a level: the level is made for it, and
// taken away again when there is no movie to show.
void AnswerClipLevel(TimelineContext& ctx, avm1::Object* loader, int level, const std::string& url,
                     std::vector<LoadInit>& inits) {
  avm1::Vm& vm = *ctx.vm;
  if (level == 0) {
    AnswerClip(ctx, loader, vm.RootClip(), url, inits);
    return;
  }
  const bool made = !ctx.levels.contains(level);
  if (made) ctx.levels[level] = TimelineInstance::Create(ctx, nullptr, {}, 0, true);
  const auto root = ctx.levels[level];
  AnswerClip(ctx, loader, vm.ClipFor(root), url, inits);
  if (made && root->FrameCount() <= 1 && !root->failedLoadUrl.empty()) ctx.levels.erase(level);
}

}  // namespace

void RunPendingLoads(TimelineContext& ctx) {
  if (!ctx.vm || ctx.vm->loads.empty()) return;
  avm1::Vm& vm = *ctx.vm;
  std::vector<avm1::Vm::PendingLoad> due;
  due.swap(vm.loads);
  std::vector<LoadInit> inits;
  for (const auto& load : due) {
    if (vm.Disabled()) break;
    if (load.kind == avm1::kLoadClip && load.target.type == avm1::Type::Number &&
        load.extra.object) {
      AnswerClipLevel(ctx, load.extra.object, static_cast<int>(load.target.number), load.url,
                      inits);
      continue;
    }
    avm1::Object* target = load.target.object;
    if (!target) continue;
    switch (load.kind) {
      case avm1::kLoadData:
      case avm1::kLoadFailed:
        AnswerData(vm, target, load.url, load.kind == avm1::kLoadFailed);
        break;
      case avm1::kLoadVariables:
        if (target->IsClip())
          AnswerVariables(ctx, static_cast<avm1::ClipObject*>(target), load.url);
        break;
      case avm1::kLoadClip:
        if (target->IsClip() && load.extra.object)
          AnswerClip(ctx, load.extra.object, static_cast<avm1::ClipObject*>(target), load.url,
                     inits);
        break;
      case avm1::kLoadLevel:
        if (load.extra.type == avm1::Type::Number)
          AnswerLevel(ctx, static_cast<int>(load.extra.number), load.url);
        break;
      case avm1::kLoadMovie:
        if (target->IsClip()) AnswerMovie(ctx, static_cast<avm1::ClipObject*>(target), load.url);
        break;
      default:
        break;
    }
  }
  if (inits.empty()) return;
  RunActionQueue(ctx);
  for (auto it = inits.rbegin(); it != inits.rend() && !vm.Disabled(); ++it) {
    const Value target[1] = {Value::Obj(it->clip)};
    avm1::BroadcastToListeners(vm, it->loader, "onLoadInit", target);
  }
}

std::string FileUrl(std::string_view path) {
  std::string out = "file://";
  const bool drive =
      path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
  if (path.empty() || (path[0] != '/' && path[0] != '\\')) out += '/';
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (drive && i == 1) {
      out += '|';  // Flash's form of the drive's colon
    } else if (c == '\\') {
      out += '/';
    } else if (c == ' ' || c == '%' || c == '#' || c == '?') {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += '%';
      out += kHex[static_cast<unsigned char>(c) >> 4];
      out += kHex[c & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string ResolveUrl(std::string_view base, std::string_view url) {
  // A scheme is letters, digits, '+', '-' or '.' before the first ':'; a
  // single letter is a drive, not a scheme.
  const std::size_t colon = url.find(':');
  const bool scheme =
      colon != std::string_view::npos && colon > 1 &&
      std::all_of(url.begin(), url.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
      });
  if (scheme) return std::string(url);
  const std::size_t end = base.substr(0, base.find_first_of("?#")).rfind('/');
  const std::string folder = end == std::string_view::npos ? std::string("file:///")
                                                           : std::string(base.substr(0, end + 1));
  return folder + std::string(url);
}

std::function<bool(const std::string&, std::string&)> FolderReader(
    std::filesystem::path folder, std::function<void(const std::string&)> refusal,
    std::size_t maxBytes) {
  return [folder = std::move(folder), refusal = std::move(refusal), maxBytes](
             const std::string& url, std::string& out) {
    const std::filesystem::path file = FileInFolder(folder, url);
    if (file.empty()) {
      if (refusal) refusal("loading \"" + url + "\" (outside the movie's folder)");
      return false;
    }
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || !std::filesystem::is_regular_file(file, ec)) return false;
    if (size > maxBytes) {
      if (refusal) refusal("loading \"" + url + "\" (the file is too large)");
      return false;
    }
    std::ifstream in(file, std::ios::binary);
    out.assign(static_cast<std::size_t>(size), '\0');
    return static_cast<bool>(in.read(out.data(), static_cast<std::streamsize>(size)));
  };
}

}  // namespace orrivel::swf
