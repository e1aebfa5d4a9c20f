#include "ui/PriceChart.h"

#include <QPainter>

#include "ui/Sjis.h"

PriceChart::PriceChart(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void PriceChart::SetTitle(std::string_view sjis)
{
    title_ = std::string(sjis);
    update();
}

void PriceChart::SetBottomAxisTitle(std::string_view sjis)
{
    bottomTitle_ = std::string(sjis);
    update();
}

void PriceChart::SetLeftAxisTitle(std::string_view sjis)
{
    leftTitle_ = std::string(sjis);
    update();
}

void PriceChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QRect r = rect();
    p.setPen(Qt::black);
    p.drawText(QRect(r.left(), r.top() + 4, r.width(), 20), Qt::AlignHCenter | Qt::AlignTop, QStr(title_));
    p.drawText(QRect(r.left(), r.bottom() - 24, r.width(), 20), Qt::AlignHCenter | Qt::AlignBottom, QStr(bottomTitle_));
    p.save();
    p.translate(r.left() + 16, r.center().y());
    p.rotate(-90);
    p.drawText(QRect(-r.height() / 2, -12, r.height(), 20), Qt::AlignCenter, QStr(leftTitle_));
    p.restore();
    QRect plot = r.adjusted(48, 32, -16, -40);
    p.setPen(QPen(Qt::gray));
    p.drawRect(plot);
}
