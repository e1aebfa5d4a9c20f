// Long-lived windows: created once, hidden when closed, placed on each show.
#pragma once

#include <QDialog>
#include <QRect>
#include <QSize>
#include <optional>

enum class FormPosition {
    ScreenCenter,   // centred on the desktop
    MainFormCenter, // centred on the main window
    BesideMainForm, // see BesideMainFrame
};

// Places a top-level window by position, or with frame (its frame's rectangle
// as it was last left) there, keeping its title bar and menu on the screen. A
// window manager's frame is known only once the window is on the screen; the
// window is placed again then, frame included.
void PlaceForm(QWidget* form, FormPosition position, std::optional<QRect> frame = std::nullopt);

// The frame rectangle of a window of outer size beside the main window's
// frame, on the free part of the screen: right of it when there is room for
// minWidth (narrowed to the room), else left of it, else cascaded one title
// bar (titleHeight) down and right of it, so that the main window's title bar
// and its buttons stay in sight, and shortened to the screen's bottom.
QRect BesideMainFrame(const QRect& mainFrame, int titleHeight, QSize outer, int minWidth, const QRect& free);

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
    // Where the window's frame was last left, to be shown there again.
    virtual std::optional<QRect> LastFrame() { return std::nullopt; }

    void showEvent(QShowEvent* event) override;

private:
    FormPosition position_;
};
