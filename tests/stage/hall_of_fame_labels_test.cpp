#include "fakes/fake_glyph_rasterizer.h"
#include "stage/hall_of_fame_labels.h"

#include <gtest/gtest.h>

namespace cantorix::stage {
namespace {

TEST(HallOfFameLabelsTest, ReplacesTheRowsUnderTheHolder) {
    scene::TGLPanel holder("Holder");
    holder.addNewChild<scene::TGLLabel>().setCaption("stale");
    scene::TGLGuiLayout layout("GLGuiLayout2", {});
    scene::testing::FakeGlyphRasterizer glyphs;
    scene::TGLBitmapFont font("GLStoredBitmapFont3", {"Lucida Sans", 37, true}, glyphs);
    constexpr scene::TColor kColour = 0x123456;
    HallOfFameLook look{&font, &layout, kColour};

    showHallOfFameRows(holder, session::rankHallOfFame({"852:red", "99:blue"}), look);

    ASSERT_EQ(holder.count(), 4);
    const auto& label = [&](int i) -> scene::TGLLabel& {
        auto* l = dynamic_cast<scene::TGLLabel*>(&holder.child(i));
        EXPECT_NE(l, nullptr);
        return *l;
    };
    EXPECT_EQ(label(0).caption(), "1.  red");
    EXPECT_EQ(label(1).caption(), "852");
    EXPECT_EQ(label(2).caption(), "2.  blue");
    EXPECT_EQ(label(3).caption(), "99");
    EXPECT_EQ(label(0).left(), 120);
    EXPECT_EQ(label(1).left(), 550);
    EXPECT_EQ(label(1).top(), 280);
    EXPECT_EQ(label(2).top(), 325);
    EXPECT_EQ(label(3).top(), 325);
    EXPECT_EQ(label(3).guiLayout(), &layout);
    EXPECT_EQ(label(3).bitmapFont(), &font);
    EXPECT_EQ(label(3).defaultColor(), kColour);

    showHallOfFameRows(holder, {}, look);
    EXPECT_EQ(holder.count(), 0);

    // Where the holder stands on screen, the rows still land at their screen positions.
    holder.setBounds(82, 250, 600, 400);
    showHallOfFameRows(holder, session::rankHallOfFame({"852:red"}), look);
    EXPECT_EQ(label(0).globalRect().left, 120);
    EXPECT_EQ(label(0).globalRect().top, 280);
    EXPECT_EQ(label(1).globalRect().left, 550);
}

} // namespace
} // namespace cantorix::stage
