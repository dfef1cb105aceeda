#include "PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

PictureBox::PictureBox(QWidget* parent, int index) : QWidget(parent), index_(index)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Clicking a box takes the focus, as a picture box does; the window's
    // invisible quit button then no longer answers Space and Enter.
    setFocusPolicy(Qt::ClickFocus);
}

void PictureBox::setBackColor(const QColor& color)
{
    backColor_ = color;
    update();
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), backColor_);
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    emit clicked(index_);
}
