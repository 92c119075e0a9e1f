#include <windows.h>
#include <gtest/gtest.h>
#include "dialogs/dialogs.h"

TEST(Centring, OriginIsCentredTruncatedTowardZeroAndKeptInsideTheLimits)
{
    const RECT screen = {0, 0, 1024, 768}, wide = {-2000, -2000, 2000, 2000};
    struct Row {
        SIZE window;
        RECT centre, limits;
        LONG x, y;
    } rows[] = {
        {{200, 100}, {100, 100, 500, 400}, screen, 200, 200},
        {{201, 101}, {100, 100, 501, 401}, screen, 200, 200}, // each half truncated on its own
        // Negative co-ordinates: a shift would floor -50.5 to -51.
        {{10, 20}, {-101, -101, 0, 0}, wide, -55, -60},
        {{11, 21}, {-301, -3, 0, 0}, wide, -155, -11},
        {{200, 100}, {900, 300, 1300, 500}, screen, 824, 350},       // past the right edge
        {{200, 100}, {300, 700, 700, 1000}, screen, 400, 668},       // past the bottom
        {{200, 100}, {-300, 300, 100, 500}, screen, 0, 350},         // before the left edge
        {{200, 100}, {300, -400, 700, -100}, screen, 400, 0},        // above the top
        {{200, 100}, {0, 0, 100, 100}, {60, 30, 1024, 738}, 60, 30}, // a work area off the origin
        // Larger than the limits: left and top win when centring starts before them...
        {{2000, 1000}, screen, screen, 0, 0},
        // ...but a window that starts inside and ends past them is pulled back over them.
        {{2000, 1000}, {1000, 740, 1024, 768}, screen, -976, -232},
    };
    for (const Row& row : rows) {
        POINT origin = CentredOrigin(row.window, row.centre, row.limits);
        EXPECT_EQ(row.x, origin.x) << row.centre.left << "," << row.centre.top;
        EXPECT_EQ(row.y, origin.y) << row.centre.left << "," << row.centre.top;
    }
}
