#pragma once
// Pieces every catalogue dialog is built from: the fixed dialog frame, the picture buttons, the
// lookup lists read into drop-down lists, and record texts shown and stored.
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QVBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "catalogue/Emusystem.h"

namespace FormParts {

// A push button with an object name, a caption and a picture.
QPushButton* Button(QWidget* parent, const char* name, const QString& caption, const QIcon& picture);
QPushButton* OkButton(QWidget* parent, const char* name, const QString& caption = "&OK");
QPushButton* CancelButton(QWidget* parent, const char* name);
QPushButton* HelpButton(QWidget* parent, const char* name);

// Buttons stacked top to bottom with the free room below them.
QVBoxLayout* ButtonColumn(std::initializer_list<QWidget*> buttons);
// A named group box around one control (the control is given to the box).
QGroupBox* GroupAround(QWidget* parent, const char* name, const QString& caption, QWidget* control);

// The one line under a parameters field that names the placeholders a launch replaces.
QLabel* ParametersHint(QWidget* parent);

// A fixed dialog frame without the title bar's help button, at least designW x designH, with
// the size the layout asks for. Call once the layout is complete.
void FixFrame(QDialog* dlg, const char* name, const QString& caption, int designW, int designH);

// Replaces the items of box by the lines of a program file ("LISTS\\Types.lst"). When the file
// cannot be read, box stays empty and the failure is reported with the system's reason; the
// answer is then false.
bool LoadListFile(QComboBox* box, const char* programFile);
// Selects position i of box, or nothing when i lies outside its items.
void SelectPosition(QComboBox* box, int32_t i);

// A record text as shown (UTF-8, or Windows-1252 bytes of old catalogues).
QString Shown(std::string_view bytes);
template <std::size_t W>
QString Shown(const char (&field)[W]) {
    return Shown(FieldView(field));
}

// Whether a typed text fits a record field of width W whole (bytes as stored).
template <std::size_t W>
bool Fits(const char (&field)[W], const QString& text) {
    return FitsField(field, text.toStdString());
}
// Stores a typed text into a record field (callers check Fits first).
template <std::size_t W>
void Store(char (&field)[W], const QString& text) {
    SetFieldText(field, text.toStdString());
}
// A control showing a field was edited when it no longer reads as the field is shown. An
// unedited field keeps its bytes (old catalogues hold Windows-1252 texts), whatever their length.
template <std::size_t W>
bool Edited(const char (&field)[W], const QString& text) {
    return text != Shown(field);
}
template <std::size_t W>
bool FitsIfEdited(const char (&field)[W], const QString& text) {
    return !Edited(field, text) || Fits(field, text);
}
// Fills `to` from a control that showed `from`: the bytes of `from` when the text was not
// edited, else the text. False (to unchanged) when an edited text does not fit.
template <std::size_t W>
bool TakeText(char (&to)[W], const char (&from)[W], const QString& text) {
    if (!Edited(from, text)) {
        if (&to != &from) std::memcpy(to, from, W);
        return true;
    }
    if (!Fits(to, text)) return false;
    Store(to, text);
    return true;
}

// Reads a whole decimal number from a spin edit's text; false when it is not one or lies
// outside lo..hi.
bool WholeNumber(const QString& text, int lo, int hi, int32_t& value);

}  // namespace FormParts
