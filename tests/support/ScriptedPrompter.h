#pragma once
// A Prompter for tests: records every box and dialog it is shown and answers each from a
// script, in order. A box with no scripted answer left (or of another kind than the next
// answer) fails the test and gets the safe answer (SafeAnswer; dialogs cancelled). Answers
// left unused when the prompter is destroyed fail the test too.
//
//   ScriptedPrompter prompts;                 // installs itself, restores the old one at the end
//   prompts.Box(BoxYes);                      // the next message box is answered Yes
//   prompts.Input("*.ROM");                   // the next input box returns "*.ROM"
//   prompts.Input(std::nullopt);              // ... or is cancelled
//   RunTheCommand();
//   EXPECT_EQ(prompts.Shown().at(0).text, "Do you really want ...");
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/Prompter.h"

enum class PromptKind { Box, Input, OpenFile, SaveFile, Folder, Font };

// One box or dialog as it was shown.
struct ShownPrompt {
    PromptKind kind = PromptKind::Box;
    std::string caption;
    std::string text;  // box text, input prompt; empty for the file, folder and font dialogs
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
    int defaultButton = 0;
    std::string initial;  // default text, initial path or folder, font name
    std::string filter;   // file dialog filter
    std::string suffix;   // save dialog's default suffix
    bool masked = false;
    bool allowNew = false;
};

class ScriptedPrompter : public Prompter {
public:
    ScriptedPrompter();
    ~ScriptedPrompter() override;
    ScriptedPrompter(const ScriptedPrompter&) = delete;
    ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;

    // Script the next answers (each returns *this to chain).
    ScriptedPrompter& Box(int answer);
    ScriptedPrompter& Input(std::optional<std::string> answer);
    ScriptedPrompter& OpenFile(std::optional<std::string> answer);
    ScriptedPrompter& SaveFile(std::optional<std::string> answer);
    ScriptedPrompter& Folder(std::optional<std::string> answer);
    ScriptedPrompter& Font(std::optional<FontChoice> answer);

    // Everything shown so far, first to last.
    const std::vector<ShownPrompt>& Shown() const { return shown_; }
    // The texts of the message boxes shown so far.
    std::vector<std::string> BoxTexts() const;
    // Answers not used yet.
    std::size_t Pending() const { return script_.size(); }
    // Forgets what was shown (the script stays).
    void ClearShown() { shown_.clear(); }

    int MessageBox(const std::string& caption, const std::string& text, BoxIcon icon, BoxButtons buttons,
                   int defaultButton = 0) override;
    std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& defaultText, bool masked = false) override;
    std::optional<std::string> OpenFileName(const std::string& caption, const std::string& filter,
                                            const std::string& initialPath) override;
    std::optional<std::string> SaveFileName(const std::string& caption, const std::string& filter,
                                            const std::string& initialPath,
                                            const std::string& defaultSuffix) override;
    std::optional<std::string> FolderName(const std::string& caption, const std::string& initialFolder,
                                          bool allowNew) override;
    bool ChooseFont(FontChoice& font) override;

private:
    struct Answer {
        PromptKind kind;
        int box = BoxOk;
        std::optional<std::string> text;
        std::optional<FontChoice> font;
    };
    // The next answer when it is of this kind; nullopt (and a test failure) otherwise.
    std::optional<Answer> Next(const ShownPrompt& shown);

    Prompter* previous_ = nullptr;
    std::deque<Answer> script_;
    std::vector<ShownPrompt> shown_;
};

const char* PromptKindName(PromptKind kind);
