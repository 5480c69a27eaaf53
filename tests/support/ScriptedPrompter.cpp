#include "ScriptedPrompter.h"

#include <gtest/gtest.h>

// Each prompt names only the fields it has; the others keep their default member values.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

ScriptedPrompter::ScriptedPrompter() : previous_(SetPrompter(this)) {}

ScriptedPrompter::~ScriptedPrompter() {
    SetPrompter(previous_);
    if (!script_.empty())
        ADD_FAILURE() << script_.size() << " scripted answer(s) never asked for; the first is for a "
                      << PromptKindName(script_.front().kind);
}

const char* PromptKindName(PromptKind kind) {
    switch (kind) {
        case PromptKind::Box:
            return "message box";
        case PromptKind::Input:
            return "input box";
        case PromptKind::OpenFile:
            return "file dialog";
        case PromptKind::SaveFile:
            return "save dialog";
        case PromptKind::Folder:
            return "folder dialog";
        case PromptKind::Font:
            return "font dialog";
    }
    return "?";
}

ScriptedPrompter& ScriptedPrompter::Box(int answer) {
    script_.push_back({PromptKind::Box, answer, std::nullopt, std::nullopt});
    return *this;
}
ScriptedPrompter& ScriptedPrompter::Input(std::optional<std::string> answer) {
    script_.push_back({PromptKind::Input, 0, std::move(answer), std::nullopt});
    return *this;
}
ScriptedPrompter& ScriptedPrompter::OpenFile(std::optional<std::string> answer) {
    script_.push_back({PromptKind::OpenFile, 0, std::move(answer), std::nullopt});
    return *this;
}
ScriptedPrompter& ScriptedPrompter::SaveFile(std::optional<std::string> answer) {
    script_.push_back({PromptKind::SaveFile, 0, std::move(answer), std::nullopt});
    return *this;
}
ScriptedPrompter& ScriptedPrompter::Folder(std::optional<std::string> answer) {
    script_.push_back({PromptKind::Folder, 0, std::move(answer), std::nullopt});
    return *this;
}
ScriptedPrompter& ScriptedPrompter::Font(std::optional<FontChoice> answer) {
    script_.push_back({PromptKind::Font, 0, std::nullopt, std::move(answer)});
    return *this;
}

std::vector<std::string> ScriptedPrompter::BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& s : shown_)
        if (s.kind == PromptKind::Box) texts.push_back(s.text);
    return texts;
}

std::optional<ScriptedPrompter::Answer> ScriptedPrompter::Next(const ShownPrompt& shown) {
    shown_.push_back(shown);
    if (script_.empty() || script_.front().kind != shown.kind) {
        ADD_FAILURE() << "unscripted " << PromptKindName(shown.kind) << " \"" << shown.caption << "\": \""
                      << shown.text << "\""
                      << (script_.empty() ? ""
                                          : std::string(" (next in the script: ") +
                                                PromptKindName(script_.front().kind) + ")");
        return std::nullopt;
    }
    Answer answer = std::move(script_.front());
    script_.pop_front();
    return answer;
}

int ScriptedPrompter::MessageBox(const std::string& caption, const std::string& text, BoxIcon icon,
                                 BoxButtons buttons, int defaultButton) {
    auto answer = Next({.kind = PromptKind::Box,
                        .caption = caption,
                        .text = text,
                        .icon = icon,
                        .buttons = buttons,
                        .defaultButton = defaultButton});
    return answer ? answer->box : SafeAnswer(buttons);
}

std::optional<std::string> ScriptedPrompter::InputBox(const std::string& caption, const std::string& prompt,
                                                      const std::string& defaultText, bool masked) {
    auto answer = Next({.kind = PromptKind::Input,
                        .caption = caption,
                        .text = prompt,
                        .initial = defaultText,
                        .masked = masked});
    return answer ? answer->text : std::nullopt;
}

std::optional<std::string> ScriptedPrompter::OpenFileName(const std::string& caption,
                                                          const std::string& filter,
                                                          const std::string& initialPath) {
    auto answer =
        Next({.kind = PromptKind::OpenFile, .caption = caption, .initial = initialPath, .filter = filter});
    return answer ? answer->text : std::nullopt;
}

std::optional<std::string> ScriptedPrompter::SaveFileName(const std::string& caption,
                                                          const std::string& filter,
                                                          const std::string& initialPath,
                                                          const std::string& defaultSuffix) {
    auto answer = Next({.kind = PromptKind::SaveFile,
                        .caption = caption,
                        .initial = initialPath,
                        .filter = filter,
                        .suffix = defaultSuffix});
    return answer ? answer->text : std::nullopt;
}

std::optional<std::string> ScriptedPrompter::FolderName(const std::string& caption,
                                                        const std::string& initialFolder, bool allowNew) {
    auto answer = Next(
        {.kind = PromptKind::Folder, .caption = caption, .initial = initialFolder, .allowNew = allowNew});
    return answer ? answer->text : std::nullopt;
}

bool ScriptedPrompter::ChooseFont(FontChoice& font) {
    auto answer = Next({.kind = PromptKind::Font, .initial = font.Name});
    if (!answer || !answer->font) return false;
    font = *answer->font;
    return true;
}
