// Message and input boxes. Every box of the program goes through here, so a
// test can answer them without a person at the screen.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

// Button sets and icons, with the values the boxes have always used.
enum : unsigned {
    MB_OK = 0x00,
    MB_OKCANCEL = 0x01,
    MB_YESNO = 0x04,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Modal results of forms and their buttons.
enum ModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// A box with caption, text, buttons and icon; returns IDOK, IDYES, IDNO or IDCANCEL.
int MessageBox(QWidget* owner, std::string_view text, std::string_view caption, unsigned flags);

// A plain box with the application title as caption and an OK button.
void ShowMessage(std::string_view text);

// Asks where to save (texts in UTF-8) and writes what contents gives there
// whole or not at all; a failure is told in a box, failure first. contents is
// asked only once a place is chosen.
void SaveFileAs(QWidget* owner, const char* caption, const char* name, const char* filter, const char* failure,
                const std::function<std::string()>& contents);

// An input box; true and the entered text on OK.
bool InputQuery(std::string_view caption, std::string_view prompt, std::string& value);

// What a box showed, as recorded while a script answers the boxes.
struct ShownBox {
    enum Kind { Message, Input } kind = Message;
    QWidget* owner = nullptr;
    std::string caption; // Shift_JIS
    std::string text;    // Shift_JIS; the prompt for an input box
    unsigned flags = 0;
};

// Answers boxes instead of a person. While installed, no box is shown: each is
// recorded and answered by the responder.
class BoxScript {
public:
    // Returns the button id; for an input box also fills input (empty answer = Cancel).
    using Responder = std::function<int(const ShownBox& box, std::string& input)>;

    static void Install(Responder responder);
    static void Uninstall();
    static bool Installed();
    static std::vector<ShownBox>& Shown();
};
