// The stand-in's form engine: reads a form template in the host's byte layout,
// binds the data controls to the data block and runs the form, from the terminal
// or from a script, calling the dialog's event handler as the host does.
//
// Events the engine reports to the dialog (its second virtual operation):
//   kind -2, code = form number   once, when the form opens (bring displays up to date)
//   kind  2, code = control id    focus arrives at a control
//   kind  3, code = control id    a data control's value changed
//   kind  1, code = control id    a button was pressed; 0x5001 (OK) then closes the
//                                 form as confirmed unless the handler answers non-zero
// A handler result of -2 asks for the form to be redrawn.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// The dialog bound to a callback entry handed out by a binder (false: not an entry).
bool BoundDialog(const void *entry, void *&dialog);

namespace form {

enum ControlKind : uint16_t { kButton = 0, kCheckBox = 2, kLabel = 3, kEdit = 5, kList = 6, kFormRecord = 0xFFFF };
constexpr uint16_t kEditsData = 0x0400;
constexpr int16_t kConfirmed = 0x5001;
constexpr int16_t kAbandoned = 0;

struct Control {
    uint16_t kind = 0, id = 0, flags = 0, key = 0, column = 0, row = 0, width = 0, height = 0;
    std::string caption;             // Mazovia, with the host's control bytes
    std::vector<std::string> items;  // list items, without their leading blank
    uint16_t limit = 0;              // edit fields: maximum length
    uint8_t *value = nullptr;        // bound bytes of the data block
    int bit = 0;                     // check boxes: bit in their shared word
    std::string shown;               // what a button shows, as the host set it
};

struct Form {
    Control header;
    std::vector<Control> controls;
};

// Reads a template; returns an error text, empty when the template is sound.
std::string Parse(const uint8_t *bytes, Form &form);
// Binds the data controls to the block in template order.
void Bind(Form &form, uint8_t *data);

// Keys: a Mazovia character as itself, function keys as the host's key codes
// (F2 0x3C00 .. F5 0x3F00, F12 0x5500), the rest as below.
enum Key : int32_t {
    kKeyF1 = 0x3B00, kKeyF2 = 0x3C00, kKeyF3 = 0x3D00, kKeyF4 = 0x3E00, kKeyF5 = 0x3F00, kKeyF12 = 0x5500,
    kKeyTab = 0x10001, kKeyBackTab, kKeyUp, kKeyDown, kKeyLeft, kKeyRight, kKeyHome, kKeyEnd,
    kKeyEnter, kKeyEscape, kKeyBackspace, kKeyDelete, kKeyNone,
};
// A key by name ("F2", "Tab", "Esc", a single character), or kKeyNone.
int32_t KeyByName(const std::string &name);

class Session {
public:
    Session(Form &form, void *dialog, bool terminal);
    ~Session();

    void Open();
    void Key(int32_t key);
    bool IsOpen() const { return open_; }
    int16_t Result() const { return result_; }
    // Ends the form as abandoned, with a reason for the user.
    void Fail(const std::string &why);
    const std::string &Error() const { return error_; }

    // Moves the focus as Tab would, reporting it; false if no such control.
    bool FocusOn(uint16_t id);
    const Control *Focused() const;
    Control *Find(uint16_t id);
    int32_t Value(const Control &c) const;
    std::string Text(const Control &c) const;  // edit fields, Mazovia
    void RequestRedraw() { redraw_ = true; }
    bool TakeRedraw();
    bool Terminal() const { return terminal_; }
    std::size_t Cursor() const { return cursor_; }

    // The form in character cells: one line per row, UTF-8, with terminal
    // attributes when ansi is set.
    std::vector<std::string> Draw(bool ansi) const;

    static Session *Running();

private:
    int32_t Fire(int16_t code, int16_t kind);
    void Activate(std::size_t index);
    void MoveFocus(int step);
    void SetFocus(std::size_t index);
    void Changed(const Control &c);
    bool EditKey(Control &c, int32_t key);

    Form &form_;
    void *dialog_;
    bool terminal_;
    bool open_ = false;
    bool redraw_ = false;
    int16_t result_ = kAbandoned;
    std::size_t focus_;
    std::size_t cursor_ = 0;
    std::string error_;
    Session *outer_;
};

// The terminal: raw keys in, the drawn form out (form_terminal.cpp).
class Terminal {
public:
    Terminal();
    ~Terminal();
    bool Ready() const { return ready_; }
    int32_t ReadKey();
    void Show(const std::vector<std::string> &lines, int cursorRow, int cursorColumn);
    // The window's size in character cells; false when the terminal does not say.
    bool Size(int &columns, int &rows) const;

private:
    bool ready_ = false;
};

// Runs the session from the terminal until the form closes; a terminal too small
// for the form ends it, saying so.
void RunInteractive(Session &session);
// A message or notice while forms run from the terminal (UTF-8 texts): framed on the
// form's screen until a key is pressed. False when there is no terminal.
bool MessageInteractive(const std::string &title, const std::string &text);
// Console output meant for the normal screen: kept while the form's screen is up and
// written when it closes (true), or left to the caller to write now (false).
bool DeferWhileShown(const std::string &output);
// The goods-group picker in the terminal; true when the user accepted a selection.
bool PickInteractive(std::vector<bool> &selected);

}  // namespace form
}  // namespace standin
