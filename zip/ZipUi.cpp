// The process-wide zip seam and its silent form.
#include "zip/ZipUi.h"

#include <algorithm>

namespace {
SilentZipUi& DefaultUi() {
    static SilentZipUi ui;
    return ui;
}
ZipUi* g_ui = nullptr;
}  // namespace

ZipUi& CurrentZipUi() {
    return g_ui ? *g_ui : DefaultUi();
}

void SetZipUi(ZipUi* ui) {
    g_ui = ui;
}

ZipUi::Answer SilentZipUi::MessageBox(const std::string& caption, const std::string& text, Buttons buttons,
                                      Icon icon, Answer defaultButton) {
    boxes.push_back({caption, text, buttons, icon, false, false});
    if (answers.empty()) return defaultButton;
    Answer a = answers.front();
    answers.pop_front();
    return a;
}

bool SilentZipUi::InputBox(const std::string& caption, const std::string& prompt, std::string& value,
                           bool hidden) {
    boxes.push_back({caption, prompt, Buttons::OkCancel, Icon::None, true, hidden});
    if (inputs.empty()) return false;
    value = inputs.front();
    inputs.pop_front();
    return true;
}

void SilentZipUi::ProcessMessages() {
    ++pumps;
    if (onProcessMessages) onProcessMessages();
}

void SilentZipUi::SetBusyCursor(bool on) {
    if (on) {
        ++busyCount;
        busyMaxDepth = std::max(busyMaxDepth, ++busyDepth);
    } else if (busyDepth > 0) {
        --busyDepth;
    }
}
