#include "swf/format/tag_names.h"

#include <array>

namespace orrivel::swf {
namespace {

constexpr std::array<const char*, 95> kNames = {
    "End",
    "ShowFrame",
    "DefineShape",
    "FreeCharacter",
    "PlaceObject",  // 0-4
    "RemoveObject",
    "DefineBits",
    "DefineButton",
    "JPEGTables",  // 5-8
    "SetBackgroundColor",
    "DefineFont",
    "DefineText",
    "DoAction",  // 9-12
    "DefineFontInfo",
    "DefineSound",
    "StartSound",
    "StopSound",  // 13-16
    "DefineButtonSound",
    "SoundStreamHead",
    "SoundStreamBlock",  // 17-19
    "DefineBitsLossless",
    "DefineBitsJPEG2",
    "DefineShape2",  // 20-22
    "DefineButtonCxform",
    "Protect",
    "PathsArePostScript",
    "PlaceObject2",  // 23-26
    nullptr,
    "RemoveObject2",
    "SyncFrame",
    nullptr,
    "FreeAll",  // 27-31
    "DefineShape3",
    "DefineText2",
    "DefineButton2",
    "DefineBitsJPEG3",  // 32-35
    "DefineBitsLossless2",
    "DefineEditText",
    "DefineVideo",
    "DefineSprite",  // 36-39
    "NameCharacter",
    "ProductInfo",
    "DefineTextFormat",
    "FrameLabel",  // 40-43
    "DefineBehavior",
    "SoundStreamHead2",
    "DefineMorphShape",
    "GenerateFrame",  // 44-47
    "DefineFont2",
    "GeneratorCommand",
    "DefineCommandObject",
    "CharacterSet",  // 48-51
    "ExternalFont",
    nullptr,
    nullptr,
    nullptr,
    "ExportAssets",
    "ImportAssets",  // 52-57
    "EnableDebugger",
    "DoInitAction",
    "DefineVideoStream",
    "VideoFrame",  // 58-61
    "DefineFontInfo2",
    "DebugID",
    "EnableDebugger2",
    "ScriptLimits",  // 62-65
    "SetTabIndex",
    nullptr,
    nullptr,
    "FileAttributes",
    "PlaceObject3",  // 66-70
    "ImportAssets2",
    "DoABC",
    "DefineFontAlignZones",
    "CSMTextSettings",  // 71-74
    "DefineFont3",
    "SymbolClass",
    "Metadata",
    "DefineScalingGrid",  // 75-78
    nullptr,
    nullptr,
    nullptr,
    "DoABC2",
    "DefineShape4",
    "DefineMorphShape2",  // 79-84
    nullptr,
    "DefineSceneAndFrameLabelData",
    "DefineBinaryData",  // 85-87
    "DefineFontName",
    "StartSound2",
    "DefineBitsJPEG4",
    "DefineFont4",  // 88-91
    nullptr,
    "EnableTelemetry",
    "PlaceObject4",  // 92-94
};

}  // namespace

const char* TagName(uint16_t code) {
  if (code < kNames.size() && kNames[code] != nullptr) return kNames[code];
  return "Unknown";
}

}  // namespace orrivel::swf
