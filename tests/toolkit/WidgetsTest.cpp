// The toolkit widgets: browse edits through the Prompter, status panels, radio groups.
#include <gtest/gtest.h>

#include "support/ScriptedPrompter.h"
#include "toolkit/FileEdit.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/StatusPanels.h"

namespace {

TEST(BrowseEdits, FileEditOffersItsFilterAndTakesOnlyAnAnswer) {
    ScriptedPrompter prompts;
    FileEdit edit;
    edit.Filter = "Program Files (*.exe;*.com)|*.exe;*.com|All Files (*.*)|*.*";
    edit.setText("/usr/games/old");
    prompts.OpenFile("/usr/games/new").OpenFile(std::nullopt);
    edit.Button->click();
    EXPECT_EQ(edit.text(), "/usr/games/new");
    edit.ButtonClick();  // cancelled: the text stays
    EXPECT_EQ(edit.text(), "/usr/games/new");
    ASSERT_EQ(prompts.Shown().size(), 2u);
    EXPECT_EQ(prompts.Shown()[0].kind, PromptKind::OpenFile);
    EXPECT_EQ(prompts.Shown()[0].filter, edit.Filter.toStdString());
    EXPECT_EQ(prompts.Shown()[0].initial, "/usr/games/old");
}

TEST(BrowseEdits, FolderEditStartsAtItsTextAndMayAllowNewFolders) {
    ScriptedPrompter prompts;
    FolderEdit edit;
    edit.setText("/roms");
    edit.AllowNewFolder = true;
    prompts.Folder("/roms/nes");
    edit.ButtonClick();
    EXPECT_EQ(edit.text(), "/roms/nes");
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(prompts.Shown()[0].kind, PromptKind::Folder);
    EXPECT_EQ(prompts.Shown()[0].initial, "/roms");
    EXPECT_TRUE(prompts.Shown()[0].allowNew);
    edit.setMaxLength(3);
    EXPECT_EQ(edit.Edit->maxLength(), 3);
}

TEST(StatusPanelsTest, PanelsOutsideTheBarAreIgnored) {
    StatusPanels bar({40, 0});
    bar.SetPanel(0, "ROMs:");
    bar.SetPanel(1, "12");
    bar.SetPanel(2, "lost");
    bar.SetPanel(-1, "lost");
    EXPECT_EQ(bar.PanelCount(), 2);
    EXPECT_EQ(bar.Panel(0), "ROMs:");
    EXPECT_EQ(bar.Panel(1), "12");
    EXPECT_EQ(bar.Panel(2), "");
}

TEST(RadioGroupTest, SelectsByPositionAndClearsOutsideIt) {
    RadioGroup group("Message Settings:", {"Lamer Mode", "Expert Mode"});
    EXPECT_EQ(group.ItemIndex(), -1);
    group.SetItemIndex(1);
    EXPECT_EQ(group.ItemIndex(), 1);
    EXPECT_TRUE(group.Item(1)->isChecked());
    group.SetItemIndex(0);
    EXPECT_FALSE(group.Item(1)->isChecked());
    group.SetItemIndex(5);
    EXPECT_EQ(group.ItemIndex(), -1);
    group.Item(1)->click();
    EXPECT_EQ(group.ItemIndex(), 1);
}

}  // namespace
