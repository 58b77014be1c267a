#include "ui/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace vantaro {

Twips Twips::forScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) return Twips(screen->logicalDotsPerInch());
    return Twips();
}

int Twips::px(int twips) const {
    return static_cast<int>(std::lround(twips * dpi_ / 1440.0));
}

} // namespace vantaro
