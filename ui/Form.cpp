#include "ui/Form.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>

namespace {
QPointer<QWidget>& MainFormRef()
{
    static QPointer<QWidget> form;
    return form;
}
} // namespace

QWidget* MainForm()
{
    return MainFormRef().data();
}

void SetMainForm(QWidget* form)
{
    MainFormRef() = form;
}

void PlaceForm(QWidget* form, FormPosition position)
{
    QRect area;
    QWidget* main = MainForm();
    if (position == FormPosition::MainFormCenter && main && main != form && main->isVisible()) {
        area = main->frameGeometry();
    } else {
        QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
        if (!screen)
            return;
        area = screen->availableGeometry();
    }
    QRect frame = form->frameGeometry();
    QPoint topLeft = area.center() - QPoint(frame.width() / 2, frame.height() / 2);
    form->move(topLeft);
}

TFormBase::TFormBase(QWidget* parent, FormPosition position)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      position_(position)
{
}

int TFormBase::ShowModal()
{
    setResult(0);
    return exec();
}

void TFormBase::SetDialogClientSize(int width, int height)
{
    setFixedSize(width, height);
}

void TFormBase::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        PlaceForm(this, position_);
        FormShow();
    }
    QDialog::showEvent(event);
}
