#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie_builder.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf {
namespace {

using namespace test;

struct Expect {
  int frame;
  std::string list;
};

// Runs the movie: the first entry is the state right after loading, each
// further one after one more tick.
void ExpectSequence(const Movie& movie, const std::vector<Expect>& steps) {
  MovieRunner runner(movie);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (i > 0) runner.Tick();
    SCOPED_TRACE("step " + std::to_string(i));
    EXPECT_EQ(runner.Root().CurrentFrame(), steps[i].frame);
    EXPECT_EQ(Describe(runner.Root().List()), steps[i].list);
  }
}

TEST(TimelineTest, PlaceMoveReplaceRemoveAndLoop) {
  Movie m = BaseMovie();
  m.timeline = MakeTimeline({
      MakeFrame({Place(1, kShapeA), Place(2, kShapeB, 40)}),
      MakeFrame({Move(1, 100)}),
      MakeFrame({Replace(2, kShapeC)}),
      MakeFrame({Remove(1), Place(5, kShapeA, 7)}),
  });
  ExpectSequence(m, {
                        {0, "1:10 2:11@40"},
                        {1, "1:10@100 2:11@40"},
                        {2, "1:10@100 2:12@40"},  // replace keeps the matrix
                        {3, "2:12@40 5:10@7"},
                        {0, "1:10 2:11@40"},  // looped: rebuilt from frame 1
                        {1, "1:10@100 2:11@40"},
                    });
}

TEST(TimelineTest, PlacementEdgeCases) {
  Movie m = BaseMovie();
  PlaceObject noCharacter;
  noCharacter.depth = 3;
  m.timeline = MakeTimeline({
      MakeFrame({Place(1, kShapeA), Move(9, 50), noCharacter, Remove(42)}),
      MakeFrame({Place(1, kShapeB, 5)}),  // fresh placement at an occupied depth: ignored
      MakeFrame({Replace(7, kShapeC)}),   // replace on an empty depth places
  });
  ExpectSequence(m, {{0, "1:10"}, {1, "1:10"}, {2, "1:10 7:12"}});
}

// A move that names a character swaps it only between shapes and morphs; a
// sprite or a bitmap keeps its own and a shape is not turned into a sprite. A new placement at
// an occupied depth is ignored from SWF 6 on.
TEST(TimelineTest, MoveSwapsOnlyShapesAndOccupiedDepthsHoldBySwfVersion) {
  struct Case {
    int version;
    uint16_t first;
    PlaceObject second;
    std::string after;
  };
  const std::vector<Case> cases = {
      {8, kShapeA, Replace(1, kShapeB), "1:11"},  {8, 20, Replace(1, kShapeB), "1:20"},
      {8, kShapeA, Replace(1, 20), "1:10"},       {6, kShapeA, Place(1, kShapeB), "1:10"},
      {5, kShapeA, Place(1, kShapeB), "1:11+10"}, {8, 21, Replace(1, kShapeB), "1:11"},
      {8, kShapeA, Replace(1, 21), "1:21"},       {8, 22, Replace(1, kShapeB), "1:22"},
  };
  for (const Case& c : cases) {
    Movie m = BaseMovie();
    m.header.version = static_cast<uint8_t>(c.version);
    AddSprite(m, 20, {MakeFrame({})});
    MorphShapeDefinition morph;
    morph.id = 21;
    m.characters.emplace(21, morph);
    BitmapDefinition bitmap;
    bitmap.id = 22;
    m.characters.emplace(22, bitmap);
    m.timeline =
        MakeTimeline({MakeFrame({Place(1, c.first)}), MakeFrame({c.second, Act({kStop})})});
    MovieRunner runner(m);
    runner.Tick();
    EXPECT_EQ(Describe(runner.Root().List()), c.after) << c.version << " " << c.first;
  }
}

