#include <gtest/gtest.h>

#include <QImage>

#include "gui/app/ApplicationIcon.h"

namespace tessaro {
namespace {

TEST(ApplicationIcon, DrawsTheGatewayBetweenTheTwoBusesAtEverySize) {
    const QIcon icon = applicationIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes{{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}};
    EXPECT_EQ(icon.availableSizes(), sizes);

    // Places of the 64-pixel drawing, scaled to each size.
    struct Spot {
        const char* what;
        double x, y;
        QColor colour;
    };
    const Spot spots[] = {
        {"outside the rounded square", 0.5, 0.5, Qt::transparent}, {"J1939 bus", 12.5, 32.5, QColor(0xf2, 0xa3, 0x3a)},
        {"Modbus line", 52.5, 32.5, QColor(0x4c, 0xc3, 0x8a)},     {"gateway box", 42.5, 32.5, Qt::white},
        {"background", 32.5, 8.5, QColor(0x17, 0x32, 0x4d)},
    };
    for (const int side : {64, 256}) {
        const QImage image = icon.pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(side, side));
        for (const Spot& spot : spots) {
            const QColor found = image.pixelColor(int(spot.x * side / 64), int(spot.y * side / 64));
            EXPECT_EQ(found.rgba(), spot.colour.rgba()) << spot.what << " at " << side << " px";
        }
    }
}

}  // namespace
}  // namespace tessaro
