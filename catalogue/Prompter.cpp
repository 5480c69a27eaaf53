#include "catalogue/Prompter.h"

#include <cstdio>

namespace {

// Used when no window system has installed a prompter (tools, early start-up): the user still
// sees every message on the console, and nothing is chosen on the user's behalf.
class ConsolePrompter : public Prompter {
public:
    int MessageBox(const std::string& caption, const std::string& text, BoxIcon, BoxButtons buttons,
                   int) override {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        return SafeAnswer(buttons);
    }
    std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&,
                                        bool) override {
        return std::nullopt;
    }
    std::optional<std::string> OpenFileName(const std::string&, const std::string&,
                                            const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> SaveFileName(const std::string&, const std::string&, const std::string&,
                                            const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> FolderName(const std::string&, const std::string&, bool) override {
        return std::nullopt;
    }
    bool ChooseFont(FontChoice&) override { return false; }
};

Prompter* installed = nullptr;

}  // namespace

int SafeAnswer(BoxButtons buttons) {
    switch (buttons) {
        case BoxButtons::Ok:
            return BoxOk;
        case BoxButtons::YesNo:
            return BoxNo;
        case BoxButtons::AbortRetryIgnore:
            return BoxAbort;
        default:
            return BoxCancel;
    }
}

Prompter* SetPrompter(Prompter* prompter) {
    Prompter* old = installed;
    installed = prompter;
    return old;
}

Prompter& CurrentPrompter() {
    static ConsolePrompter console;
    return installed ? *installed : console;
}
