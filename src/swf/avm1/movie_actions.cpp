#include "swf/avm1/movie_actions.h"

#include <cstdio>
#include <variant>

namespace orrivel::swf::avm1 {

namespace {

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%04X", v);
  return buf;
}

void AddTimeline(const Timeline& timeline, const std::string& owner,
                 std::vector<ActionBlock>& out) {
  for (std::size_t f = 0; f < timeline.frames.size(); ++f) {
    const std::string frame = owner + "frame " + std::to_string(f + 1);
    for (const ControlTag& tag : timeline.frames[f].tags) {
      if (const auto* action = std::get_if<DoAction>(&tag)) {
        std::string where = frame;
        if (action->init) where += " init actions of sprite " + std::to_string(action->spriteId);
        out.push_back({std::move(where), action->actions});
      } else if (const auto* place = std::get_if<PlaceObject>(&tag)) {
        for (const ClipAction& handler : place->clipActionRecords) {
          out.push_back({frame + " depth " + std::to_string(place->depth) + " clip event " +
                             Hex(handler.events),
                         handler.actions});
        }
      }
    }
  }
}

}  // namespace

std::vector<ActionBlock> ActionBlocksOf(const Movie& movie) {
  std::vector<ActionBlock> out;
  AddTimeline(movie.timeline, "", out);
  for (const auto& [id, character] : movie.characters) {
    if (const auto* sprite = std::get_if<SpriteDefinition>(&character)) {
      AddTimeline(sprite->timeline, "sprite " + std::to_string(id) + " ", out);
    } else if (const auto* button = std::get_if<ButtonDefinition>(&character)) {
      for (const ButtonCondAction& action : button->actions) {
        out.push_back({"button " + std::to_string(id) + " condition " + Hex(action.conditions),
                       action.actions});
      }
    }
  }
  return out;
}

}  // namespace orrivel::swf::avm1
