#pragma once
// The forms' frames draw their caption on the frame's top border. Styles that put it above the
// frame instead (Fusion) are replaced, for the frame alone, by one that draws it on the border.

class QGroupBox;

namespace korvid {

void setCaptionOnBorder(QGroupBox* frame);

}  // namespace korvid
