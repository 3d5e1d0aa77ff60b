#include "hall_of_fame_labels.h"

namespace cantorix::stage {

namespace {

constexpr int kCaptionLeft = 120;
constexpr int kScoreLeft = 550;
constexpr int kFirstTop = 280;
constexpr int kRowPitch = 45;

// The row positions are screen positions; a control's own are relative to its parent.
void addLabel(scene::TGLBaseControl& holder, const std::string& caption, int left, int top,
              const HallOfFameLook& look) {
    const scene::RectI origin = holder.globalRect();
    auto& label = holder.addNewChild<scene::TGLLabel>();
    label.setLeft(left - origin.left);
    label.setTop(top - origin.top);
    label.setCaption(caption);
    label.setBitmapFont(look.font);
    label.setGuiLayout(look.layout);
    label.setDefaultColor(look.colour);
}

} // namespace

void showHallOfFameRows(scene::TGLBaseControl& holder,
                        const std::vector<session::HallOfFameRow>& rows,
                        const HallOfFameLook& look) {
    holder.deleteChildren();
    int top = kFirstTop;
    for (const session::HallOfFameRow& row : rows) {
        addLabel(holder, row.caption, kCaptionLeft, top, look);
        addLabel(holder, row.scoreText, kScoreLeft, top, look);
        top += kRowPitch;
    }
}

} // namespace cantorix::stage