// Before SWF 6 a new placement at an occupied depth goes behind the object
// there and both stay; tags at the depth then address the newest, and
// removing it brings back the one over it. From 6 on it is ignored.
TEST(TimelineTest, SharedDepthsBeforeSwf6) {
  struct Case {
    const char* name;
    int version;
    std::vector<ControlTag> tags;  // of frame 2, after Place(1, kShapeA) in frame 1
    std::string after;
  };
  const Case cases[] = {
      {"stacks behind", 5, {Place(1, kShapeB)}, "1:11+10"},
      {"stacks in SWF 4", 4, {Place(1, kShapeB)}, "1:11+10"},
      {"three deep", 5, {Place(1, kShapeB), Place(1, kShapeC)}, "1:12+11+10"},
      {"move takes the newest", 5, {Place(1, kShapeB), Move(1, 60)}, "1:11@60+10"},
      {"remove uncovers the old", 5, {Place(1, kShapeB), Remove(1)}, "1:10"},
      {"remove twice empties", 5, {Place(1, kShapeB), Remove(1), Remove(1)}, ""},
      {"other depths untouched", 5, {Place(2, kShapeB), Place(1, kShapeC)}, "1:12+10 2:11"},
      {"ignored in SWF 6", 6, {Place(1, kShapeB)}, "1:10"},
      {"ignored in SWF 8", 8, {Place(1, kShapeB), Remove(1)}, ""},
  };
  for (const Case& c : cases) {
    Movie m = BaseMovie();
    m.header.version = static_cast<uint8_t>(c.version);
    std::vector<ControlTag> second = c.tags;
    second.push_back(Act({kStop}));
    m.timeline = MakeTimeline({MakeFrame({Place(1, kShapeA)}), MakeFrame(std::move(second))});
    MovieRunner runner(m);
    runner.Tick();
    EXPECT_EQ(Describe(runner.Root().List()), c.after) << c.name;
  }
}

// A sprite a newer placement went behind stays on the stage and plays on.
TEST(TimelineTest, SpriteSharingItsDepthPlaysOn) {
  Movie m = BaseMovie();
  m.header.version = 5;
  AddSprite(m, 20,
            {MakeFrame({Place(1, kShapeA)}), MakeFrame({Move(1, 10)}), MakeFrame({Move(1, 20)})});
  m.timeline =
      MakeTimeline({MakeFrame({Place(1, 20)}), MakeFrame({Place(1, kShapeB), Act({kStop})})});
  MovieRunner runner(m);
  const auto sprite = runner.Root().List().at(1).instance;
  ASSERT_TRUE(sprite);
  for (int frame : {1, 2}) {
    runner.Tick();
    EXPECT_EQ(Describe(runner.Root().List()), "1:11+20");
    EXPECT_EQ(sprite->CurrentFrame(), frame);
    EXPECT_FALSE(sprite->Removed());
  }
}

TEST(TimelineTest, SingleOrNoFrameMoviesStayOnTheirFrame) {
  Movie m = BaseMovie();
  MovieRunner empty(m);
  empty.Tick();
  EXPECT_EQ(empty.Root().CurrentFrame(), 0);
  EXPECT_EQ(empty.Root().FrameCount(), 1);
  EXPECT_TRUE(empty.Root().List().empty());
  m.timeline = MakeTimeline({MakeFrame({Place(1, kShapeA), Act({kStop})})});
  MovieRunner runner(m);
  runner.Root().SetPlaying(true);
  for (int i = 0; i < 3; ++i) runner.Tick();
  EXPECT_EQ(runner.Root().CurrentFrame(), 0);
  EXPECT_TRUE(runner.Root().Playing());  // the frame's Stop ran once, at load
}

TEST(TimelineTest, SpriteTimelineAdvancesAndLoopsOnItsOwn) {
  Movie m = BaseMovie();
  AddSprite(m, 20,
            {MakeFrame({Place(1, kShapeA)}), MakeFrame({Move(1, 10)}), MakeFrame({Move(1, 20)})});
  m.timeline = MakeTimeline({MakeFrame({Place(3, 20)}), MakeFrame({})});
  MovieRunner runner(m);
  const auto sprite = runner.Root().List().at(3).instance;
  ASSERT_TRUE(sprite);
  std::vector<int> frames;
  for (int i = 0; i < 5; ++i) {
    frames.push_back(sprite->CurrentFrame());
    runner.Tick();
    // The main timeline loops every two frames; the sprite stays the same instance.
    EXPECT_EQ(runner.Root().List().at(3).instance, sprite);
  }
  EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 0, 1}));
  EXPECT_EQ(Describe(sprite->List()), "1:10@20");
}

