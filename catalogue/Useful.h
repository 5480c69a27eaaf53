#pragma once
// Small helpers the windows share: the three fixed message boxes (through the Prompter seam),
// starting a program and waiting for it, and removing an unpacked folder.
#include <functional>
#include <string>

// "Error" box, OK button, exclamation icon. Returns the button pressed (BoxOk).
int ErrorBox(const std::string& message);
// "Question" box, Yes and No, question icon. True when the user answered Yes. Enter presses
// defaultButton (BoxNo for a question whose Yes cannot be undone); 0 is Yes.
bool QuestionBox(const std::string& message, int defaultButton = 0);
// "Message" box, OK button, no icon.
void NoticeBox(const std::string& message);

// What RunAndWait calls over and over while the child runs. The windows install one that
// processes paint events only, so they stay painted but take no input. Empty by default.
// Returns the hook it replaces.
std::function<void()> SetWaitHook(std::function<void()> hook);

// Starts `program` with the command line: program, one blank, parameters (the parameters are
// split into arguments by shell word rules; the program is one argument), in the program's
// folder, and waits until it ends. When it cannot be started, shows "Error Creating Process" with
// the program and the system's reason on a second line, and returns that text; empty when the
// program ran. The exit code is not read.
std::string RunAndWait(const std::string& program, const std::string& parameters);

// Deletes the plain files of `folder` (not its subfolders or hidden files), clearing read-only
// marks, makes the program folder the current folder, then removes the folder. Shows
// "Cannot delete some files, they may be Read-Only" when a file stays (the folder is kept) or
// "Cannot delete folder" when the folder cannot be removed.
void DeleteFolder(const std::string& folder);
