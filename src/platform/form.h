#pragma once

#include <QCloseEvent>
#include <QWidget>

namespace platform {

// Positions and sizes are in twips; 15 twips make one (logical) pixel, a fixed constant.
inline constexpr int TwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips)
{
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

constexpr int PixelsToTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

// Placement of a control in twips within its container.
void MoveTwips(QWidget *control, int left, int top, int width, int height);
void SetLeftTwips(QWidget *control, int left);
void SetTopTwips(QWidget *control, int top);
void SetWidthTwips(QWidget *control, int width);
void SetHeightTwips(QWidget *control, int height);
int LeftTwips(const QWidget *control);
int TopTwips(const QWidget *control);
int WidthTwips(const QWidget *control);
int HeightTwips(const QWidget *control);

// What every window shares whatever Qt class it is built on.
class FormBase
{
public:
    enum ScaleModeConstants { vbTwips = 1, vbPixels = 3 };

    virtual ~FormBase() = default;

    int ScaleMode() const { return scaleMode; }
    void SetScaleMode(int mode) { scaleMode = mode; }

    // The stock window procedure's mouse-move delivery: a horizontal position in pixels,
    // converted into the window's scale unit.
    void deliverMouseMove(int xPixels);

protected:
    virtual void Form_MouseMove(int button, int shift, double x, double y);

private:
    int scaleMode = vbTwips;
};

// A window of which the program has at most one: created hidden on first touch (its constructor
// runs its load steps), forgotten when closed so that the next touch creates it afresh.
template <class QtWindow, class Self> class Form : public QtWindow, public FormBase
{
public:
    static Self &instance()
    {
        if (!current)
            current = new Self; // owned by this accessor until the window closes
        return *current;
    }
    static bool exists() { return current != nullptr; }
    // Closing a window that does not exist does nothing.
    static void Unload()
    {
        if (current)
            current->close();
    }

protected:
    explicit Form(QWidget *parent = nullptr) : QtWindow(parent) {}
    ~Form() override
    {
        if (current == this)
            current = nullptr;
    }

    // The window's closing handler; runs once, when the window closes.
    virtual void Form_Unload() {}

    // Closing always closes: a dialog's stock closing would run its cancel handler instead.
    void closeEvent(QCloseEvent *event) override
    {
        event->accept();
        if (current != this)
            return;
        Form_Unload();
        current = nullptr;
        this->deleteLater();
    }

private:
    static inline Self *current = nullptr;
};

} // namespace platform
