#pragma once
// A picture box: a flat coloured surface that may contain other controls and
// reports a left-button press as a click with its control-array index.

#include <QColor>
#include <QWidget>

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent, int index = -1);

    int Index() const { return index_; }

    void setBackColor(const QColor& color);
    QColor backColor() const { return backColor_; }

signals:
    // Raised when the left button goes down on the box: a piano sounds on the press.
    void clicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int index_;
    QColor backColor_ = Qt::black;
};
