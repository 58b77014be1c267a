#pragma once
// Window measures are kept in twips (1/1440 inch): 15 twips a pixel at 96 dots per inch.
#include <QRect>

namespace vantaro {

class Twips {
public:
    explicit Twips(double dotsPerInch = 96.0) : dpi_(dotsPerInch > 0 ? dotsPerInch : 96.0) {}
    // The primary screen's logical resolution (96 when there is no screen).
    static Twips forScreen();

    int px(int twips) const;
    QRect rect(int left, int top, int width, int height) const {
        return {px(left), px(top), px(width), px(height)};
    }

private:
    double dpi_;
};

} // namespace vantaro
