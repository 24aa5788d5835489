// Shared by the tests that need a display and OpenGL: whether GL 3.3 is available
// (checked once by the test main) and small pixel helpers.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

#include <string>

namespace trimeo::test {

bool openGLAvailable();
const std::string& openGLUnavailableReason();
void setOpenGLAvailability(bool available, std::string reason);

// Skips the current test, with the reason, when there is no OpenGL.
#define TRIMEO_REQUIRE_GL()                                                                                 \
    do {                                                                                                    \
        if (!::trimeo::test::openGLAvailable())                                                             \
            GTEST_SKIP() << "no OpenGL 3.3 here (" << ::trimeo::test::openGLUnavailableReason()             \
                         << "); run under xvfb-run";                                                        \
    } while (0)

// Largest per-channel difference between two colours, 0..255.
int colourDistance(QColor a, QColor b);
// Pixels of `area` differing from `reference` by more than `tolerance`.
int pixelsDifferingFrom(const QImage& image, QColor reference, int tolerance, QRect area = {});
// Pixels where two frames of one size differ by more than `tolerance`.
int pixelsDifferingBetween(const QImage& a, const QImage& b, int tolerance);
// Saves under the build folder for a person to look at; returns the path.
std::string saveForInspection(const QImage& image, const std::string& name);

} // namespace trimeo::test
