#pragma once
/*
 * ZipUi: the zip component's seam to the user interface, so the component has no toolkit in it
 * and runs in tests without a display.
 *   - boxes: a message box with buttons and an icon, an input box (plain or password);
 *   - message pumping: run the queued window events, so progress bars repaint and a Stop
 *     button can be pressed while an engine works;
 *   - the busy (hourglass) cursor, nested: every On has its Off.
 *
 * The program installs the Qt form once at start-up (zip/QtZipUi.h: UseQtZipUi()); until
 * then, and in tests, the process-wide seam is a SilentZipUi. A component may be given its
 * own seam (TZipArchiver::SetUi).
 */
#include <deque>
#include <functional>
#include <string>
#include <vector>

class ZipUi {
public:
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
    enum class Icon { None, Information, Warning, Error, Question, Stop };
    enum class Answer { Ok, Cancel, Yes, No, Retry, Failed };  // Failed: the box could not be shown

    virtual ~ZipUi() = default;
    // A modal box; caption empty means the application's title. Returns the button pressed
    // (Cancel when closed without a choice).
    virtual Answer MessageBox(const std::string& caption, const std::string& text, Buttons buttons, Icon icon,
                              Answer defaultButton) = 0;
    // A modal input box with an empty or given default in value. True with the text on OK,
    // false when cancelled (value then unchanged). hidden: a password box.
    virtual bool InputBox(const std::string& caption, const std::string& prompt, std::string& value,
                          bool hidden) = 0;
    // Runs every queued window event and returns.
    virtual void ProcessMessages() = 0;
    // Hourglass on / off (nested).
    virtual void SetBusyCursor(bool on) = 0;

    // The plain message box of the component: the text with an OK button, no icon.
    void ShowMessage(const std::string& text) { MessageBox("", text, Buttons::Ok, Icon::None, Answer::Ok); }
};

// The hourglass for the lifetime of a scope.
class ZipBusyCursor {
public:
    explicit ZipBusyCursor(ZipUi& ui) : ui_(ui) { ui_.SetBusyCursor(true); }
    ~ZipBusyCursor() { ui_.SetBusyCursor(false); }
    ZipBusyCursor(const ZipBusyCursor&) = delete;
    ZipBusyCursor& operator=(const ZipBusyCursor&) = delete;

private:
    ZipUi& ui_;
};

// The process-wide seam (a SilentZipUi until one is set).
ZipUi& CurrentZipUi();
// Makes ui the process-wide seam; nullptr puts the silent one back. The caller keeps ownership.
void SetZipUi(ZipUi* ui);

// For tests and unattended use: shows nothing, records every box, answers from a script.
class SilentZipUi : public ZipUi {
public:
    struct Box {
        std::string caption;
        std::string text;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        bool input = false;   // an input box
        bool hidden = false;  // a password input box
    };

    Answer MessageBox(const std::string& caption, const std::string& text, Buttons buttons, Icon icon,
                      Answer defaultButton) override;
    bool InputBox(const std::string& caption, const std::string& prompt, std::string& value,
                  bool hidden) override;
    void ProcessMessages() override;
    void SetBusyCursor(bool on) override;

    // Answers for the next message boxes, in order; when none is left the default button.
    std::deque<Answer> answers;
    // Texts typed into the next input boxes, in order; when none is left the box is cancelled.
    std::deque<std::string> inputs;
    // Run at every ProcessMessages (a test's stand-in for a user clicking Stop, say).
    std::function<void()> onProcessMessages;

    std::vector<Box> boxes;  // every box shown, in order
    int pumps = 0;           // ProcessMessages calls
    int busyDepth = 0;       // current nesting of the busy cursor
    int busyMaxDepth = 0;
    int busyCount = 0;  // times it was turned on
};
