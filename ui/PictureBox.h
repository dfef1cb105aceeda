#pragma once
// A picture box: a flat coloured surface that may contain other controls,
// reports a left-button press as a click with its control-array index, and
// keeps what is printed on it in a persistent image (AutoRedraw), so that the
// text survives every repaint and stays sharp at any device pixel ratio.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent, int index = -1);

    int Index() const { return index_; }

    void setBackColor(const QColor& color);
    QColor backColor() const { return backColor_; }
    void setForeColor(const QColor& color) { foreColor_ = color; }
    // Colours as 0xBBGGRR: red in the lowest byte, blue in the highest.
    void setForeColor(std::uint32_t bgr) { foreColor_ = fromBgr(bgr); }
    QColor foreColor() const { return foreColor_; }
    static QColor fromBgr(std::uint32_t bgr);

    void setAutoRedraw(bool on);
    bool autoRedraw() const { return autoRedraw_; }

    // The drawing position in twips, in the box's own coordinates.
    float CurrentX = 0;
    float CurrentY = 0;

    // Draws the text in the box's font and ForeColor with the top-left corner
    // of its first character cell at (CurrentX, CurrentY), on a transparent
    // background. A number prints with a blank in front where a minus sign
    // would go.
    void Print(const QString& text);
    void Print(std::int16_t number);

    // The persistent image, in device pixels (empty when AutoRedraw is off).
    const QImage& image() const { return image_; }

signals:
    // Raised when the left button goes down on the box: a piano sounds on the press.
    void clicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Printed {
        QPointF at;  // twips
        QString text;
        QColor color;
    };
    void ensureImage();
    void renderImage();
    void drawText(QImage& target, const Printed& item) const;

    int index_;
    QColor backColor_ = Qt::black;
    QColor foreColor_ = Qt::black;
    bool autoRedraw_ = false;
    QImage image_;
    // What was printed, so the image can be drawn again at a new size or
    // pixel ratio without losing anything.
    std::vector<Printed> printed_;
};
