#include "platform/form.h"

#include <QtMath>

namespace platform {

void MoveTwips(QWidget *control, int left, int top, int width, int height)
{
    control->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(std::max(width, 0)),
                         TwipsToPixels(std::max(height, 0)));
}

void SetLeftTwips(QWidget *control, int left)
{
    control->move(TwipsToPixels(left), control->y());
}

void SetTopTwips(QWidget *control, int top)
{
    control->move(control->x(), TwipsToPixels(top));
}

void SetWidthTwips(QWidget *control, int width)
{
    control->resize(TwipsToPixels(std::max(width, 0)), control->height());
}

void SetHeightTwips(QWidget *control, int height)
{
    control->resize(control->width(), TwipsToPixels(std::max(height, 0)));
}

int LeftTwips(const QWidget *control)
{
    return PixelsToTwips(control->x());
}

int TopTwips(const QWidget *control)
{
    return PixelsToTwips(control->y());
}

int WidthTwips(const QWidget *control)
{
    return PixelsToTwips(control->width());
}

int HeightTwips(const QWidget *control)
{
    return PixelsToTwips(control->height());
}

void FormBase::deliverMouseMove(int xPixels)
{
    const double x = scaleMode == vbPixels ? xPixels : double(PixelsToTwips(xPixels));
    Form_MouseMove(0, 0, x, 0);
}

void FormBase::Form_MouseMove(int, int, double, double) {}

} // namespace platform
