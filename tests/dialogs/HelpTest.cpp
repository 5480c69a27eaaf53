// Every Help button opens its own topic of the help page, and the page holds each topic.
#include <gtest/gtest.h>

#include <QTextBrowser>
#include <functional>

#include "DialogTestKit.h"
#include "catalogue/Scan.h"
#include "dialogs/Emuadd.h"
#include "dialogs/Emulist.h"
#include "dialogs/Help.h"
#include "dialogs/Options.h"
#include "dialogs/Romprop.h"
#include "support/ScriptedPrompter.h"

namespace {

const std::string HelpPage = TARNWICK_SOURCE_DIR "/data/HLP/Tarnwick.html";

TEST(HelpPage, HoldsContentsLinkingEveryTopicAndAnAnchorPerTopic) {
    const std::string page = TempDir::read(HelpPage);
    for (const char* topic : {"addemu", "emulist", "romprop", "optdlg", "scandlg", "stalkdlg"}) {
        EXPECT_NE(page.find(std::string("<a name=\"") + topic + "\">"), std::string::npos) << topic;
        EXPECT_LT(page.find(std::string("href=\"#") + topic + "\""), page.find("name=\"start\"")) << topic;
    }
}

TEST(HelpButtons, OpenTheirTopics) {
    DialogCatalogue cat;
    cat.dir.write("HLP/Tarnwick.html", TempDir::read(HelpPage));
    ScriptedPrompter prompts;
    TScanDlg scan;
    TAddDlg add;
    TEmuListDlg list;
    TRomPropDlg prop;
    TOptionsDlg options;
    const std::vector<std::pair<QPushButton*, std::string>> buttons = {{scan.BitBtn3, "scandlg"},
                                                                       {add.BitBtn4, "addemu"},
                                                                       {list.BitBtn2, "emulist"},
                                                                       {prop.BitBtn1, "romprop"},
                                                                       {options.BitBtn3, "optdlg"}};
    for (const auto& [button, topic] : buttons) {
        button->click();
        EXPECT_EQ(HelpWindow()->CurrentTopic(), topic);
        EXPECT_EQ(HelpWindow()->Browser->source().fragment().toStdString(), topic);
        EXPECT_TRUE(HelpWindow()->Browser->toPlainText().contains("Tarnwick Help"));
    }
    delete HelpWindow();
}

}  // namespace
