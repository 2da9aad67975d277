// The parsed form of a SWF file: header, character dictionary and timelines.
// The reader (format/reader.h) fills it; the renderer and the player read it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/color.h"
#include "base/geometry.h"
#include "swf/format/filters.h"

namespace orrivel::swf {

// ---- Styles -------------------------------------------------------------

enum class FillType : uint8_t {
  Solid = 0x00,
  LinearGradient = 0x10,
  RadialGradient = 0x12,
  FocalRadialGradient = 0x13,
  RepeatingBitmap = 0x40,
  ClippedBitmap = 0x41,
  NonSmoothedRepeatingBitmap = 0x42,
  NonSmoothedClippedBitmap = 0x43,
};

enum class SpreadMode : uint8_t { Pad = 0, Reflect = 1, Repeat = 2 };
enum class InterpolationMode : uint8_t { Normal = 0, LinearRgb = 1 };

struct GradientRecord {
  uint8_t ratio = 0;
  Rgba color;
  friend bool operator==(const GradientRecord&, const GradientRecord&) = default;
};

struct Gradient {
  Matrix matrix;  // maps the gradient square (-16384..16384 twips) to shape space
  SpreadMode spread = SpreadMode::Pad;
  InterpolationMode interpolation = InterpolationMode::Normal;
  std::vector<GradientRecord> records;
  float focalPoint = 0;  // -1..1, focal radial gradients only
};

struct FillStyle {
  FillType type = FillType::Solid;
  Rgba color;                  // Solid
  Gradient gradient;           // gradients
  uint16_t bitmapId = 0xFFFF;  // bitmaps; 0xFFFF means none
  Matrix bitmapMatrix;         // bitmaps: bitmap pixels (in twips units) to shape space
};

enum class CapStyle : uint8_t { Round = 0, None = 1, Square = 2 };
enum class JoinStyle : uint8_t { Round = 0, Bevel = 1, Miter = 2 };

struct LineStyle {
  uint16_t width = 0;  // twips
  Rgba color;
  // LINESTYLE2 (DefineShape4 / DefineMorphShape2); defaults match LINESTYLE.
  CapStyle startCap = CapStyle::Round;
  CapStyle endCap = CapStyle::Round;
  JoinStyle join = JoinStyle::Round;
  float miterLimit = 3;
  bool noHScale = false, noVScale = false, pixelHinting = false, noClose = false;
  std::optional<FillStyle> fill;  // a fill instead of the plain colour
};

// ---- Shape records --------------------------------------------------------

struct StyleChangeRecord {
  std::optional<std::pair<int32_t, int32_t>> moveTo;  // absolute, twips
  std::optional<uint32_t> fillStyle0;                 // 0 = none, else 1-based into current styles
  std::optional<uint32_t> fillStyle1;
  std::optional<uint32_t> lineStyle;
  // New style arrays (DefineShape2 and later): replace the current ones.
  std::optional<std::vector<FillStyle>> newFillStyles;
  std::optional<std::vector<LineStyle>> newLineStyles;
};

struct StraightEdgeRecord {
  int32_t dx = 0, dy = 0;
};

struct CurvedEdgeRecord {
  int32_t controlDx = 0, controlDy = 0, anchorDx = 0, anchorDy = 0;
};

using ShapeRecord = std::variant<StyleChangeRecord, StraightEdgeRecord, CurvedEdgeRecord>;

struct Shape {
  std::vector<FillStyle> fillStyles;  // initial style arrays
  std::vector<LineStyle> lineStyles;
  std::vector<ShapeRecord> records;
};

// ---- Characters -----------------------------------------------------------

struct ShapeDefinition {
  uint16_t id = 0;
  int version = 1;  // 1..4 for DefineShape..DefineShape4
  Rect bounds;
  Rect edgeBounds;                   // DefineShape4 only
  bool usesFillWindingRule = false;  // non-zero instead of even-odd
  bool usesNonScalingStrokes = false;
  bool usesScalingStrokes = false;
  Shape shape;
};

// A morph shape is stored as two shapes with parallel style arrays:
// start.fillStyles[i] and end.fillStyles[i] are the two ends of one morph
// fill style (likewise line styles and gradient records). start.records hold
// the style changes and edges of the start shape; end.records hold the end
// shape's edges (and moves), which pair up with the start edges one by one.
struct MorphShapeDefinition {
  uint16_t id = 0;
  int version = 1;  // 1 or 2
  Rect startBounds, endBounds;
  Rect startEdgeBounds, endEdgeBounds;  // version 2 only
  bool usesNonScalingStrokes = false, usesScalingStrokes = false;
  Shape start;
  Shape end;
};

enum class BitmapKind : uint8_t {
  Jpeg1,      // DefineBits: JPEG data without tables; use Movie::jpegTables
  Jpeg2,      // DefineBitsJPEG2: JPEG (or PNG / GIF) with its own tables
  Jpeg3,      // DefineBitsJPEG3: as Jpeg2 plus zlib-compressed alpha
  Jpeg4,      // DefineBitsJPEG4: as Jpeg3 plus deblocking
  Lossless,   // DefineBitsLossless
  Lossless2,  // DefineBitsLossless2 (with alpha)
};

// The pixel formats of DefineBitsLossless 1/2.
inline constexpr uint8_t kLosslessColorMapped = 3;  // 8-bit indices into a colour table
inline constexpr uint8_t kLossless15Bit = 4;
inline constexpr uint8_t kLossless32Bit = 5;

struct BitmapDefinition {
  uint16_t id = 0;
  BitmapKind kind = BitmapKind::Jpeg2;
  std::vector<uint8_t> imageData;  // JPEG/PNG/GIF bytes (JPEG kinds)
  std::vector<uint8_t> alphaData;  // zlib-compressed alpha plane (Jpeg3/Jpeg4)
  uint16_t deblocking = 0;         // Jpeg4
  uint8_t losslessFormat = 0;      // lossless kinds: kLossless...
  uint16_t width = 0, height = 0;
  uint16_t colorTableSize = 0;    // entries - 1 as stored, plus 1 (so 1..256)
  std::vector<uint8_t> zlibData;  // the compressed pixel data
};

struct ButtonRecord {
  bool stateUp = false, stateOver = false, stateDown = false, stateHitTest = false;
  uint16_t characterId = 0;
  uint16_t depth = 0;
  Matrix matrix;
  ColorTransform colorTransform;  // DefineButton2 only
  BlendMode blendMode = BlendMode::Normal;
  bool hasFilters = false;  // filters are parsed past, not kept
};

struct ButtonCondAction {
  uint16_t conditions = 0;       // DefineButton2 condition bits; 0x0008 = release for DefineButton
  std::vector<uint8_t> actions;  // raw action bytes, ending with ActionEnd
};

struct ButtonDefinition {
  uint16_t id = 0;
  int version = 1;  // 1 or 2
  bool trackAsMenu = false;
  std::vector<ButtonRecord> records;
  std::vector<ButtonCondAction> actions;
  std::optional<ColorTransform> colorTransform;  // DefineButtonCxform for version 1
};

// ---- Control tags and timelines -----------------------------------------

// One clip event handler of a PlaceObject2/3. The event bits are as stored:
// 16 bits up to SWF 5, 32 bits from SWF 6 (load = 0x1, enterFrame = 0x2, ...,
// keyPress = 0x20000).
struct ClipAction {
  uint32_t events = 0;
  uint8_t keyCode = 0;           // keyPress events only
  std::vector<uint8_t> actions;  // raw action bytes
};

struct PlaceObject {
  int version = 1;  // 1, 2 or 3
  uint16_t depth = 0;
  bool move = false;  // modify the object at depth (PlaceObject2/3)
  std::optional<uint16_t> characterId;
  std::optional<Matrix> matrix;
  std::optional<ColorTransform> colorTransform;
  std::optional<uint16_t> ratio;
  std::optional<std::string> name;
  std::optional<uint16_t> clipDepth;
  std::optional<BlendMode> blendMode;
  std::optional<bool> cacheAsBitmap;
  std::optional<bool> visible;
  std::optional<std::string> className;
  bool hasFilters = false;  // a filter list is present (it may be empty)
  FilterList filters;
  bool hasClipActions = false;  // clip event handlers, kept raw
  std::vector<uint8_t> clipActions;
  std::optional<Rgba> backgroundColor;        // PlaceObject3 opaque background
  std::vector<ClipAction> clipActionRecords;  // clipActions split into handlers
};

struct RemoveObject {
  int version = 1;
  uint16_t depth = 0;
  std::optional<uint16_t> characterId;  // RemoveObject (version 1) only
};

struct DoAction {
  std::vector<uint8_t> actions;  // raw action bytes, ending with ActionEnd
  // DoInitAction: runs once per movie, before the frame's other actions.
  bool init = false;
  uint16_t spriteId = 0;
  // DoInitAction: the sprite's definition comes earlier in the file.
  bool spriteDefinedBefore = false;
};

struct SetBackgroundColor {
  Rgba color;
};

using ControlTag = std::variant<PlaceObject, RemoveObject, DoAction, SetBackgroundColor>;

// ---- Sounds ------------------------------------------------------------------

enum class SoundFormat : uint8_t {
  PcmNative = 0,  // uncompressed, little-endian on every machine the format ran on
  Adpcm = 1,
  Mp3 = 2,
  PcmLittle = 3,
  Nellymoser16k = 4,
  Nellymoser8k = 5,
  Nellymoser = 6,
  G711ALaw = 7,
  G711MuLaw = 8,
  Speex = 11,
};

// The format byte of DefineSound and SoundStreamHead: format, rate, size, channels.
struct SoundFormatInfo {
  SoundFormat format = SoundFormat::PcmNative;
  uint8_t rateCode = 0;  // 0..3: 5512.5, 11025, 22050, 44100 Hz
  bool is16Bit = false;
  bool stereo = false;
  int Channels() const { return stereo ? 2 : 1; }
  // Samples per second; 5512.5 Hz is kept as 5512 for the integer rate.
  int Rate() const { return 44100 >> (3 - (rateCode & 3)); }
};

struct SoundDefinition {
  uint16_t id = 0;
  SoundFormatInfo format;
  uint32_t sampleCount = 0;   // per channel, as declared
  std::vector<uint8_t> data;  // SoundData as stored (MP3: SeekSamples, then frames)
};

struct SoundEnvelopePoint {
  uint32_t pos44 = 0;            // position in 44.1 kHz samples from the sound's start
  uint16_t left = 0, right = 0;  // 0..32768
};

struct SoundInfo {
  bool syncStop = false;
  bool syncNoMultiple = false;
  std::optional<uint32_t> inPoint, outPoint;  // 44.1 kHz samples
  uint16_t loopCount = 1;
  std::vector<SoundEnvelopePoint> envelope;
};

// StartSound, or StartSound2 (which names the sound by class; id 0).
struct StartSound {
  uint16_t soundId = 0;
  std::string className;
  SoundInfo info;
};

struct SoundStreamHead {
  SoundFormatInfo playback;  // the player's preferred output; advisory
  SoundFormatInfo stream;
  uint16_t samplesPerBlock = 0;  // average per frame
  int16_t latencySeek = 0;       // MP3 only
};

// DefineButtonSound: what plays on the four state changes of a button.
enum class ButtonSoundEvent : uint8_t {
  OverUpToIdle = 0,
  IdleToOverUp = 1,
  OverUpToOverDown = 2,
  OverDownToOverUp = 3
};
struct ButtonSounds {
  std::optional<StartSound> sounds[4];  // by ButtonSoundEvent
};

struct Frame {
  std::vector<ControlTag> tags;  // in file order, up to its ShowFrame
  std::optional<std::string> label;
  std::vector<std::string> otherLabels;             // a frame may carry several labels
  std::vector<StartSound> sounds;                   // StartSound / StartSound2, in file order
  std::optional<std::vector<uint8_t>> streamBlock;  // SoundStreamBlock body
};

struct Timeline {
  uint16_t declaredFrameCount = 0;
  std::vector<Frame> frames;  // frames actually present
  // The last frame has no ShowFrame or the End tag is missing: the timeline
  // was still loading, so it plays into its last frame and stays there.
  bool lastFrameIncomplete = false;
  std::optional<SoundStreamHead> streamHead;
};

struct SpriteDefinition {
  uint16_t id = 0;
  Timeline timeline;
  uint32_t definedInFrame = 0;  // the main timeline's frame (0-based) holding the definition
};

// ---- Fonts and text ------------------------------------------------------

// DefineFont, DefineFont2 or DefineFont3. Glyphs are shapes without style
// arrays; the text that draws them supplies fill style 1. Coordinates are in
// EM units: the EM square is 1024 units (DefineFont3: 1024 per pixel of the EM, in twips).
struct FontDefinition {
  uint16_t id = 0;
  int version = 1;  // 1..3
  std::string name;
  bool bold = false, italic = false, smallText = false, shiftJis = false, ansi = false;
  uint8_t language = 0;
  std::vector<Shape> glyphs;
  std::vector<uint16_t> codes;  // character code of each glyph; empty for DefineFont
  bool hasLayout = false;
  int32_t ascent = 0, descent = 0, leading = 0;  // EM units, when hasLayout
  std::vector<int16_t> advances;                 // per glyph, EM units, when hasLayout
  int EmSquare() const { return version >= 3 ? 1024 * kTwipsPerPixel : 1024; }
};

struct GlyphEntry {
  uint32_t index = 0;   // into the font's glyphs
  int32_t advance = 0;  // twips to the next glyph's origin
};

// Fields a record leaves out keep their value from the records before it.
struct TextRecord {
  std::optional<uint16_t> fontId;
  std::optional<Rgba> color;
  std::optional<int32_t> xOffset, yOffset;  // twips, the pen's baseline position
  uint16_t height = 0;                      // twips; set together with fontId
  std::vector<GlyphEntry> glyphs;
};

// DefineText (version 1, RGB colours) or DefineText2 (version 2, RGBA).
struct TextDefinition {
  uint16_t id = 0;
  int version = 1;
  Rect bounds;
  Matrix matrix;
  std::vector<TextRecord> records;
};

enum class TextAlign : uint8_t { Left = 0, Right = 1, Center = 2, Justify = 3 };

struct EditTextDefinition {
  uint16_t id = 0;
  Rect bounds;
  bool wordWrap = false, multiline = false, password = false, readOnly = false;
  bool autoSize = false, noSelect = false, border = false, wasStatic = false;
  bool html = false, useOutlines = false;
  std::optional<uint16_t> fontId;
  std::optional<std::string> fontClass;
  uint16_t fontHeight = 0;  // twips
  std::optional<Rgba> color;
  std::optional<uint16_t> maxLength;
  bool hasLayout = false;
  TextAlign align = TextAlign::Left;
  uint16_t leftMargin = 0, rightMargin = 0;  // twips
  int16_t indent = 0, leading = 0;           // twips
  std::string variableName;
  std::optional<std::string> initialText;
  // Glyph settings a CSMTextSettings tag gives the field; scripts read them.
  bool advancedAntiAlias = false;
  uint8_t gridFit = 1;  // none, pixel, subpixel
  float thickness = 0, sharpness = 0;
};

// ---- Video -------------------------------------------------------------------

enum class VideoCodec : uint8_t {
  SorensonH263 = 2,
  ScreenVideo = 3,
  Vp6 = 4,
  Vp6Alpha = 5,
  ScreenVideo2 = 6,
};

// DefineVideoStream with the VideoFrame tags that name it, wherever they stand.
struct VideoDefinition {
  uint16_t id = 0;
  uint16_t frameCount = 0;         // as declared
  uint16_t width = 0, height = 0;  // pixels: the box the frames are drawn into
  uint8_t deblocking = 0;          // 0: as each frame asks, 1: off, 2..5: on
  bool smoothing = false;
  uint8_t codec = 0;  // VideoCodec
  // VideoData of each frame by its number; the first tag for a number wins.
  std::map<uint16_t, std::vector<uint8_t>> frames;
};

using Character = std::variant<ShapeDefinition, MorphShapeDefinition, BitmapDefinition,
                               ButtonDefinition, SpriteDefinition, FontDefinition, TextDefinition,
                               EditTextDefinition, VideoDefinition>;

// ---- The movie -------------------------------------------------------------

struct Header {
  char signature[4] = {0, 0, 0, 0};  // "FWS", "CWS" or "ZWS"
  uint8_t version = 0;
  uint32_t fileLength = 0;   // uncompressed length as declared
  uint32_t bytesLoaded = 0;  // uncompressed bytes read: the file, cut at fileLength
  Rect frameSize;            // stage, twips
  float frameRate = 0;       // frames per second (8.8 fixed in the file)
  uint16_t frameCount = 0;
};

struct TagInfo {
  uint16_t code = 0;
  uint32_t length = 0;
  uint32_t offset = 0;   // of the tag header in the uncompressed data
  int spriteDepth = 0;   // 0 on the main timeline, 1 inside a sprite
  bool damaged = false;  // the body did not parse and was dropped
};

struct Movie {
  Header header;
  std::optional<Rgba> backgroundColor;  // first SetBackgroundColor
  bool fileAttributesAs3 = false;
  bool fileAttributesUseNetwork = false;  // the local-with-network sandbox
  bool hasDoAbc = false;
  std::vector<uint8_t> jpegTables;  // from the JPEGTables tag
  std::map<uint16_t, Character> characters;
  Timeline timeline;
  std::vector<TagInfo> tags;  // every tag met, for diagnostics
  // Sounds share the character ids but live apart: the mixer keeps a
  // playing sound alive after the movie is gone.
  std::map<uint16_t, std::shared_ptr<const SoundDefinition>> sounds;
  std::map<uint16_t, ButtonSounds> buttonSounds;
  std::map<std::string, uint16_t> exports;  // ExportAssets: linkage name to character
  // The main timeline's frame (0-based) whose ExportAssets gave each name:
  // scripts know the name once that frame has been reached.
  std::map<std::string, uint32_t> exportFrames;
  // ImportAssets / ImportAssets2: characters taken from another movie file,
  // each given a local id. The player resolves them when it loads a file.
  struct Import {
    std::string url;
    std::vector<std::pair<uint16_t, std::string>> assets;  // local id, exported name
  };
  std::vector<Import> imports;
};

}  // namespace orrivel::swf
