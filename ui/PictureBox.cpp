#include "PictureBox.h"

#include "Twips.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <stdexcept>

PictureBox::PictureBox(QWidget* parent, int index) : QWidget(parent), index_(index)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Clicking a box takes the focus, as a picture box does; the window's
    // invisible quit button then no longer answers Space and Enter.
    setFocusPolicy(Qt::ClickFocus);
}

QColor PictureBox::fromBgr(std::uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF), static_cast<int>((bgr >> 16) & 0xFF));
}

void PictureBox::setBackColor(const QColor& color)
{
    backColor_ = color;
    if (autoRedraw_)
        renderImage();
    update();
}

void PictureBox::setAutoRedraw(bool on)
{
    autoRedraw_ = on;
    image_ = QImage();
    if (on)
        ensureImage();
    update();
}

void PictureBox::Print(const QString& text)
{
    Printed item{QPointF(CurrentX, CurrentY), text, foreColor_};
    if (autoRedraw_) {
        ensureImage();
        drawText(image_, item);
        printed_.push_back(std::move(item));
    }
    // The next print starts on the next line, at the left edge.
    const QFontMetricsF metrics(font());
    CurrentX = 0;
    CurrentY += static_cast<float>(twips::fromPixels(1) * metrics.height());
    update();
}

void PictureBox::Print(std::int16_t number)
{
    const QString sign = number < 0 ? QString() : QStringLiteral(" ");
    Print(sign + QString::number(number));
}

void PictureBox::ensureImage()
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (image_.size() == pixels && image_.devicePixelRatio() == ratio)
        return;
    renderImage();
}

void PictureBox::renderImage()
{
    const qreal ratio = devicePixelRatioF();
    image_ = QImage(size() * ratio, QImage::Format_RGB32);
    if (image_.isNull())
        throw std::runtime_error("Out of memory");
    image_.setDevicePixelRatio(ratio);
    image_.fill(backColor_);
    for (const Printed& item : printed_)
        drawText(image_, item);
}

void PictureBox::drawText(QImage& target, const Printed& item) const
{
    QPainter painter;
    if (!painter.begin(&target))
        throw std::runtime_error("Can't draw on picture box " + std::to_string(index_));
    painter.setFont(font());
    painter.setPen(item.color);
    const QFontMetricsF metrics(font());
    const QPointF topLeft = twips::toPixels(item.at.x(), item.at.y());
    painter.drawText(QPointF(topLeft.x(), topLeft.y() + metrics.ascent()), item.text);
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (!autoRedraw_) {
        painter.fillRect(event->rect(), backColor_);
        return;
    }
    ensureImage();
    painter.drawImage(QPointF(0, 0), image_);
}

void PictureBox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (autoRedraw_)
        ensureImage();
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
