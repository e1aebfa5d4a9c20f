// Long-lived windows: created once, hidden when closed, placed on each show.
#pragma once

#include <QDialog>

enum class FormPosition {
    ScreenCenter,   // centred on the desktop
    MainFormCenter, // centred on the main window
};

// Centres a top-level window on the screen or on the application's main window.
void PlaceForm(QWidget* form, FormPosition position);

// The main window, once the start-up has made it.
QWidget* MainForm();
void SetMainForm(QWidget* form);

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