TEST(TimelineTest, BackwardGotoKeepsPersistentInstancesOnly) {
  Movie m = BaseMovie();
  AddSprite(m, 20, {MakeFrame({}), MakeFrame({}), MakeFrame({}), MakeFrame({})});
  AddSprite(m, 21, {MakeFrame({}), MakeFrame({})});
  m.timeline = MakeTimeline({
      MakeFrame({Place(1, 20), Place(2, 20)}),
      MakeFrame({Remove(2), Place(2, kShapeA)}),
      MakeFrame({}),
  });
  MovieRunner runner(m);
  const auto kept = runner.Root().List().at(1).instance;
  runner.Tick();
  runner.Tick();
  EXPECT_FALSE(runner.Root().List().at(2).instance);  // a shape took the sprite's place
  runner.Tick();                                      // loops back to frame 1
  EXPECT_EQ(runner.Root().CurrentFrame(), 0);
  EXPECT_EQ(runner.Root().List().at(1).instance, kept);
  EXPECT_EQ(kept->CurrentFrame(), 3);  // its own state survived
  const auto fresh = runner.Root().List().at(2).instance;
  ASSERT_TRUE(fresh);
  EXPECT_EQ(runner.Root().List().at(2).characterId, 20);
  EXPECT_EQ(fresh->CurrentFrame(), 0);
}

TEST(TimelineTest, ForwardGotoRunsSkippedTagsButNotTheirActions) {
  Movie m = BaseMovie();
  m.timeline = MakeTimeline({
      MakeFrame({Act({PushInt(4), GotoFrame2(true)})}),
      MakeFrame({Place(1, kShapeA), Act({kStop})}),
      MakeFrame({Place(2, kShapeB), Remove(1)}),
      MakeFrame({Place(3, kShapeC)}),
      MakeFrame({}),
  });
  MovieRunner runner(m);
  EXPECT_EQ(runner.Root().CurrentFrame(), 3);
  EXPECT_TRUE(runner.Root().Playing());
  EXPECT_EQ(Describe(runner.Root().List()), "2:11 3:12");
}

TEST(TimelineTest, SpriteFrameActionsRunOnTheirOwnTimeline) {
  Movie m = BaseMovie();
  // The sprite stops itself on its second frame and stops the main movie on its first.
  AddSprite(m, 20,
            {MakeFrame({Act({SetTarget("_parent"), kStop, SetTarget(""), kPlay})}),
             MakeFrame({Act({kStop})}), MakeFrame({})});
  m.timeline = MakeTimeline({MakeFrame({Place(1, 20)}), MakeFrame({})});
  MovieRunner runner(m);
  EXPECT_FALSE(runner.Root().Playing());
  const auto sprite = runner.Root().List().at(1).instance;
  for (int i = 0; i < 4; ++i) runner.Tick();
  EXPECT_EQ(runner.Root().CurrentFrame(), 0);
  EXPECT_EQ(sprite->CurrentFrame(), 1);
  EXPECT_FALSE(sprite->Playing());
}

TEST(TimelineTest, SelfPlacingSpritesAndGotoLoopsAreBounded) {
  Movie m = BaseMovie();
  // Each instance places two more of itself: unbounded, it would never end.
  AddSprite(m, 30, {MakeFrame({Place(1, 30), Place(2, 30), Place(3, kShapeA)}), MakeFrame({})});
  m.timeline = MakeTimeline({MakeFrame({Place(1, 30)})});
  PlayerLimits limits;
  limits.maxDisplayObjects = 500;
  limits.maxNesting = 12;
  MovieRunner runner(m, limits);
  for (int i = 0; i < 5; ++i) runner.Tick();
  EXPECT_LE(runner.LiveObjects(), 500u);
  EXPECT_GT(runner.LiveObjects(), 100u);

  // A chain of one instance per level stops at the nesting cap.
  Movie chain = BaseMovie();
  AddSprite(chain, 30, {MakeFrame({Place(1, 30)})});
  chain.timeline = MakeTimeline({MakeFrame({Place(1, 30)})});
  MovieRunner chained(chain, limits);
  int depth = 0;
  for (auto t = chained.Root().List().at(1).instance; t; t = t->List().at(1).instance) ++depth;
  EXPECT_EQ(depth, limits.maxNesting);

  // Each frame sends the movie to the other one, whose actions send it back.
  Movie gotos = BaseMovie();
  gotos.timeline = MakeTimeline(
      {MakeFrame({Act({GotoFrame(1), kPlay})}), MakeFrame({Act({GotoFrame(0), kPlay})})});
  MovieRunner(gotos).Tick();  // returns
}

