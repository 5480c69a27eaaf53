#pragma once
// The one seam through which the program asks the user anything: message boxes, questions,
// one-line input boxes, and the file, folder and font dialogs. The windows install a Qt
// implementation at start-up; tests install tests/support/ScriptedPrompter, which records every
// box and answers from a script. Nothing here depends on Qt.
//
//   SetPrompter(&myPrompter);                  // process-wide, not owned
//   int b = CurrentPrompter().MessageBox("Error", "Text", BoxIcon::Exclamation, BoxButtons::Ok);
//
// When no prompter is installed, CurrentPrompter() is a console fallback that prints each box
// to standard error, answers it with SafeAnswer and cancels every dialog.
#include <cstdint>
#include <optional>
#include <string>

enum class BoxIcon { None, Exclamation, Question, Information, Stop };

// The OpenFileName pattern of files with the execute bit: "Executables|" ExecutablePattern.
inline constexpr const char* ExecutablePattern = "<executable>";

enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

// The button a message box was closed with (the numbers of the platform's message box answers).
enum BoxAnswer : int {
    BoxOk = 1,
    BoxCancel = 2,
    BoxAbort = 3,
    BoxRetry = 4,
    BoxIgnore = 5,
    BoxYes = 6,
    BoxNo = 7,
};

// The answer that lets nothing happen: Cancel when offered, else No, else Abort, else OK.
int SafeAnswer(BoxButtons buttons);

// A font as the settings file and the font dialog know it. Color is the platform colour value:
// red in the lowest byte, then green, then blue; values with the top bit set name system colours.
struct FontChoice {
    std::string Name = "MS Sans Serif";
    int32_t Size = 8;  // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    int32_t Color = 0;

    bool operator==(const FontChoice&) const = default;
};

class Prompter {
public:
    virtual ~Prompter() = default;

    // A modal message box owned by the application. `defaultButton` is the BoxAnswer of the
    // button that Enter presses; 0 means the first button. Returns the BoxAnswer pressed
    // (closing the box without a button answers BoxCancel, or BoxNo for Yes/No, or BoxOk for Ok).
    virtual int MessageBox(const std::string& caption, const std::string& text, BoxIcon icon,
                           BoxButtons buttons, int defaultButton = 0) = 0;

    // A one-line input box. Returns the text entered, or nothing when the user cancelled.
    // `masked` hides what is typed (passwords).
    virtual std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                                const std::string& defaultText, bool masked = false) = 0;

    // A file-open dialog. `filter` is in the pipe format "Description|patterns|Description|
    // patterns", patterns separated by ';' (for instance "Programs (*.exe)|*.exe|All Files
    // (*.*)|*.*"); empty means every file. The pattern ExecutablePattern stands for the files
    // the user may run (Linux programs have no extension). `initialPath` is the current value:
    // the dialog starts in its folder, else in the home folder.
    // Returns the chosen file's full path, or nothing when cancelled.
    virtual std::optional<std::string> OpenFileName(const std::string& caption, const std::string& filter,
                                                    const std::string& initialPath) = 0;

    // A file-save dialog (filter and initial path as for OpenFileName); `defaultSuffix` is added
    // to a name typed without an extension. Asks before an existing file is replaced. Returns
    // the chosen full path, or nothing when cancelled.
    virtual std::optional<std::string> SaveFileName(const std::string& caption, const std::string& filter,
                                                    const std::string& initialPath,
                                                    const std::string& defaultSuffix) = 0;

    // A folder picker starting at `initialFolder` (else the home folder); `allowNew` offers to
    // create a folder.
    // Returns the chosen folder (no trailing '/' unless it is the root), or nothing.
    virtual std::optional<std::string> FolderName(const std::string& caption,
                                                  const std::string& initialFolder, bool allowNew) = 0;

    // A font dialog with the effects choices (underline, strike-out, colour), starting at `font`.
    // Returns true and changes `font` when the user confirmed; false leaves it untouched.
    virtual bool ChooseFont(FontChoice& font) = 0;
};

// Installs the process-wide prompter (not owned; nullptr restores the console fallback) and
// returns the one it replaces.
Prompter* SetPrompter(Prompter* prompter);
// The installed prompter, or the console fallback.
Prompter& CurrentPrompter();
