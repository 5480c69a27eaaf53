#pragma once
// What the Stalker tests share: a temporary folder, a scripted prompter, a silent zip seam and
// one dialog whose zip component finds the engines in the program folder of the build.
#include <QComboBox>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "stalker/Stalkmain.h"
#include "toolkit/FileEdit.h"
#include "toolkit/StatusPanels.h"
#include "zip/ZipUi.h"

class StalkerTest : public ::testing::Test {
protected:
    StalkerTest() {
        dlg_.Zip->SetDLLDirectory(TARNWICK_APP_DIR);
        dlg_.Zip->SetUi(&ui_);
        dlg_.Zip->OnMessage = [this](TZipArchiver*, int, const std::string& text) {
            messages_.push_back(text);
        };
    }

    // Sets up a run: source folder (relative to the temporary folder), destination text, masks.
    void Prepare(const std::string& source, const std::string& dest, const std::vector<std::string>& masks,
                 const std::string& level = "9") {
        dlg_.Source->setText(QString::fromStdString(source));
        dlg_.Dest->setText(QString::fromStdString(dest));
        dlg_.Ext->clear();
        for (const auto& m : masks) dlg_.Ext->addItem(QString::fromStdString(m));
        dlg_.FormShow();
        dlg_.CL->setCurrentText(QString::fromStdString(level));
    }

    std::string Status() const { return dlg_.StatusBar1->Panel(0).toStdString(); }

    // The texts of the zip component's boxes.
    std::vector<std::string> ZipBoxes() const {
        std::vector<std::string> texts;
        for (const auto& b : ui_.boxes) texts.push_back(b.text);
        return texts;
    }

    // Member names of an archive, one a line, as Info-ZIP lists them.
    static std::string Members(const std::string& zip) { return ShellOutput("unzip -Z1 '" + zip + "' 2>&1"); }
    // Whether Info-ZIP finds the archive whole.
    static bool Intact(const std::string& zip) {
        return RunShell("unzip -tqq '" + zip + "' >/dev/null 2>&1") == 0;
    }
    // The method column of the archive's first member ("Stored", "Defl:X", ...).
    static std::string Method(const std::string& zip) {
        return ShellOutput("unzip -v '" + zip + "' | awk 'NR==4 {printf \"%s\", $2}'");
    }

    void ExpectIdle() {
        EXPECT_FALSE(dlg_.Running());
        EXPECT_TRUE(dlg_.BtnGo->isEnabled());
        EXPECT_EQ(dlg_.BtnStop->text().toStdString(), "&Close");
    }

    TempDir tmp_;
    ScriptedPrompter prompts_;
    SilentZipUi ui_;
    TStalkDlg dlg_;
    std::vector<std::string> messages_;  // every message of the zip component, boxes or not
};
