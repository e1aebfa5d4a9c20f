#include "tests/support/Boxes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <deque>
#include <memory>

#include "base/Text.h"

namespace boxes {
namespace {

using Action = std::function<int(const ShownBox&, std::string&)>;

std::deque<Action>& Queue()
{
    static std::deque<Action> queue;
    return queue;
}

} // namespace

void Answer(int id, const std::string& input)
{
    Queue().push_back([id, input](const ShownBox&, std::string& typed) {
        if (!input.empty() || id == IDOK)
            typed = input;
        return id;
    });
}

void OnNext(Action action)
{
    Queue().push_back(std::move(action));
}

const std::vector<ShownBox>& Shown()
{
    return BoxScript::Shown();
}

std::vector<std::string> Texts()
{
    std::vector<std::string> out;
    for (const ShownBox& b : BoxScript::Shown())
        out.push_back(Utf8FromSjis(b.text));
    return out;
}

void Reset()
{
    Queue().clear();
    BoxScript::Install([](const ShownBox& box, std::string& input) {
        if (Queue().empty())
            return (box.flags & 0x0F) == MB_YESNO ? int(IDNO) : (box.kind == ShownBox::Input ? int(IDCANCEL) : int(IDOK));
        Action next = std::move(Queue().front());
        Queue().pop_front();
        return next(box, input);
    });
}

void WhenModal(std::function<void(QWidget*)> action, int timeoutMs)
{
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal || clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            if (modal)
                action(modal);
        }
    });
    timer->start();
}

} // namespace boxes
