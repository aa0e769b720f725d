#pragma once
// Geometry of the forms is given in twips: 1440 to the inch, so 15 to the pixel at 96 dpi.
// The conversion follows the screen's logical dpi so the forms keep their proportions.

#include <QRect>
#include <QSize>

class QWidget;

namespace korvid {

int twipsToPixels(int twips);
int pixelsToTwips(int pixels);
QRect twipsRect(int left, int top, int width, int height);
QSize twipsSize(int width, int height);
// Places a widget inside its container by twips.
void placeTwips(QWidget* widget, int left, int top, int width, int height);

}  // namespace korvid
