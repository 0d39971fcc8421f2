// Counts the pixels of a few clock colours in a rectangle of an X window:
//   pixel_probe WINDOW-ID X Y WIDTH HEIGHT
// prints "red N black N yellow N green N".

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s WINDOW-ID X Y WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const WId window = static_cast<WId>(std::strtoull(argv[1], nullptr, 0));
    const QImage image = QGuiApplication::primaryScreen()
                             ->grabWindow(window, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                                          std::atoi(argv[5]))
                             .toImage();
    int red = 0, black = 0, yellow = 0, green = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const bool r = c.red() > 200, g = c.green() > 200;
            const bool rLow = c.red() < 60, gLow = c.green() < 60, bLow = c.blue() < 60;
            red += r && gLow && bLow;
            green += g && rLow && bLow;
            yellow += r && g && bLow;
            black += rLow && gLow && bLow;
        }
    }
    std::printf("red %d black %d yellow %d green %d\n", red, black, yellow, green);
    return 0;
}
