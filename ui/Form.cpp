#include "ui/Form.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>
#include <QWindow>
#include <algorithm>

namespace {
QPointer<QWidget>& MainFormRef()
{
    static QPointer<QWidget> form;
    return form;
}

QPointer<QWidget>& KeyboardHomeRef()
{
    static QPointer<QWidget> control;
    return control;
}

// Where a window goes and how big it is with its frame. The window manager
// tells the frame's size only once the window is mapped, and Qt sends no
// event for it; so the window is placed again whenever its frame has changed
// size, and until it stands where it was put (Qt may have asked for the
// position before it knew the frame).
class Placement : public QObject {
public:
    static Placement& Of(QWidget* form)
    {
        auto* found = static_cast<Placement*>(form->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly));
        return found ? *found : *new Placement(form);
    }

    void Place(FormPosition position, std::optional<QRect> frame)
    {
        position_ = position;
        frame_ = frame;
        if (frame)
            outer_ = frame->size();
        placed_ = true;
        settled_ = false;
        corrections_ = 0;
        Apply();
    }

    void SetOuterSize(QSize outer)
    {
        outer_ = outer;
        form_->resize(outer - FrameSize());
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Paint:
        case QEvent::WindowActivate:
            break;
        default:
            return false;
        }
        if (!placed_ || !form_->isVisible() || !form_->testAttribute(Qt::WA_Mapped))
            return false;
        if (FrameSize() != placedFrame_) {
            Apply();
        } else if (!settled_ && (event->type() == QEvent::Move || event->type() == QEvent::WindowActivate)) {
            // A window manager busy taking the window on may pass over a
            // request: ask again at its next answer, or once it has handed
            // the window the keyboard.
            settled_ = form_->frameGeometry().topLeft() == target_ || ++corrections_ > kCorrections;
            if (!settled_)
                Apply();
        }
        return false;
    }

private:
    static inline const QString kName = QStringLiteral("placement");
    static constexpr int kCorrections = 3;

    explicit Placement(QWidget* form) : QObject(form), form_(form)
    {
        setObjectName(kName);
        form->installEventFilter(this);
    }

    // Asked before the window is mapped, Qt would settle on no frame at all.
    QSize FrameSize() const
    {
        if (!form_->testAttribute(Qt::WA_Mapped))
            return {0, 0};
        return form_->frameGeometry().size() - form_->geometry().size();
    }

    void Apply()
    {
        if (form_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
            return;
        QScreen* screen = form_->screen() ? form_->screen() : QGuiApplication::primaryScreen();
        if (!screen)
            return;
        placedFrame_ = FrameSize();
        const QRect free = screen->availableGeometry();
        QSize inner = form_->size();
        if (outer_.isValid())
            inner = outer_.boundedTo(free.size()) - placedFrame_;
        QSize outer = inner + placedFrame_;
        QWidget* main = MainForm();
        const bool mainShown = main && main != form_ && main->isVisible();
        QPoint topLeft;
        if (frame_) {
            topLeft = frame_->topLeft();
        } else if (position_ == FormPosition::BesideMainForm && mainShown) {
            // Without a window manager there is no title bar to go by.
            const QRect mainFrame = main->frameGeometry();
            const int title = main->geometry().top() - mainFrame.top();
            const int minWidth = std::min(outer.width(), form_->minimumSizeHint().width() + placedFrame_.width());
            const QRect beside =
                BesideMainFrame(mainFrame, title > 0 ? title : form_->style()->pixelMetric(QStyle::PM_TitleBarHeight),
                                outer, minWidth, free);
            topLeft = beside.topLeft();
            outer = beside.size();
            inner = outer - placedFrame_;
        } else {
            const QRect area = position_ == FormPosition::MainFormCenter && mainShown ? main->frameGeometry() : free;
            topLeft = area.center() - QPoint(outer.width() / 2, outer.height() / 2);
        }
        // The title bar and the menu matter most: a window taller or wider
        // than the screen keeps its top left corner on it.
        topLeft.setX(std::max(free.left(), std::min(topLeft.x(), free.right() + 1 - outer.width())));
        topLeft.setY(std::max(free.top(), std::min(topLeft.y(), free.bottom() + 1 - outer.height())));
        target_ = topLeft;
        if (placedFrame_.isNull()) {
            // The frame's corner, before the frame is known.
            form_->resize(inner);
            if (QWindow* window = form_->windowHandle())
                window->setFramePosition(topLeft);
            else
                form_->move(topLeft);
            return;
        }
        // Size and place in one request: a resize alone would ask for the
        // position Qt last knew, which may be from before the frame came.
        const QPoint corner = form_->geometry().topLeft() - form_->frameGeometry().topLeft();
        form_->setGeometry(QRect(topLeft + corner, inner));
    }

    QWidget* form_;
    FormPosition position_ = FormPosition::ScreenCenter;
    std::optional<QRect> frame_;
    QSize outer_;
    bool placed_ = false;
    bool settled_ = false;
    int corrections_ = 0;
    QSize placedFrame_{0, 0};
    QPoint target_;
};

// Hands the keyboard back when a dialog goes away.
class KeyboardKeeper : public QObject {
protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && qobject_cast<QDialog*>(object) && !event->spontaneous())
            QTimer::singleShot(0, qApp, &ReturnKeyboard);
        return false;
    }
};
} // namespace

QWidget* MainForm()
{
    return MainFormRef().data();
}

void SetMainForm(QWidget* form)
{
    MainFormRef() = form;
}

void PlaceForm(QWidget* form, FormPosition position, std::optional<QRect> frame)
{
    Placement::Of(form).Place(position, frame);
}

QRect BesideMainFrame(const QRect& mainFrame, int titleHeight, QSize outer, int minWidth, const QRect& free)
{
    const int top = std::max(free.top(), std::min(mainFrame.top(), free.bottom() + 1 - outer.height()));
    const int right = free.right() - mainFrame.right(), left = mainFrame.left() - free.left();
    if (right >= minWidth)
        return {QPoint(mainFrame.right() + 1, top), QSize(std::min(outer.width(), right), outer.height())};
    if (left >= minWidth) {
        const int width = std::min(outer.width(), left);
        return {QPoint(mainFrame.left() - width, top), QSize(width, outer.height())};
    }
    // Never shorter than half the screen: a main window low on it then loses sight of its title.
    const int x = std::max(free.left(), std::min(mainFrame.left() + titleHeight, free.right() + 1 - outer.width()));
    const int y = std::max(free.top(), mainFrame.top() + titleHeight);
    const int height = std::min(outer.height(), std::max(free.bottom() + 1 - y, free.height() / 2));
    return {QPoint(x, std::min(y, free.bottom() + 1 - height)), QSize(outer.width(), height)};
}

void SetOuterSize(QWidget* form, QSize outer)
{
    Placement::Of(form).SetOuterSize(outer);
}

void SetKeyboardHome(QWidget* control)
{
    static KeyboardKeeper* keeper = nullptr;
    if (!keeper) {
        keeper = new KeyboardKeeper;
        keeper->setParent(qApp);
        qApp->installEventFilter(keeper);
    }
    KeyboardHomeRef() = control;
}

void ReturnKeyboard()
{
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->activateWindow();
        return;
    }
    QWidget* home = KeyboardHomeRef().data();
    if (!home || !home->window()->isVisible() || home->window()->isMinimized())
        return;
    home->window()->activateWindow();
    home->setFocus(Qt::ActiveWindowFocusReason);
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
        PlaceForm(this, position_, LastFrame());
        FormShow();
    }
    QDialog::showEvent(event);
}