TEST(TimelineTest, ObjectCapHoldsAcrossLoops) {
  Movie m = BaseMovie();
  std::vector<ControlTag> many;
  for (uint16_t d = 1; d <= 300; ++d) many.push_back(Place(d, kShapeA));
  m.timeline = MakeTimeline({MakeFrame(many), MakeFrame({Remove(1)})});
  PlayerLimits limits;
  limits.maxDisplayObjects = 100;
  MovieRunner runner(m, limits);
  for (int i = 0; i < 4; ++i) {
    EXPECT_LE(runner.LiveObjects(), 100u);
    runner.Tick();
  }
  EXPECT_EQ(runner.LiveObjects(), runner.Root().List().size());
}

TEST(TimelineTest, ButtonShowsItsUpState) {
  Movie m = BaseMovie();
  ButtonDefinition b;
  b.id = 40;
  b.version = 2;
  ButtonRecord up;
  up.stateUp = true;
  up.characterId = kShapeA;
  up.depth = 1;
  ButtonRecord over = up;
  over.stateUp = false;
  over.stateOver = true;
  over.characterId = kShapeB;
  over.depth = 2;
  b.records = {up, over};
  m.characters.emplace(b.id, b);
  m.timeline = MakeTimeline({MakeFrame({Place(1, 40)})});
  MovieRunner runner(m);
  const DisplayNode tree = runner.BuildTree(Matrix{});
  ASSERT_EQ(tree.children.size(), 1u);
  ASSERT_EQ(tree.children[0].kind, DisplayNode::Kind::Group);
  ASSERT_EQ(tree.children[0].children.size(), 1u);
  EXPECT_EQ(tree.children[0].children[0].characterId, kShapeA);
}

TEST(TimelineTest, DisplayTreeCarriesPlacementProperties) {
  Movie m = BaseMovie();
  MorphShapeDefinition morph;
  morph.id = 50;
  m.characters.emplace(morph.id, morph);
  AddSprite(m, 20, {MakeFrame({Place(4, kShapeB, 3)})});
  PlaceObject p = Place(2, 50, 60);
  p.ratio = 65535 / 2;
  p.clipDepth = 9;
  p.blendMode = BlendMode::Multiply;
  p.visible = false;
  m.timeline = MakeTimeline({MakeFrame({p, Place(1, 20), Place(3, 99)})});  // 99: unknown
  MovieRunner runner(m);
  const Matrix stage{0.05, 0, 0, 0.05, 0, 0};
  const DisplayNode tree = runner.BuildTree(stage);
  EXPECT_EQ(tree.matrix, stage);
  ASSERT_EQ(tree.children.size(), 2u);
  const DisplayNode& sprite = tree.children[0];
  EXPECT_EQ(sprite.kind, DisplayNode::Kind::Group);
  ASSERT_EQ(sprite.children.size(), 1u);
  EXPECT_EQ(sprite.children[0].depth, 4);
  EXPECT_EQ(sprite.children[0].matrix.tx, 3);
  const DisplayNode& mo = tree.children[1];
  EXPECT_EQ(mo.kind, DisplayNode::Kind::MorphShape);
  EXPECT_NEAR(mo.ratio, 0.5, 1e-4);
  EXPECT_EQ(mo.clipDepth, 9);
  EXPECT_EQ(mo.blendMode, BlendMode::Multiply);
  EXPECT_FALSE(mo.visible);
  EXPECT_EQ(mo.matrix.tx, 60);
}

TEST(TimelineTest, FirstBackgroundColourHolds) {
  Movie m = BaseMovie();
  EXPECT_EQ(MovieRunner(m).Background(), (Rgba{255, 255, 255, 255}));
  m.backgroundColor = Rgba{1, 2, 3, 0};
  SetBackgroundColor later;
  later.color = Rgba{9, 8, 7, 255};
  m.timeline = MakeTimeline({MakeFrame({}), MakeFrame({later})});
  MovieRunner runner(m);
  EXPECT_EQ(runner.Background(), (Rgba{1, 2, 3, 255}));
  runner.Tick();
  EXPECT_EQ(runner.Background(), (Rgba{1, 2, 3, 255}));
}

}  // namespace
}  // namespace orrivel::swf
