#include "app/export_save.h"

#include <gtest/gtest.h>

using cantorix::app::proposedExportName;

namespace {

TEST(ExportSaveTest, ProposalIsTheExportNameAsAnMp3) {
    EXPECT_EQ(proposedExportName("Mysong.wav"), "Mysong.mp3");
    EXPECT_EQ(proposedExportName("Mysong"), "Mysong.mp3");
    EXPECT_EQ(proposedExportName("Mysong.MP3"), "Mysong.mp3");
    EXPECT_EQ(proposedExportName("take.2.wav"), "take.2.mp3");
    EXPECT_EQ(proposedExportName("My Song.ogg"), "My Song.mp3");
    EXPECT_EQ(proposedExportName(""), "default.mp3");
}

} // namespace
