// What scripts use to load files: the request kinds the movie's loader
// answers (movie_loader.h) and the methods XML and LoadVars share.
#pragma once

#include <string>

#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

enum LoadKind : int {
  kLoadData = 1,       // XML / LoadVars: onData(text) on the target
  kLoadVariables = 2,  // loadVariables: the target clip's variables, then its data event
  kLoadMovie = 3,      // loadMovie into the target clip
  kLoadClip = 4,       // MovieClipLoader.loadClip: the loader's listeners hear of it
  kLoadFailed = 5,     // a refused request: onData() with nothing on the target
  kLoadLevel = 6,      // loadMovieNum: `extra` is the level number
};

// Most levels a movie may load into.
inline constexpr int kMaxLevel = 1000;

// Largest file a movie may load.
inline constexpr std::size_t kMaxLoadBytes = 8u << 20;
// Requests waiting at once; more are answered as failures.
inline constexpr std::size_t kMaxPendingLoads = 256;

// Queues a load of `url` with GET, telling the host of the request.
void QueueLoad(Vm& vm, int kind, const Value& target, std::string url, const Value& extra = {});
// The same for a request that carries a method and a body.
void QueueRequest(Vm& vm, int kind, const Value& target, const OutgoingRequest& request,
                  const Value& extra = {});
// Queues a load without telling the host.
void PushLoad(Vm& vm, int kind, const Value& target, std::string url, const Value& extra = {});
// Tells the host of a request (none is sent).
void ReportRequest(Vm& vm, const OutgoingRequest& request);
// A request for `url` that sends `vars`'s own variables by `method` ("GET"
// in the query, "POST" form-encoded in the body; empty sends none).
OutgoingRequest VariablesRequest(Vm& vm, Object* vars, const std::string& url,
                                 const std::string& method);
// application/x-www-form-urlencoded text: letters, digits and -_.* as they
// are, spaces as '+', every other byte as %XX.
std::string FormEncode(std::string_view text);

// The load methods XML and LoadVars share (in their tables): load, send,
// sendAndLoad, getBytesLoaded, getBytesTotal.
Completion LoadFromUrl(Vm& vm, const CallContext& call, Args args);
Completion SendToUrl(Vm& vm, const CallContext& call, Args args);
Completion SendAndLoadUrl(Vm& vm, const CallContext& call, Args args);
Completion LoadedBytes(Vm& vm, const CallContext& call, Args args);
Completion TotalBytes(Vm& vm, const CallContext& call, Args args);
// Keeps a request header (never sent: requests are only reported).
Completion AddRequestHeader(Vm& vm, const CallContext& call, Args args);

// The MovieClipLoader's listeners hear `event` with these arguments.
void BroadcastToListeners(Vm& vm, Object* loader, const std::string& event, Args args);

// GetURL2 and GetURL: loads variables or movies from files beside the movie
// and refuses the rest (web pages, scripts, other programs).
void GetUrl(Vm& vm, ClipObject* base, const std::string& url, const std::string& target,
            uint8_t flags);

}  // namespace orrivel::swf::avm1
