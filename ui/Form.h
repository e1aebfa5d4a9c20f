// Long-lived windows: created once, hidden when closed, placed on each show.
#pragma once

#include <QDialog>
#include <QSize>

enum class FormPosition {
    ScreenCenter,   // centred on the desktop
    MainFormCenter, // centred on the main window
};

// Centres a top-level window on the screen or on the application's main
// window, keeping its title bar and menu on the screen. A window manager's
// frame is known only once the window is on the screen; the window is placed
// again then, frame included.
void PlaceForm(QWidget* form, FormPosition position);

// A window whose designed size includes the window manager's frame: the inner
// size follows once the frame is known. A screen too small for it gets the
// largest window that fits.
void SetOuterSize(QWidget* form, QSize outer);

// The main window, once the start-up has made it.
QWidget* MainForm();
void SetMainForm(QWidget* form);

// The control that gets the keyboard at start and whenever a dialog closes
// and none is left: without a window manager nobody else hands it back.
void SetKeyboardHome(QWidget* control);
void ReturnKeyboard();

// A secondary window: shown modally or not, never destroyed by closing.
class TFormBase : public QDialog {
    Q_OBJECT
public:
    TFormBase(QWidget* parent, FormPosition position);

    // Shows the window modally and returns its modal result.
    int ShowModal();

    // The fixed client size of a dialog border (not resizable).
    void SetDialogClientSize(int width, int height);

protected:
    // Runs every time the window is shown.
    virtual void FormShow() {}

    void showEvent(QShowEvent* event) override;

private:
    FormPosition position_;
};
