#include "ui/StatusBar.h"

#include <QLabel>

#include "ui/Sjis.h"

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent), text_(new QLabel(this))
{
    text_->setObjectName(QStringLiteral("SimpleText"));
    addWidget(text_, 1);
    setSizeGripEnabled(true);
}

void StatusBar::SetSimpleText(std::string_view sjis)
{
    text_->setText(QStr(sjis));
}

std::string StatusBar::SimpleText() const
{
    return SjisStr(text_->text());
}
